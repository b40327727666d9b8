#!/usr/bin/python3
"""The phone meter in a real browser (headless Chromium through its driver).

Starts Zenara on the simulated receiver with the phone meter on loopback,
opens the page at phone size, and checks what an installer on the roof relies
on: live values that follow the signal, Halt stopping a drive (seen in the
card trace), the lost-connection notice, and nothing at all for a wrong or
missing token. With --screenshots DIR it also saves the page locked and
unlocked.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

PHONE = (360, 740)


class Zenara:
    """The program as a user starts it, in folders of its own."""

    def __init__(self, binary, run_dir, home):
        self.binary, self.run_dir, self.home = os.path.abspath(binary), run_dir, home
        self.trace = os.path.join(home, "trace.log")
        self.env = dict(os.environ)
        for name in ("config", "runtime", "data", "state"):
            os.makedirs(os.path.join(home, name), mode=0o700, exist_ok=True)
        self.env.update({
            "XDG_CONFIG_HOME": os.path.join(home, "config"),
            "XDG_RUNTIME_DIR": os.path.join(home, "runtime"),
            "XDG_DATA_HOME": os.path.join(home, "data"),
            "XDG_STATE_HOME": os.path.join(home, "state"),
            "QT_QPA_PLATFORM": "offscreen",
            "ZENARA_DIALOG_TIMEOUT_MS": "50",
            "ASAN_OPTIONS": "detect_leaks=0",
        })
        self.process = subprocess.Popen(
            [self.binary, "--receiver", "sim", "--web", "127.0.0.1:0", "--trace", self.trace],
            cwd=run_dir, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def remote(self, *words, wait=True):
        args = [self.binary, "--remote", *words]
        if not wait:
            return subprocess.Popen(args, cwd=self.run_dir, env=self.env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        out = subprocess.run(args, cwd=self.run_dir, env=self.env, capture_output=True,
                             text=True, timeout=120)
        try:
            return json.loads(out.stdout)
        except ValueError:
            return {"error": out.stdout + out.stderr}

    def url(self):
        deadline = time.time() + 90
        while time.time() < deadline:
            state = self.remote("web")
            if state.get("running"):
                return state["url"]
            time.sleep(0.3)
        raise AssertionError("the phone meter did not start: %s" % state)

    def trace_lines(self, word):
        with open(self.trace, encoding="latin-1") as f:
            return [line.split(None, 1)[1].strip() for line in f if f" {word} " in line]

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(30)
        except subprocess.TimeoutExpired:
            self.process.kill()


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-dev-shm-usage", "--autoplay-policy=no-user-gesture-required",
                     "--window-size=%d,%d" % PHONE):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_window_size(*PHONE)
    return driver


def wait_for(driver, what, seconds=30):
    return WebDriverWait(driver, seconds, poll_frequency=0.1).until(lambda d: what(d))


def text(driver, element_id):
    return driver.find_element(By.ID, element_id).text


def status_of(url):
    try:
        with urllib.request.urlopen(url, timeout=10) as r:
            return r.status, r.read()
    except urllib.error.HTTPError as e:
        return e.code, e.read()


def check(condition, message):
    if not condition:
        raise AssertionError(message)
    print("ok -", message)


def lit_flags(driver):
    return [s.text for s in driver.find_elements(By.CSS_SELECTOR, "#flags span.on")]


def run(args):
    home = tempfile.mkdtemp(prefix="zenara-phone-")
    zenara = Zenara(args.zenara, args.run_dir, home)
    driver = None
    try:
        url = zenara.url()
        base, token = url.split("?t=")
        for bad in (base, base + "?t=", base + "?t=" + "0" * 32, base + "events?t=" + token[:-1],
                    base + "meter.js?t=x", base + "?token=" + token):
            code, body = status_of(bad)
            shown = bad.replace(token, "TOKEN").replace(token[:-1], "TOKEN-1")
            check(code == 403 and body == b"", "403 and nothing else for " + shown)

        driver = browser()
        driver.get(url)
        wait_for(driver, lambda d: text(d, "agc") not in ("", "–"))
        check(not driver.find_element(By.ID, "live").get_attribute("hidden"), "the live view shows")
        check("SIG" in lit_flags(driver) and "LCK" not in lit_flags(driver),
              "unlocked at the start: %s" % lit_flags(driver))
        agc_unlocked = text(driver, "agc")
        if args.screenshots:
            driver.save_screenshot(os.path.join(args.screenshots, "phone-unlocked.png"))

        # The signal changes: a satellite chosen on the page, the dish sent
        # there with its Go, a transponder of it tuned.
        wait_for(driver, lambda d: len(d.find_elements(By.CSS_SELECTOR, "#satellites option")) > 10)
        driver.find_element(By.CSS_SELECTOR, "#satellites option[value='19.2E']").click()
        driver.find_element(By.ID, "go").click()
        wait_for(driver, lambda d: "19.2°E" in text(d, "satellite"))
        wait_for(driver, lambda d: "⇄" in text(d, "dish"), 10)
        check(zenara.trace_lines("DISEQC"), "Go sent the dish (%s)" % zenara.trace_lines("DISEQC")[-1:])
        wait_for(driver, lambda d: "⇄" not in text(d, "dish"), 90)
        zenara.remote("tune", "11494", "H", "22000", "S2", "8PSK", "2/3")
        wait_for(driver, lambda d: "LCK" in lit_flags(d), 30)
        wait_for(driver, lambda d: text(d, "margin") != "–", 30)
        check(text(driver, "agc") != agc_unlocked, "AGC followed the signal: %s then %s"
              % (agc_unlocked, text(driver, "agc")))
        check(float(text(driver, "snr").rstrip("%")) > 40, "SNR at lock: " + text(driver, "snr"))
        if args.screenshots:
            time.sleep(3)  # a few seconds of history
            driver.save_screenshot(os.path.join(args.screenshots, "phone-locked.png"))

        # A degree east from the phone: answered while the dish still turns.
        driver.find_element(By.CSS_SELECTOR, "[data-drive='east 1 degrees']").click()
        wait_for(driver, lambda d: "⇄" in text(d, "dish"), 10)
        wait_for(driver, lambda d: "⇄" not in text(d, "dish"), 30)
        check(text(driver, "reply") == "", "a degree east, without an error: %r" % text(driver, "reply"))

        # Halt during a drive, pressed on the phone.
        before = len(zenara.trace_lines("DISEQC"))
        drive = zenara.remote("drive", "east", "20", "degrees", wait=False)
        wait_for(driver, lambda d: "⇄" in text(d, "dish"), 20)
        driver.find_element(By.ID, "halt").click()
        wait_for(driver, lambda d: "⇄" not in text(d, "dish"), 10)
        sent = zenara.trace_lines("DISEQC")[before:]
        drives = [i for i, s in enumerate(sent) if s.startswith(("DISEQC E0 31 68", "DISEQC E0 31 69"))]
        halts = [i for i, s in enumerate(sent) if s.startswith(("DISEQC E0 31 60", "DISEQC E1 31 60"))]
        check(drives and halts and halts[0] > drives[0], "the drive went out, then the halt: %s" % sent)
        drive.wait(30)
        check(not zenara.remote("status")["moving"], "the motor stands")
        markers = [m["label"] for m in zenara.remote("markers")["markers"]]
        check(any("alt" in m for m in markers), "the plot marks the halt: %s" % markers[-3:])

        # The page says when Zenara is gone.
        zenara.close()
        wait_for(driver, lambda d: d.find_element(By.ID, "lost").is_displayed(), 10)
        check("lost" in text(driver, "lost"), "the page says the connection is lost")
    finally:
        if driver:
            driver.quit()
        zenara.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--zenara", required=True, help="the program")
    parser.add_argument("--run-dir", required=True, help="where its data files are")
    parser.add_argument("--screenshots", help="folder for the phone-size screenshots")
    args = parser.parse_args()
    run(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
