"""The web page in headless Chromium, driven through Selenium as a person
would use it: typing, clicking, choosing and dropping files, saving. Shared
by the browser tests and the page's benchmark."""

import base64
import json
import os
import shutil
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By


def shown(text, crlf):
    """A box's text as the page shows it: the box's line break (CR LF in the
    clear-text box, LF in the cipher box) as a line break, the other control
    characters but tab as their pictures (U+2400 onward, U+2421 for DEL)."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if crlf and text.startswith("\r\n", i):
            out.append("\n")
            i += 2
            continue
        if c == "\n" and not crlf:
            out.append("\n")
        elif (ord(c) < 0x20 and c != "\t") or c == "\x7f":
            out.append(chr(0x2421 if c == "\x7f" else 0x2400 + ord(c)))
        else:
            out.append(c)
        i += 1
    return "".join(out)


def from_codes(codes):
    """Code page 1252 codes as text; the five codes that name no letter stand
    for the control characters of the same value."""
    return "".join(
        chr(b) if b < 0x80 or b >= 0xA0 or b in (0x81, 0x8D, 0x8F, 0x90, 0x9D) else bytes([b]).decode("cp1252")
        for b in codes
    )


class Browser:
    """One headless Chromium with the page loaded; `language` is the browser's
    language, `width` and `height` its viewport."""

    def __init__(self, page, language="en-US", width=1000, height=900):
        self.url = "file://" + os.path.abspath(page) if "://" not in page else page
        self.downloads = tempfile.mkdtemp(prefix="tolvana-web-downloads-")
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                         f"--window-size={width},{height}"):
            options.add_argument(argument)
        options.add_experimental_option("prefs", {
            "intl.accept_languages": language,
            "download.default_directory": self.downloads,
            "download.prompt_for_download": False,
        })
        options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.set_script_timeout(120)
        self.driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                    {"behavior": "allow", "downloadPath": self.downloads})

    def phone(self, on=True):
        """Shows the page as a phone of 360 by 740 CSS pixels does, or again as
        the desktop window."""
        if on:
            self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                        {"width": 360, "height": 740, "deviceScaleFactor": 2, "mobile": True})
        else:
            self.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})

    def quit(self):
        self.driver.quit()
        shutil.rmtree(self.downloads, ignore_errors=True)

    # ---- The page -----------------------------------------------------------

    def load(self):
        self.driver.get(self.url)
        self.wait(lambda: self.script("return document.getElementById('window').getAttribute('aria-busy')")
                  == "false", "the page did not start")

    def script(self, code, *args):
        return self.driver.execute_script(code, *args)

    def element(self, id_):
        return self.driver.find_element(By.ID, id_)

    def wait(self, condition, what, timeout=60):
        end = time.time() + timeout
        while not condition():
            if time.time() > end:
                raise AssertionError(what)
            time.sleep(0.02)

    def commands(self):
        return int(self.script("return document.getElementById('window').dataset.commands"))

    def command(self, action):
        """Runs `action`, which starts one command, and waits for its end."""
        before = self.commands()
        action()
        self.wait(lambda: self.commands() > before, "the command did not end")

    def click(self, id_):
        self.command(lambda: self.element(id_).click())

    def box(self, id_):
        """What a box shows."""
        return self.element(id_).get_property("value")

    def set_decimal(self, decimal):
        self.element("window").find_element(By.CSS_SELECTOR, f'input[name="decimal"][value="{decimal}"]').click()

    def choose_file(self, input_id, path):
        self.command(lambda: self.element(input_id).send_keys(os.path.abspath(path)))

    def drop(self, target_id, files):
        """Drops files, given as (name, bytes), on an element, as a file manager
        would."""
        encoded = [[name, base64.b64encode(data).decode()] for name, data in files]
        before = self.commands()
        self.script("""
            const [target, files] = arguments;
            const transfer = new DataTransfer();
            for (const [name, data] of files) {
                const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
                transfer.items.add(new File([bytes], name));
            }
            const element = document.getElementById(target);
            for (const type of ["dragenter", "dragover", "drop"]) {
                element.dispatchEvent(new DragEvent(type, {bubbles: true, cancelable: true, dataTransfer: transfer}));
            }
        """, target_id, encoded)
        return before

    def message(self):
        """The text of the message shown, or None."""
        if not self.script("return document.getElementById('message').open"):
            return None
        return self.element("message-text").get_property("textContent")

    def close_message(self):
        self.element("message-ok").click()

    def save(self):
        """Presses "Spara som" and returns the bytes of the downloaded file."""
        for name in os.listdir(self.downloads):
            os.remove(os.path.join(self.downloads, name))
        self.click("save")
        saved = []

        def finished():
            names = os.listdir(self.downloads)
            saved[:] = [n for n in names if not n.endswith(".crdownload")]
            return len(saved) == 1 and len(names) == 1

        self.wait(finished, "nothing was downloaded", timeout=30)
        with open(os.path.join(self.downloads, saved[0]), "rb") as f:
            return saved[0], f.read()

    # ---- What the browser saw -----------------------------------------------

    def requests(self):
        """The URL of every request the browser sent since the last call."""
        urls = []
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message["method"] == "Network.requestWillBeSent":
                urls.append(message["params"]["request"]["url"])
        return urls

    def console(self):
        """The browser console's warnings and errors since the last call."""
        return [e for e in self.driver.get_log("browser") if e["level"] in ("WARNING", "SEVERE")]
