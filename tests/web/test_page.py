"""The web page (build-web/tolvana.html) in a real browser: headless Chromium
driven through Selenium. The bytes the page should give are made by the
program's own tolvana-cipher, built in the same run.

    TOLVANA_WEB_PAGE=... TOLVANA_CIPHER=... TOLVANA_AXE=... python3 test_page.py

scripts/test-web.sh builds everything and sets these."""

import functools
import glob
import http.server
import os
import random
import subprocess
import sys
import tempfile
import threading
import unittest

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser, from_codes, shown  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
PAGE = os.environ.get("TOLVANA_WEB_PAGE", os.path.join(ROOT, "build-web", "tolvana.html"))
CIPHER = os.environ.get("TOLVANA_CIPHER", "")
AXE = os.environ.get("TOLVANA_AXE", "")
GOLDEN = os.path.join(ROOT, "tests", "golden", "expected")

# "Hej på dig", a line break and "rad två": the text of the committed cipher files.
HEJ = "Hej p\xe5 dig\r\nrad tv\xe5".encode("cp1252")


def tool(*args, stdin=None):
    """Runs tolvana-cipher and returns what it wrote."""
    return subprocess.run([CIPHER, *args], input=stdin, capture_output=True, check=True).stdout


def crp_of(codes, decimal):
    """The ".crp" file the program saves for clear text of these codes."""
    return tool("kryptera", "--text", "-k", "cp1252", "-d", decimal, "--crp", stdin=codes)


def field_of(crp):
    """The cipher text of a ".crp" file as the program writes it."""
    assert crp.startswith(b'"') and crp.endswith(b'"\r\n'), crp[:20]
    return from_codes(crp[1:-3])


