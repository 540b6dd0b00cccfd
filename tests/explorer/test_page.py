"""The explorer's page in headless Chromium against a real server: clicks seed orbits that
match the module, exports that the program reproduces byte for byte, the URL and ini.txt."""

import math
import os
import subprocess
import time
from pathlib import Path

import numpy as np
import trivella
from program_map import program_map
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.wheel_input import ScrollOrigin
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

ROOT = Path(__file__).resolve().parents[2]
PROGRAM = os.environ.get("TRIVELLA_PROGRAM") or str(ROOT / "build/release/trivella")
SETTINGS = dict(L=1.0, h0=0.1, tol=1e-9, eps=1e-6)  # the page's defaults

ORBITS = "return window.trivella_explorer.map.orbits.map(o => ({seed: o.seed, points: o.points," \
         " status: o.status, chaos: o.chaos}))"
# The page's hooks appear once it has the model from the server; "idle" once it has drawn
# and computes nothing.
DONE = "const m = window.trivella_explorer?.map; return !!m && " \
       "document.body.dataset.state === 'idle' && m.orbits.length === arguments[0] && " \
       "m.orbits.every(o => o.status === 'complete') && m.settings.method === arguments[1] && " \
       "m.settings.chaos === arguments[2];"


def url_of(server):
    return "http://127.0.0.1:%d/" % server.server_address[1]


def wait_done(browser, count, method="classic", chaos=False, timeout=60):
    end = time.monotonic() + timeout
    while not browser.execute_script(DONE, count, method, chaos):
        assert time.monotonic() < end, browser.find_element(By.ID, "status").text
        time.sleep(0.05)
    return browser.execute_script(ORBITS)


