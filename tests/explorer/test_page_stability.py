"""The stability background in headless Chromium: the cells painted under the orbits in the
picture tool's colours and in the exported pictures, the server's engine idle within a second
of turning it off, a new view computed afresh, and a link that keeps the background."""

import io
import os
import sys
import time
from pathlib import Path

import numpy as np
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.wheel_input import ScrollOrigin
from selenium.webdriver.common.by import By
from test_page import download, url_of, wait_done

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import chaos_colors  # noqa: E402

ALPHA = 115 / 255  # the cells' opacity
BG = "window.trivella_explorer.background"
# Each sample: the centre of a cell of the finest pass in device pixels, the page's pixel there
# and the cell's MEGNO and verdict.
SAMPLES = f"""
const bg = {BG}, a = window.trivella_explorer.area(), m = window.trivella_explorer.map;
const r = window.devicePixelRatio || 1;
const ctx = document.getElementById('plot').getContext('2d');
const [w, h] = [bg.image.width, bg.image.height];
const out = [];
for (let y = 0; y < h; y += 1) for (let x = 0; x < w; x += 1) {{
  const px = a.left + (bg.view.x0 + (x + 0.5) * (bg.view.x1 - bg.view.x0) / w - m.view.x0)
    / (m.view.x1 - m.view.x0) * a.width;
  const py = a.top + (m.view.y1 - (bg.view.y1 - (y + 0.5) * (bg.view.y1 - bg.view.y0) / h))
    / (m.view.y1 - m.view.y0) * a.height;
  const xy = [Math.floor(px * r), Math.floor(py * r)];
  out.push([xy, [...ctx.getImageData(xy[0], xy[1], 1, 1).data.slice(0, 3)],
            bg.megno[y * w + x], bg.verdict[y * w + x]]);
}}
return out;"""
# The orbit's own pixels: those of its colour before the background came.
ORBIT_PIXELS = """
const done = arguments[arguments.length - 1];
import('./js/colors.js').then(({ orbit_color }) => {
  const c = orbit_color(0), want = [1, 3, 5].map((k) => parseInt(c.slice(k, k + 2), 16));
  const canvas = document.getElementById('plot');
  const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  const at = arguments[0] || [];
  if (!arguments[0]) {
    for (let k = 0; k < data.length; k += 4)
      if (want.every((v, n) => data[k + n] === v)) at.push(k);
  }
  done(at.filter((k) => want.every((v, n) => data[k + n] === v)));
});"""


def plain_pixels(browser):
    """The page's pixels at the samples' places, without the background."""
    fake = ("const bg = {image: {width: 12, height: 8}, megno: [], verdict: [], "
            "view: window.trivella_explorer.map.view}")
    return {tuple(xy): rgb for xy, rgb, _, _ in
            browser.execute_script(SAMPLES.replace(f"const bg = {BG}", fake))}


def state(browser):
    return browser.find_element(By.ID, "stability-status").get_attribute("data-state")


def wait_for(condition, timeout=60, what=""):
    end = time.monotonic() + timeout
    while not condition():
        assert time.monotonic() < end, what
        time.sleep(0.02)


def next_frame(browser):
    browser.execute_async_script("requestAnimationFrame(() => requestAnimationFrame("
                                 "arguments[arguments.length - 1]))")


def expected_rgb(megno, verdict, under):
    """The cell's colour by the picture tool's scale, laid at ALPHA over the pixel under it."""
    import matplotlib.pyplot as plt
    if verdict in ("regular", "chaotic"):
        norm = chaos_colors.megno_norm(4.0, 40.0)
        rgb = np.array(plt.get_cmap("coolwarm")(float(norm(megno)))[:3]) * 255
    else:
        rgb = np.array([115 if verdict == "failed" else 204] * 3)
    return ALPHA * rgb + (1 - ALPHA) * np.array(under)


