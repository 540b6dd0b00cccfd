"""Fixtures of the explorer's tests: a server on a free port in this process, and a headless
Chromium that downloads into a temporary directory."""

import os
import socket
import tempfile
import threading

import pytest

from trivella_explorer import make_server


@pytest.fixture
def start_server():
    """start_server(**options) -> server, serving on a thread until the test ends."""
    servers = []

    def start(**options):
        server = make_server(0, **options)
        threading.Thread(target=server.serve_forever, args=(0.05,), daemon=True).start()
        servers.append(server)
        return server

    yield start
    for server in servers:
        server.stopping.set()
        server.shutdown()
        server.server_close()


@pytest.fixture(scope="module")
def browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    # Selenium reaches chromedriver through the name localhost; say so plainly when it does
    # not resolve (a container or chroot without /etc/hosts) instead of timing out.
    try:
        socket.gethostbyname("localhost")
    except OSError as e:
        pytest.fail(f"localhost does not resolve ({e}); the browser tests need it in /etc/hosts")
    with tempfile.TemporaryDirectory() as profile, tempfile.TemporaryDirectory() as downloads:
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--window-size=1200,800",
                     f"--user-data-dir={profile}"):
            options.add_argument(flag)
        options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                                  "download.prompt_for_download": False})
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        driver.set_script_timeout(30)
        driver.downloads = downloads
        try:
            yield driver
        finally:
            driver.quit()


@pytest.fixture
def artifacts():
    """Where a test keeps files worth looking at after the run."""
    path = os.environ.get("TRIVELLA_ARTIFACTS") or tempfile.mkdtemp(prefix="explorer-")
    os.makedirs(path, exist_ok=True)
    return path