class PageTest(unittest.TestCase):
    language = "en-US"

    @classmethod
    def setUpClass(cls):
        cls.browser = Browser(PAGE, language=cls.language)
        cls.files = tempfile.mkdtemp(prefix="tolvana-web-files-")

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        subprocess.run(["rm", "-rf", cls.files], check=False)

    def setUp(self):
        self.browser.load()
        self.browser.requests()
        self.browser.console()

    def tearDown(self):
        # No test may leave a warning or an error in the console: a blocked
        # request or a broken script shows there.
        self.assertEqual(self.browser.console(), [])

    def file(self, name, data):
        path = os.path.join(self.files, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def open_crp(self, path):
        self.browser.choose_file("open-file", path)

    def type_into(self, box, text):
        self.browser.element(box).send_keys(text)

    def insert(self, box, text):
        """Puts text into a box as a paste does, for what a keyboard cannot
        type (characters outside the basic multilingual plane)."""
        self.browser.script("""
            const [box, text] = arguments;
            const area = document.getElementById(box);
            area.focus();
            area.setRangeText(text, area.selectionStart, area.selectionEnd, "end");
            area.dispatchEvent(new InputEvent("input", {inputType: "insertFromPaste", bubbles: true}));
        """, box, text)

    def expect_start_shown(self, box, text):
        """A box shows `text` from its start: all of it, or for a long text
        the window of some thousand lines that its textarea holds."""
        part = self.browser.box(box)
        self.assertEqual(part, text[: len(part)])
        if part != text:
            self.assertGreaterEqual(part.count("\n"), 1000, f"the {box} box shows too little")

    def expect_message(self, text):
        b = self.browser
        b.wait(lambda: b.message() is not None, f"no message; expected {text!r}")
        self.assertEqual(b.message(), text)
        b.close_message()
        b.wait(lambda: b.message() is None, "the message stayed open")


class Files(PageTest):
    def test_golden_cipher_files_open_decrypt_and_save_unchanged(self):
        b = self.browser
        paths = sorted(glob.glob(os.path.join(GOLDEN, "*.crp")))
        self.assertTrue(paths)
        for path in paths:
            with self.subTest(os.path.basename(path)):
                b.load()
                with open(path, "rb") as f:
                    data = f.read()
                self.open_crp(path)
                self.expect_start_shown("cipher", shown(field_of(data), crlf=False))
                b.click("decrypt")
                self.expect_start_shown("clear", shown(from_codes(tool("dekryptera", "-k", "cp1252", path)), crlf=True))
                # The save writes the box's whole text, not only the part shown.
                self.assertEqual(b.save(), (os.path.basename(path), data))

    def test_typed_text_is_saved_as_the_program_saves_it(self):
        b = self.browser
        # An empty cipher box saves one empty field.
        self.assertEqual(b.save()[1], b'""\r\n')
        for decimal, golden in ((",", "cipher_comma.crp"), (".", "cipher_point.crp")):
            with self.subTest(decimal=decimal):
                # Enter makes the clear-text box's line break, CR LF.
                self.type_into("clear", "Hej på dig\nrad två")
                b.set_decimal(decimal)
                b.click("encrypt")
                self.assertEqual(b.box("clear"), "")
                name, data = b.save()
                self.assertEqual(name, "tolvana.crp")
                self.assertEqual(data, crp_of(HEJ, decimal))
                with open(os.path.join(GOLDEN, golden), "rb") as f:
                    self.assertEqual(data, f.read())

    def test_imported_texts_are_saved_as_the_program_saves_them(self):
        b = self.browser
        # Fields as the import reads them: quoted and not, commas, blanks and
        # every kind of line end.
        text = 'Hej, "på dig"\r\nrad två,tre\n   blanka\rsist "€"\x00,'
        variants = {
            "utf8.txt": text.encode("utf-8"),
            "bom.txt": b"\xef\xbb\xbf" + text.encode("utf-8"),
            "utf16le.txt": b"\xff\xfe" + text.encode("utf-16-le"),
            "utf16be.txt": b"\xfe\xff" + text.encode("utf-16-be"),
            "cp1252.TXT": text.encode("cp1252"),
        }
        for name, data in variants.items():
            for decimal in (",", "."):
                with self.subTest(name, decimal=decimal):
                    path = self.file(name, data)
                    b.choose_file("import-file", path)
                    b.set_decimal(decimal)
                    b.click("encrypt")
                    saved_name, saved = b.save()
                    self.assertEqual(saved_name, os.path.splitext(name)[0] + ".crp")
                    expected = os.path.join(self.files, "expected.crp")
                    tool("kryptera", path, "--import", "-d", decimal, "-o", expected)
                    with open(expected, "rb") as f:
                        self.assertEqual(saved, f.read())

    def test_every_code_makes_the_round_trip_with_both_separators(self):
        b = self.browser
        texts = {
            "all": bytes(range(256)),
            "breaks": b"a\r\nb\rc\nd\r\r\n\n\r\x00e\r",
        }
        for decimal in (",", "."):
            for name, codes in texts.items():
                with self.subTest(name, decimal=decimal):
                    b.load()
                    crp = crp_of(codes, decimal)
                    self.open_crp(self.file(name + ".crp", crp))
                    self.assertEqual(b.box("cipher"), shown(field_of(crp), crlf=False))
                    b.click("decrypt")
                    self.assertEqual(b.box("clear"), shown(from_codes(codes), crlf=True))
                    b.set_decimal(decimal)
                    b.click("encrypt")
                    self.assertEqual(b.box("cipher"), shown(field_of(crp), crlf=False))
                    self.assertEqual(b.save()[1], crp)

    def test_numbers_that_kryptera_never_writes_decode_as_in_the_program(self):
        b = self.browser
        # Rounded numbers, halves to the even code, rounding to 15 digits
        # first (153.74999999999997 gives 98, 155.25000000000003 gives 98),
        # blanks, CR LF line ends, "32" as a space and, at the very end, as a
        # number.
        cipher = ("\n154\n153,75\n155.25\n 9 \r\n7.50\n0009\n32\n153.74999999999997\n"
                  "155,25000000000003\n390.7499\n32")
        self.type_into("cipher", cipher.replace("\r", ""))
        b.click("decrypt")
        expected = tool("dekryptera", "--ren", "-k", "cp1252", stdin=cipher.replace("\r", "").encode())
        self.assertEqual(b.box("clear"), shown(from_codes(expected), crlf=True))
        self.open_crp(self.file("crlf.crp", b'"' + cipher.encode() + b'"\r\n'))
        b.click("decrypt")
        expected = tool("dekryptera", "--ren", "-k", "cp1252", stdin=cipher.encode())
        self.assertEqual(b.box("clear"), shown(from_codes(expected), crlf=True))

    def test_edits_keep_the_control_characters_around_them(self):
        b = self.browser
        codes = b"\x00a\rb\nc\r\nd\x7f"
        self.open_crp(self.file("controls.crp", crp_of(codes, ",")))
        b.click("decrypt")
        box = b.element("clear")
        box.send_keys(Keys.CONTROL, Keys.END)
        box.send_keys("x\ny")
        box.send_keys(Keys.CONTROL, Keys.HOME)
        box.send_keys(Keys.DELETE, "z")
        box.send_keys(Keys.CONTROL, Keys.END)
        box.send_keys("q", Keys.CONTROL, "z")  # undoes the q
        self.assertEqual(b.box("clear"), shown(from_codes(b"za\rb\nc\r\nd\x7fx\r\ny"), crlf=True))
        b.set_decimal(",")
        b.click("encrypt")
        self.assertEqual(b.save()[1], crp_of(b"za\rb\nc\r\nd\x7fx\r\ny", ","))

    def test_dropped_files_open_by_their_extension(self):
        b = self.browser
        with open(os.path.join(GOLDEN, "cipher_point.crp"), "rb") as f:
            crp = f.read()
        before = b.drop("clear", [("brev.CRP", crp), ("rad.txt", b"en,tv\xe5\r\n")])
        b.wait(lambda: b.commands() >= before + 2, "the dropped files did not open")
        self.assertEqual(b.box("cipher"), shown(field_of(crp), crlf=False))
        self.assertEqual(b.box("clear"), "entvå")
        b.drop("window", [("bild.png", b"\x89PNG")])
        self.expect_message("Filen bild.png öppnades inte: Tolvana öppnar krypterade filer (.crp) och textfiler (.txt).")


class Refusals(PageTest):
    def test_commands_refuse_text_with_the_programs_messages(self):
        b = self.browser
        self.type_into("clear", "ab\nł")
        b.click("encrypt")
        self.expect_message("Texten kan inte krypteras: tecknet \"ł\" (U+0142) på rad 2 finns inte i teckentabellen.")
        self.assertEqual(b.box("clear"), "ab\nł")  # nothing changed

        cases = [
            ("\n153\nabc", "Den krypterade texten kan inte dekrypteras: \"abc\" på rad 3 är inget tal."),
            ("\n999", "Den krypterade texten kan inte dekrypteras: talet \"999\" på rad 2 motsvarar inget tecken."),
            ("153\nł", "Den krypterade texten kan inte dekrypteras: tecknet \"ł\" (U+0142) på rad 2 "
                       "finns inte i teckentabellen."),
        ]
        for cipher, message in cases:
            with self.subTest(cipher):
                b.load()
                self.type_into("cipher", cipher)
                b.click("decrypt")
                self.expect_message(message)
                self.assertEqual(b.box("clear"), "")

        # A token names its control characters in words.
        self.open_crp(self.file("cr.crp", b'"\n153\n15\r3\n9"\r\n'))
        b.click("decrypt")
        self.expect_message("Den krypterade texten kan inte dekrypteras: \"15[vagnretur (kod 13)]3\" på rad 3 "
                            "är inget tal.")

        for cipher, message in (
            ("153\n\U0001F60A", "Den krypterade texten sparades inte: tecknet \"\U0001F60A\" (U+1F60A) på rad 2 "
                                "finns inte i teckentabellen."),
            ('153"', "Den krypterade texten sparades inte: den innehåller citattecken (\"), och det som står "
                     "efter ett citattecken kan inte läsas tillbaka ur filen."),
        ):
            with self.subTest(cipher):
                b.load()
                self.insert("cipher", cipher)
                b.click("save")
                self.expect_message(message)

    def test_files_are_refused_with_the_programs_messages(self):
        b = self.browser
        # Sparse files: their size is refused before any of them is read.
        for name, size, message in (
            ("stor.crp", 30 << 30, "Filen stor.crp öppnades inte: filen är 30 GB stor, och högst 128 MB kan läsas in."),
            ("nästan.crp", (128 << 20) + 1, "Filen nästan.crp öppnades inte: filen är 134 217 729 byte stor, och "
                                            "högst 134 217 728 byte kan läsas in."),
            ("stor.txt", 17 << 20, "Filen stor.txt öppnades inte: filen är 17 MB stor, och högst 16 MB kan läsas in."),
        ):
            with self.subTest(name):
                path = self.file(name, b"")
                os.truncate(path, size)
                b.choose_file("import-file" if name.endswith(".txt") else "open-file", path)
                self.expect_message(message)
                os.remove(path)
        self.assertEqual((b.box("clear"), b.box("cipher")), ("", ""))

        b.choose_file("import-file", self.file("bad.txt", "ab\r\nc, dł".encode("utf-8")))
        self.expect_message("Filen bad.txt kan inte läsas in: tecknet \"ł\" (U+0142) på rad 2 finns inte i "
                            "teckentabellen.")

        # An empty cipher file changes nothing and says nothing, as in the window.
        self.type_into("cipher", "9")
        self.open_crp(self.file("tom.crp", b""))
        self.assertIsNone(b.message())
        self.assertEqual(b.box("cipher"), "9")


class Privacy(PageTest):
    def exercise(self):
        """Every command that reads or writes."""
        b = self.browser
        self.open_crp(os.path.join(GOLDEN, "cipher_comma.crp"))
        b.click("decrypt")
        b.choose_file("import-file", self.file("a.txt", b"abc"))
        b.click("encrypt")
        b.save()

    def test_no_request_from_a_file(self):
        self.exercise()
        self.assertEqual(self.browser.requests(), [])

    def test_no_request_but_the_page_from_a_web_server(self):
        served = []

        class Handler(http.server.SimpleHTTPRequestHandler):
            def log_message(self, fmt, *args):
                served.append(self.path)

        folder = os.path.dirname(os.path.abspath(PAGE))
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=folder))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        url = f"http://127.0.0.1:{server.server_address[1]}/{os.path.basename(PAGE)}"
        web = Browser(url)
        try:
            web.load()
            self.browser, saved = web, self.browser
            self.exercise()
            self.browser = saved
            # What the page itself would ask for is refused by its policy.
            blocked = web.driver.execute_async_script("""
                const [url, done] = arguments;
                fetch(url).then(() => done("fetched"), () => done("blocked"));
            """, url + "?fetch")
            self.assertEqual(blocked, "blocked")
            self.assertEqual(web.requests(), [url])
            self.assertEqual(served, ["/" + os.path.basename(PAGE)])
            self.assertTrue(any("Content Security Policy" in e["message"] for e in web.console()))
        finally:
            web.quit()
            server.shutdown()


