"""The page's skeleton of the map in headless Chromium: a shift-click finds the module's
periodic orbit and marks it, a refused search is listed as a failure, and precise orbits are
listed with the module's rotation numbers."""

import math
import time

import numpy as np
import trivella
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from test_page import click_map, download, url_of, wait_done

PERIODIC = "return window.trivella_explorer.map.periodic.map(p => ({guess: p.guess, " \
           "status: p.status, orbit: p.orbit, message: p.message}))"
# A period-3 island at L = 5 (docs/skeleton.md): its elliptic orbit passes (1.105, 0.418).
ISLAND = (1.105, 0.418)


def single(x):
    return float(np.float32(x))


def shift_click(browser, fx, fy):
    area = browser.execute_script("return window.trivella_explorer.area()")
    canvas = browser.find_element(By.ID, "plot")
    px = round(area["left"] + fx * area["width"])
    py = round(area["top"] + fy * area["height"])
    ActionChains(browser).key_down(Keys.SHIFT).move_to_element_with_offset(
        canvas, px - canvas.size["width"] // 2, py - canvas.size["height"] // 2).click() \
        .key_up(Keys.SHIFT).perform()


def wait_searched(browser, count, timeout=60):
    end = time.monotonic() + timeout
    while True:
        found = browser.execute_script(PERIODIC)
        if len(found) == count and all(p["status"] in ("done", "failed") for p in found):
            return found
        assert time.monotonic() < end, browser.find_element(By.ID, "periodic").text
        time.sleep(0.05)


def pixel_at(browser, x, y):
    """The canvas's colour [r, g, b, a] at data point (phi, l/L)."""
    return browser.execute_script(
        "const h = window.trivella_explorer, a = h.area(), v = h.map.view;"
        "const r = window.devicePixelRatio || 1, c = document.getElementById('plot');"
        "const px = a.left + (arguments[0] - v.x0) / (v.x1 - v.x0) * a.width;"
        "const py = a.top + (v.y1 - arguments[1]) / (v.y1 - v.y0) * a.height;"
        "return Array.from(c.getContext('2d').getImageData(Math.round(px * r),"
        " Math.round(py * r), 1, 1).data);", x, y)


def test_a_shift_click_marks_the_modules_periodic_orbit(browser, start_server):
    browser.get(url_of(start_server()) + "#L=5")
    wait_done(browser, 0)
    period = browser.find_element(By.ID, "period")
    assert period.get_attribute("max") == "1000"
    period.clear()
    period.send_keys("3")
    shift_click(browser, ISLAND[0] / (2 * math.pi), (2 - ISLAND[1]) / 4)
    (found,) = wait_searched(browser, 1)
    # catches: a shift-click taken as an ordinary click
    assert browser.execute_script("return window.trivella_explorer.map.orbits.length") == 0
    phi, l = found["guess"]
    assert abs(phi - ISLAND[0]) < 0.02 and abs(l - 5 * ISLAND[1]) < 0.05
    o = trivella.periodic_orbit(single(phi), single(l), 3, L=5.0, tol=single(1e-12), h0=0.1)
    orbit = found["orbit"]
    assert orbit["kind"] == o.kind == "elliptic" and orbit["q"] == 3
    assert orbit["points"] == o.points.tolist() and orbit["residue"] == o.residue
    text = browser.find_element(By.ID, "periodic").text
    assert "elliptic" in text and f"R = {o.residue:.6g}" in text
    browser.execute_script("window.trivella_explorer.redraw()")
    time.sleep(0.3)
    # A filled dot on each of the orbit's points; nothing is drawn beside them.
    for x, y in o.points:
        assert pixel_at(browser, x, y)[:3] == [17, 17, 17]
    assert pixel_at(browser, o.points[0][0] + 0.3, o.points[0][1])[:3] == [255, 255, 255]
    svg = download(browser, "export-svg", "trivella-map.svg").decode()
    assert svg.count('<circle ') == 3 and 'fill="#111111"' in svg

    period.clear()
    period.send_keys("0")
    shift_click(browser, 0.7, 0.5)
    refused = wait_searched(browser, 2)[1]
    assert refused["status"] == "failed" and refused["orbit"] is None
    assert "failed: period must be from 1 to 1000, got 0" in \
        browser.find_element(By.ID, "periodic").text


def test_precise_orbits_are_listed_with_their_rotation_numbers(browser, start_server):
    browser.get(url_of(start_server()) + "#method=precise&L=5&n=300")
    wait_done(browser, 0, "precise")
    click_map(browser, ISLAND[0] / (2 * math.pi), (2 - ISLAND[1] - 0.05) / 4)
    wait_done(browser, 1, "precise")
    end = time.monotonic() + 30
    while (rotation := browser.execute_script(
            "return window.trivella_explorer.map.orbits[0].rotation")) is None:
        assert time.monotonic() < end
        time.sleep(0.05)
    seed = browser.execute_script("return window.trivella_explorer.map.orbits[0].seed")
    expected = trivella.rotation_numbers([single(seed[0])], [single(seed[1])], 300, L=5.0,
                                         h0=single(0.1), tol=single(1e-9))[0]
    assert rotation["rotation"] == expected["rotation"]
    assert f"ρ = {expected['rotation']:.8f}" in browser.find_element(By.ID, "orbits").text