def click_map(browser, fx, fy):
    """Clicks the pixel at fractions (fx, fy) of the plot area; returns the data point there."""
    area = browser.execute_script("return window.trivella_explorer.area()")
    canvas = browser.find_element(By.ID, "plot")
    px = round(area["left"] + fx * area["width"])
    py = round(area["top"] + fy * area["height"])
    ActionChains(browser).move_to_element_with_offset(
        canvas, px - canvas.size["width"] // 2, py - canvas.size["height"] // 2).click().perform()
    phi = (px - area["left"]) / area["width"] * 2 * math.pi
    return phi, 2 - (py - area["top"]) / area["height"] * 4, area


def wait_until_url(browser, condition, timeout=10):
    end = time.monotonic() + timeout
    while not condition(browser.current_url):
        if time.monotonic() > end:
            return False
        time.sleep(0.05)
    return True


def download(browser, button, name):
    path = Path(browser.downloads) / name
    path.unlink(missing_ok=True)
    browser.find_element(By.ID, button).click()
    end = time.monotonic() + 20
    while not path.exists():
        assert time.monotonic() < end, f"{name} was not downloaded"
        time.sleep(0.05)
    return path.read_bytes()


def program_points(tmp_path, ini, command):
    """RESULT/lL.txt of the program run on `ini` with the page's command line."""
    run = tmp_path / f"run{len(list(tmp_path.iterdir()))}"
    (run / "RESULT").mkdir(parents=True)
    (run / "ini.txt").write_bytes(ini)
    args = command.split()
    assert args[0] == "trivella" and args[-1] == "DIR"
    subprocess.run([PROGRAM, "-q", *args[1:-1], str(run)], check=True, timeout=120)
    return (run / "RESULT" / "lL.txt").read_bytes()


def test_a_click_streams_the_modules_orbit_for_that_seed(browser, start_server):
    browser.get(url_of(start_server()) + "#n=2000")
    wait_done(browser, 0)
    phi, lL, area = click_map(browser, 0.25, 0.4)
    seen = set()
    while not browser.execute_script(DONE, 1, "classic", False):
        seen.add(browser.execute_script(
            "return window.trivella_explorer.map.orbits[0].points.length"))
        time.sleep(0.02)
    # catches: points sent or drawn only once the orbit is complete
    assert any(0 < n < 2000 for n in seen), seen
    (orbit,) = browser.execute_script(ORBITS)
    # The seed is where the click was, to within a pixel.
    assert abs(orbit["seed"][0] - phi) < 2 * math.pi / area["width"]
    assert abs(orbit["seed"][1] - lL) < 4 / area["height"]
    expected = program_map(*orbit["seed"], 2000, **SETTINGS)
    assert len(orbit["points"]) == 2000
    assert orbit["points"][0] == expected[0].tolist()
    assert np.array_equal(orbit["points"], expected)

    canvas = browser.find_element(By.ID, "plot")
    ActionChains(browser).scroll_to_element(canvas).scroll_from_origin(
        ScrollOrigin.from_element(canvas), 0, -300).perform()
    assert wait_until_url(browser, lambda url: "view=0,6.283185307179586,-2,2" not in url)
    browser.find_element(By.ID, "undo").click()
    assert wait_until_url(browser, lambda url: url.endswith("&seeds="))


def test_exports_reproduce_the_map_with_the_program_and_the_link_reloads_it(
        browser, start_server, tmp_path, artifacts):
    browser.get(url_of(start_server()) + "#n=300&e=0.5")
    wait_done(browser, 0)
    for fx, fy in ((0.3, 0.35), (0.7, 0.55), (0.5, 0.2)):
        click_map(browser, fx, fy)
    wait_done(browser, 3)
    command = browser.find_element(By.ID, "command").text
    assert command == "trivella --param e=0.5 DIR"
    # Three orbits computed one request each, the step size carried over from one to the
    # next: the program computes them as one run, and the bytes agree.
    lL = download(browser, "export-points", "lL.txt")
    assert lL.count(b"\n") == 900
    assert program_points(tmp_path, download(browser, "export-ini", "ini.txt"), command) == lL

    Select(browser.find_element(By.ID, "method")).select_by_value("precise")
    precise = wait_done(browser, 3, "precise")
    seeds = np.array([o["seed"] for o in precise])
    expected = program_map(seeds[:, 0], seeds[:, 1], 300, method="precise", params={"e": 0.5},
                           **SETTINGS)
    assert np.array_equal([o["points"] for o in precise], expected)
    command = browser.find_element(By.ID, "command").text
    assert command == "trivella --precise --param e=0.5 DIR"
    lL = download(browser, "export-points", "lL.txt")
    assert program_points(tmp_path, download(browser, "export-ini", "ini.txt"), command) == lL

    browser.find_element(By.ID, "chaos").click()
    chaotic = wait_done(browser, 3, "precise", True)
    indicators = program_map(seeds[:, 0], seeds[:, 1], 300, method="precise", chaos=True,
                             params={"e": 0.5}, **SETTINGS).chaos
    assert [o["chaos"]["megno"] for o in chaotic] == indicators["megno"].tolist()
    svg = download(browser, "export-svg", "trivella-map.svg").decode()
    assert svg.count("<path ") == 3 and "MEGNO" in svg
    assert download(browser, "export-png", "trivella-map.png").startswith(b"\x89PNG\r\n\x1a\n")
    browser.save_screenshot(os.path.join(artifacts, "explorer.png"))

    link = browser.current_url
    assert "method=precise" in link and "chaos=1" in link
    browser.get("about:blank")
    browser.get(link)
    assert wait_done(browser, 3, "precise", True) == chaotic
    assert browser.current_url == link


def test_a_loaded_ini_txt_seeds_its_conditions(browser, start_server, tmp_path):
    ini = tmp_path / "ini.txt"
    ini.write_text("my own map\n2 150 0.05 1e-8 1e-7\nreference L\n2\n"
                   "c 1 1 0.01 1.25 ./RESULT/a.txt\nc 2 2 5.27 -1.9 ./RESULT/b.txt\n")
    browser.get(url_of(start_server()))
    wait_done(browser, 0)
    browser.find_element(By.ID, "ini-file").send_keys(str(ini))
    orbits = wait_done(browser, 2)
    assert [o["seed"] for o in orbits] == [[0.01, 1.25], [5.27, -1.9]]
    # One run: the second orbit from h0 instead of from where the first left off differs.
    expected = program_map([0.01, 5.27], [1.25, -1.9], 150, L=2, h0=0.05, tol=1e-8, eps=1e-7)
    assert np.array_equal([o["points"] for o in orbits], expected)
    assert browser.find_element(By.ID, "n_points").get_attribute("value") == "150"


def test_point_lines_are_formatted_as_printf_formats_them(browser, start_server):
    browser.get(url_of(start_server()))
    values = [1 / 2048, -3 / 2048, -0.0, 0.0, 5e-11, 2.5e-10, 6.283185307179586, 1e-320,
              -1e-12, 123456.00000000005, 0.99999999995, 3.0000000000500004]
    lines = browser.execute_async_script(
        "const done = arguments[1]; import('./js/exports.js').then((m) => done(arguments[0].map("
        "(x) => m.points_text([{points: [[x, -x]]}]))));", values)
    # Python's % rounds the exact binary value half to even, as glibc's printf does.
    assert lines == ["%15.10f %15.10f\n" % (x, -x) for x in values]
