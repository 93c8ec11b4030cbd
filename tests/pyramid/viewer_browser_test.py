#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The pyramid's page in headless Chromium, as a user opens it.

Draws a 600x400 pyramid and opens its index.html from file://, then served by
python3 -m http.server, in a 300x200 window at one device pixel per CSS
pixel. Waits for the first level to show (level 9, 300x200, at one image
pixel per screen pixel) and compares a screenshot with a plain render of that
size pixel for pixel; then zooms in through OpenSeadragon's API to 8 screen
pixels per full-size pixel and checks that tiles of the deepest level were
loaded and drawn, each of its pixels a square of its colour in the plain
render of the full size. Fails, never skips, when the browser cannot start.

Usage: viewer_browser_test.py RENDER SCRATCH"""

import base64
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from png_pixels import read_png  # noqa: E402

WIDTH, HEIGHT = 600, 400        # the pyramid
WINDOW = (300, 200)             # so the first level to show is level 9, half the full size
DEEPEST = 10                    # ceil(log2(600))
ZOOM_IN = 8                     # screen pixels per full-size pixel after zooming in
CHROMIUM, CHROMEDRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def render(tool, arguments):
    run = subprocess.run([tool, "-q", *arguments], capture_output=True, text=True)
    if run.returncode != 0:
        fail(f"tobrisk-render {' '.join(arguments)} ended with {run.returncode}: {run.stderr}")


def start_browser(profile):
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError as error:
        fail(f"python3-selenium is missing ({error}); `make deps` installs it")
    for program in (CHROMIUM, CHROMEDRIVER):
        if not os.access(program, os.X_OK):
            fail(f"{program} is missing; `make deps` installs chromium and chromium-driver")
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    # The network is closed: without these, Chromium's own connections fail and stall it.
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--force-device-scale-factor=1", "--hide-scrollbars", f"--user-data-dir={profile}",
                 f"--window-size={WINDOW[0]},{WINDOW[1]}"):
        options.add_argument(flag)
    try:
        driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    except Exception as error:  # any reason the browser did not start is the test's failure
        fail(f"Chromium did not start: {error}")
    # The page's size in CSS pixels, one device pixel each, whatever the window's frame takes.
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": WINDOW[0], "height": WINDOW[1], "deviceScaleFactor": 1, "mobile": False})
    return driver


def wait_for(driver, script, what, seconds=60):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if driver.execute_script(script):
            return
        time.sleep(0.05)
    fail(f"timed out after {seconds} s waiting for {what}")


FULLY_DRAWN = """
  const viewer = window.viewer;
  if (!viewer || viewer.world.getItemCount() !== 1) return false;
  const image = viewer.world.getItemAt(0);
  if (!image.getFullyLoaded() || viewer.isAnimating?.() || image.needsDraw()) return false;
  return true;