class Access(PageTest):
    def axe(self):
        with open(AXE, encoding="utf-8") as f:
            self.browser.script(f.read())
        return self.browser.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            axe.run(document).then((r) => done(r.violations.map((v) => v.id + ": " +
                v.nodes.map((n) => n.target.join(" ")).join(", "))));
        """)

    def test_axe_finds_no_violation(self):
        b = self.browser
        self.assertEqual(self.axe(), [])
        b.click("decrypt")
        self.type_into("cipher", "x")
        b.click("decrypt")
        self.assertIsNotNone(b.message())
        self.assertEqual(self.axe(), [])
        b.close_message()
        b.phone()
        try:
            self.assertEqual(self.axe(), [])
        finally:
            b.phone(False)
        # The page asked for nothing, axe-core included.
        self.assertEqual(b.requests(), [])

    def emulate(self, **features):
        self.browser.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": [
            {"name": name.replace("_", "-"), "value": value} for name, value in features.items()]})

    def test_dark_and_forced_colours_are_followed_and_stay_clean(self):
        b = self.browser
        surface = "return getComputedStyle(document.querySelector('main')).backgroundColor"
        try:
            self.emulate(prefers_color_scheme="light")
            self.assertEqual(b.script(surface), "rgb(255, 255, 255)")
            self.emulate(prefers_color_scheme="dark")
            self.assertEqual(b.script(surface), "rgb(30, 30, 30)")
            self.assertEqual(self.axe(), [])
            self.emulate(forced_colors="active")
            border = b.script("return getComputedStyle(arguments[0]).borderTopStyle", b.element("clear"))
            self.assertEqual(border, "solid")
            self.assertEqual(self.axe(), [])
        finally:
            self.emulate()

    def test_keyboard_alone_reaches_and_works_every_control(self):
        b = self.browser
        # The page starts with the focus in the clear-text box, as the window
        # does; Tab goes round every control once (and the browser's own).
        self.assertEqual(b.driver.switch_to.active_element.get_attribute("id"), "clear")
        order = []
        for _ in range(10):
            ActionChains(b.driver).send_keys(Keys.TAB).perform()
            active = b.driver.switch_to.active_element
            if active.tag_name == "body":
                continue
            order.append(active.get_attribute("id") or active.get_attribute("value"))
            outline = b.script("const s = getComputedStyle(arguments[0]); return [s.outlineStyle, s.outlineWidth]",
                               active)
            self.assertNotEqual(outline[0], "none", order[-1])
            self.assertGreaterEqual(float(outline[1].rstrip("px")), 2, order[-1])
        self.assertEqual(order, ["cipher", ".", "encrypt", "decrypt", "licenses", "open", "import", "save",
                                 "clear"])

        # Type, choose the comma with the arrow keys, and press "Kryptera" by key.
        b.element("clear").send_keys("b")
        b.element("cipher").send_keys(Keys.TAB, Keys.ARROW_LEFT)
        b.command(lambda: ActionChains(b.driver).send_keys(Keys.TAB, Keys.ENTER).perform())
        self.assertEqual(b.box("cipher"), "\n154,5")
        # A message takes the focus and gives it back when closed by key.
        b.element("cipher").send_keys("x")
        b.command(lambda: b.element("decrypt").send_keys(Keys.ENTER))
        self.assertEqual(b.driver.switch_to.active_element.get_attribute("id"), "message-ok")
        b.driver.switch_to.active_element.send_keys(Keys.ESCAPE)
        b.wait(lambda: b.message() is None, "Escape did not close the message")
        self.assertEqual(b.driver.switch_to.active_element.get_attribute("id"), "decrypt")

    def test_licence_notices_open_by_keyboard_and_name_what_the_page_carries(self):
        b = self.browser
        notices = b.element("notices")
        self.assertFalse(notices.is_displayed())
        b.element("licenses").send_keys(Keys.ENTER)
        b.wait(lambda: notices.is_displayed(), "Enter did not open the notices")
        text = notices.text
        # Tolvana's own notice first, with its version and commit, then
        # emscripten's runtime with the texts of its licences.
        self.assertTrue(text.startswith("Tolvana 1.0.0\n"), text[:80])
        self.assertRegex(text, r"Built from commit ([0-9a-f]{40}|okänd)\.")
        self.assertIn("LicenseRef-proprietary", text)
        for part in ("Emscripten 3.1.6 runtime", "The Emscripten Authors", "University of Illinois/NCSA",
                     "musl", "Rich Felker", "LLVM Exceptions to the Apache 2.0 License",
                     "Version 2.0, January 2004"):
            self.assertIn(part, text)
        self.assertNotIn("@", text, "a placeholder left in the notices")

    def test_fits_a_phone(self):
        b = self.browser
        b.phone()
        try:
            width = b.script("return document.documentElement.clientWidth")
            self.assertEqual(width, 360)
            self.assertLessEqual(b.script("return document.documentElement.scrollWidth"), width)
            for control in b.driver.find_elements(By.CSS_SELECTOR, "button, textarea, input[type=radio]"):
                if not control.is_displayed():
                    continue
                left, right = b.script("const r = arguments[0].getBoundingClientRect(); return [r.left, r.right]",
                                       control)
                self.assertGreaterEqual(left, 0)
                self.assertLessEqual(right, width)
        finally:
            b.phone(False)


class Swedish(PageTest):
    language = "sv-SE"

    def test_a_swedish_browser_writes_a_decimal_comma(self):
        b = self.browser
        self.type_into("clear", "b")
        b.click("encrypt")
        self.assertEqual(b.box("cipher"), "\n154,5")
        b.set_decimal(".")
        self.type_into("clear", "b")
        b.click("encrypt")
        self.assertEqual(b.box("cipher"), "\n154.5")


class LongTexts(PageTest):
    def test_a_file_larger_than_the_cores_first_memory_makes_the_round_trip(self):
        b = self.browser
        # About 19 MB of cipher text: the core's memory grows under it.
        codes = random.Random(15).randbytes(4_000_000)
        crp = crp_of(codes, ".")
        self.open_crp(self.file("stor.crp", crp))
        b.click("decrypt")
        b.click("encrypt")
        self.assertEqual(b.save()[1], crp)

    def test_a_long_text_is_shown_in_part_and_edited_exactly(self):
        b = self.browser
        codes = b"".join(b"rad %d\r\n" % i for i in range(20000))
        crp = crp_of(codes, ",")
        cipher = field_of(crp)
        self.open_crp(self.file("lang.crp", crp))
        shown_cipher = shown(cipher, crlf=False)
        part = b.box("cipher")
        self.assertLess(len(part), len(shown_cipher) // 10)
        self.assertTrue(shown_cipher.startswith(part))

        # Scrolling on moves the part shown, which stays a piece of the text.
        first = part
        for _ in range(6):
            b.script("const a = document.getElementById('cipher'); a.scrollTop = a.scrollHeight;")
            b.script("return new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0)))")
        part = b.box("cipher")
        self.assertNotEqual(part, first)
        self.assertIn("\n" + part, "\n" + shown_cipher)
        # And back to the start.
        for _ in range(12):
            b.script("document.getElementById('cipher').scrollTop = 0;")
            b.script("return new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0)))")
        self.assertEqual(b.box("cipher"), first)

        b.click("decrypt")
        box = b.element("clear")
        box.send_keys(Keys.CONTROL, Keys.END)
        self.assertTrue(shown(from_codes(codes), crlf=True).endswith(b.box("clear")))
        box.send_keys("slut")
        b.set_decimal(",")
        b.click("encrypt")
        self.assertEqual(b.save()[1], crp_of(codes + b"slut", ","))

        # Selecting all selects the whole text, not only the part shown.
        b.click("decrypt")
        box.send_keys(Keys.CONTROL, "a")
        box.send_keys("x")
        self.assertEqual(b.box("clear"), "x")
        b.click("encrypt")
        self.assertEqual(b.box("cipher"), "\n187,5")


def main():
    for name, value in (("TOLVANA_CIPHER", CIPHER), ("TOLVANA_AXE", AXE)):
        if not value or not os.path.isfile(value):
            sys.exit(f"test_page.py: {name} must name a file, not {value!r}")
    if not os.path.isfile(PAGE):
        sys.exit(f"test_page.py: no page at {PAGE}")
    suite = unittest.defaultTestLoader.loadTestsFromModule(sys.modules[__name__])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors)
    print(f"web: {result.testsRun - failed} passed, {failed} failed")
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