def test_cells_painted_under_the_orbit_and_the_engine_stopped_when_off(browser, start_server,
                                                                       artifacts):
    server = start_server()
    browser.get(url_of(server) + "#n=301&L=5&view=0,6.283185307179586,-1,1&seeds=0.3,2.5")
    wait_done(browser, 1)
    next_frame(browser)
    before = plain_pixels(browser)
    orbit = browser.execute_async_script(ORBIT_PIXELS, None)
    assert len(orbit) > 100
    browser.execute_script(f"{BG}.levels = [[6, 4], [12, 8]]")
    browser.find_element(By.ID, "stability").click()
    wait_for(lambda: state(browser) == "done", what=state(browser))
    next_frame(browser)
    browser.save_screenshot(os.path.join(artifacts, "explorer-stability.png"))
    # catches: the background drawn over the points, or the points drawn over by it
    assert browser.execute_async_script(ORBIT_PIXELS, orbit) == orbit
    samples = browser.execute_script(SAMPLES)
    assert {v for *_, v in samples} == {"regular", "chaotic"}
    plain = [(rgb, megno, v, before[tuple(xy)]) for xy, rgb, megno, v in samples
             if tuple(xy) in before and min(before[tuple(xy)]) >= 230]  # no dot, no axis
    assert len(plain) > 80
    for rgb, megno, verdict, under in plain:
        assert np.abs(np.array(rgb) - expected_rgb(megno, verdict, under)).max() <= 3, (
            rgb, megno, verdict, under)
    # The exports hold what the page shows: most of the plot coloured, not only the orbit.
    import matplotlib.image
    png = matplotlib.image.imread(io.BytesIO(download(browser, "export-png",
                                                      "trivella-map.png")))[..., :3]
    coloured = np.ptp(png, axis=2) > 0.02
    assert coloured.mean() > 0.3, coloured.mean()
    svg = download(browser, "export-svg", "trivella-map.svg").decode()
    assert svg.count('<image ') == 1 and 'href="data:image/png;base64,' in svg

    # Off: the engine stops within a second, the map is as before.
    browser.execute_script(f"{BG}.levels = [[30, 20], [60, 40], [120, 80]]")
    browser.find_element(By.ID, "stability").click()
    wait_for(lambda: state(browser) == "off")
    browser.find_element(By.ID, "stability").click()
    wait_for(lambda: server.runs == 1 and browser.execute_script(f"return {BG}.cells") > 0)
    browser.find_element(By.ID, "stability").click()
    off = time.monotonic()
    wait_for(lambda: server.runs == 0, timeout=1.0, what="the engine still runs")
    print(f"engine idle {time.monotonic() - off:.3f} s after the background was turned off")
    next_frame(browser)
    assert plain_pixels(browser) == before


def test_a_new_view_is_computed_afresh(browser, start_server):
    server = start_server()
    browser.get(url_of(server) + "#n=301&L=5")
    wait_done(browser, 0)
    browser.execute_script(f"{BG}.levels = [[6, 4], [12, 8]]")
    browser.find_element(By.ID, "stability").click()
    wait_for(lambda: browser.execute_script(f"return {BG}.cells") > 0)
    canvas = browser.find_element(By.ID, "plot")
    ActionChains(browser).scroll_from_origin(ScrollOrigin.from_element(canvas), 0, -200).perform()
    same_view = f"const b = {BG}.view, v = window.trivella_explorer.map.view; " \
                "return ['x0', 'x1', 'y0', 'y1'].every((k) => b[k] === v[k]);"
    wait_for(lambda: browser.execute_script(same_view) and state(browser) == "done")
    view = browser.execute_script("return window.trivella_explorer.map.view")
    assert view["x1"] - view["x0"] < 6  # zoomed in
    assert server.runs == 0
    # The link keeps the background: a page opened from it paints one again.
    link = browser.current_url
    assert "stability=1" in link
    browser.get("about:blank")
    browser.get(link)
    wait_for(lambda: state(browser) != "off", what=state(browser))
    assert browser.find_element(By.ID, "stability").is_selected()