"""


def settle(driver, what):
    wait_for(driver, FULLY_DRAWN, what)
    # Two frames more, so the last tiles loaded are on the canvas too.
    driver.execute_async_script(
        "const done = arguments[0]; requestAnimationFrame(() => requestAnimationFrame(() => done()));")
    wait_for(driver, FULLY_DRAWN, what)


def screenshot(driver, path):
    shot = driver.execute_cdp_cmd("Page.captureScreenshot", {"format": "png"})
    with open(path, "wb") as f:
        f.write(base64.b64decode(shot["data"]))
    return read_png(path)


def check_page(driver, url, label, scratch, level9, level10):
    """The page at `url`: the first level, then zoomed in on the deepest."""
    driver.set_script_timeout(60)
    driver.get(url)
    settle(driver, "the first level to show")
    corner = driver.execute_script("return document.getElementById('view').textContent;")
    if "Iterations 60" not in corner or "tobrisk-render " not in corner:
        fail(f"the corner does not show the view and version: {corner!r}")
    print(f"{label}: corner: {corner}")
    driver.execute_script("""
      window.drawn = {}; window.loaded = {};
      viewer.addHandler('tile-drawn', e => { drawn[e.tile.level] = (drawn[e.tile.level] || 0) + 1; });
      viewer.addHandler('tile-loaded', e => { loaded[e.tile.level] = (loaded[e.tile.level] || 0) + 1; });
      document.getElementById('view').style.display = 'none';  // the picture only, for the comparison
      const viewport = viewer.viewport;
      viewport.zoomTo(viewport.imageToViewportZoom(0.5), null, true);
      viewport.panTo(viewport.imageToViewportCoordinates(%d, %d), true);
      viewer.forceRedraw();
    """ % (WIDTH // 2, HEIGHT // 2))
    settle(driver, "the first level at one pixel per screen pixel")
    shot = screenshot(driver, os.path.join(scratch, f"first-level-{label}.png"))
    if (len(shot[0]), len(shot)) != WINDOW:
        fail(f"the screenshot is {len(shot[0])}x{len(shot)}, not the window's {WINDOW[0]}x{WINDOW[1]}")
    differing = [(x, y) for y in range(WINDOW[1]) for x in range(WINDOW[0]) if shot[y][x] != level9[y][x]]
    if differing:
        x, y = differing[0]
        fail(f"{len(differing)} of {WINDOW[0] * WINDOW[1]} pixels differ from the plain 300x200 render, "
             f"the first at ({x}, {y}): {shot[y][x]} instead of {level9[y][x]}")
    print(f"{label}: first level: all {WINDOW[0] * WINDOW[1]} pixels equal the plain render of 300x200")

    # Zoom in on the edge of the set above the disc on the cardioid's left: over 50 colours in view.
    centre = (255, 130)
    driver.execute_script("""
      drawn = {}; loaded = {};
      const viewport = viewer.viewport;
      viewport.zoomTo(viewport.imageToViewportZoom(%d), null, true);
      viewport.panTo(viewport.imageToViewportCoordinates(%d, %d), true);
      viewer.forceRedraw();
    """ % (ZOOM_IN, centre[0], centre[1]))
    settle(driver, "the deepest level after zooming in")
    origin = driver.execute_script("""
      const viewport = viewer.viewport;
      const corner = viewport.viewerElementToImageCoordinates(new OpenSeadragon.Point(0, 0));
      return [corner.x, corner.y, viewport.viewportToImageZoom(viewport.getZoom(true))];""")
    drawn = driver.execute_script("return drawn;")
    loaded = driver.execute_script("return loaded;")
    print(f"{label}: after zooming in to {ZOOM_IN} screen pixels per full-size pixel: tiles loaded by level {loaded}, drawn by level {drawn}")
    if not loaded.get(str(DEEPEST)) or not drawn.get(str(DEEPEST)):
        fail(f"no tile of the deepest level {DEEPEST} was loaded and drawn")
    left, top, scale = origin
    if abs(scale - ZOOM_IN) > 1e-6:
        fail(f"the zoom is {scale} screen pixels per image pixel, not {ZOOM_IN}")
    shot = screenshot(driver, os.path.join(scratch, f"zoomed-in-{label}.png"))
    compared, differing = 0, []
    for y in range(WINDOW[1]):
        iy = top + (y + 0.5) / scale
        for x in range(WINDOW[0]):
            ix = left + (x + 0.5) / scale
            # Screen pixels on an image pixel's edge may fall either way; compare the inner ones.
            if min(ix % 1, 1 - ix % 1, iy % 1, 1 - iy % 1) < 0.1:
                continue
            col, row = math.floor(ix), math.floor(iy)
            if not (0 <= col < WIDTH and 0 <= row < HEIGHT):
                continue
            compared += 1
            if shot[y][x] != level10[row][col]:
                differing.append((x, y, col, row))
    if compared < WINDOW[0] * WINDOW[1] // 2:
        fail(f"only {compared} screen pixels could be compared")
    colours = {shot[y][x] for y in range(WINDOW[1]) for x in range(WINDOW[0])}
    if len(colours) < 8:
        fail(f"the zoomed-in view shows only {len(colours)} colours: not the detail it should")
    if differing:
        x, y, col, row = differing[0]
        fail(f"{len(differing)} of {compared} screen pixels differ from the plain {WIDTH}x{HEIGHT} render, "
             f"the first at ({x}, {y}) showing image pixel ({col}, {row}): {shot[y][x]} instead of "
             f"{level10[row][col]}")
    print(f"{label}: deepest level: {compared} screen pixels, each inside one image pixel, equal the plain render "
          f"of {WIDTH}x{HEIGHT} ({len(colours)} colours)")


def main():
    if len(sys.argv) != 3:
        fail(__doc__)
    tool, scratch = sys.argv[1], os.path.abspath(sys.argv[2])
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    pyramid = os.path.join(scratch, "pyramid")
    view = ["--xmin", "-1.5", "--xmax", "0.5", "--ymin", "-0.9", "--ymax", "0.433333", "--iterations", "60",
            "--palette", "rainbow"]
    render(tool, [*view, "--size", f"{WIDTH}x{HEIGHT}", "--pyramid", pyramid])
    render(tool, [*view, "--size", f"{WIDTH // 2}x{HEIGHT // 2}", "-o", os.path.join(scratch, "level9.png")])
    render(tool, [*view, "--size", f"{WIDTH}x{HEIGHT}", "-o", os.path.join(scratch, "level10.png")])
    level9 = read_png(os.path.join(scratch, "level9.png"))
    level10 = read_png(os.path.join(scratch, "level10.png"))

    profile = tempfile.mkdtemp(prefix="tobrisk-chromium-")
    driver = start_browser(profile)
    try:
        driver.set_script_timeout(60)
        check_page(driver, "file://" + os.path.join(pyramid, "index.html"), "file", scratch, level9, level10)
        # The same page served over HTTP, as `python3 -m http.server` in the folder serves it.
        server = subprocess.Popen(["/usr/bin/python3", "-u", "-m", "http.server", "--bind", "127.0.0.1", "0"],
                                  cwd=pyramid, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        try:
            line = server.stdout.readline()  # "Serving HTTP on 127.0.0.1 port 40123 (http://127.0.0.1:40123/) ..."
            if " port " not in line:
                fail(f"python3 -m http.server did not start: {line!r}")
            port = int(line.split(" port ")[1].split()[0])
            check_page(driver, f"http://127.0.0.1:{port}/index.html", "http", scratch, level9, level10)
        finally:
            server.terminate()
            server.wait()
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)
    print("PASS")


main()
