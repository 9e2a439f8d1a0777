"""How long the web page takes for "Kryptera" and "Dekryptera" of 1,000,000
characters (random codes 0-255), and for opening and saving their ".crp"
file, in headless Chromium. Each time runs from the command's start to its
end, the box shown anew, and to the next frame the browser draws after it.

    python3 web_bench.py PAGE [CHARACTERS] [ROUNDS]

scripts/bench-web.sh builds the page and runs this."""

import os
import random
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from browser import Browser  # noqa: E402

# Starts a command (a button's id, or "open" for dropping the file made by
# MAKE_FILE) and reports how long it took to end, and until the frame after
# it was drawn, in milliseconds.
TIMED = """
const [start, done] = [arguments[0], arguments[arguments.length - 1]];
const main = document.getElementById("window");
const before = main.dataset.commands;
const watch = new MutationObserver(() => {
  if (main.dataset.commands === before) return;
  watch.disconnect();
  const ended = performance.now();
  requestAnimationFrame(() => setTimeout(() => done([ended - t0, performance.now() - t0]), 0));
});
watch.observe(main, {attributes: true, attributeFilter: ["data-commands"]});
const t0 = performance.now();
if (start === "open") {
  const transfer = new DataTransfer();
  transfer.items.add(window.benchFile);
  main.dispatchEvent(new DragEvent("drop", {bubbles: true, cancelable: true, dataTransfer: transfer}));
} else {
  document.getElementById(start).click();
}
"""

MAKE_FILE = "window.benchFile = new File([arguments[0]], 'bench.crp');"


def number_text(code, decimal):
    value = code * 1.5 + 7.5
    return str(int(value)) if value == int(value) else f"{value:.1f}".replace(".", decimal)


def summary(runs):
    done = [r[0] for r in runs]
    drawn = [r[1] for r in runs]
    return (f"best {min(done):.0f} / {min(drawn):.0f} ms, "
            f"median {statistics.median(done):.0f} / {statistics.median(drawn):.0f} ms")


def main(argv):
    page = argv[1]
    count = int(argv[2]) if len(argv) > 2 else 1_000_000
    rounds = int(argv[3]) if len(argv) > 3 else 5
    rng = random.Random(15)
    crp = '"' + "".join("\n" + number_text(rng.randrange(256), ",") for _ in range(count)) + '"\r\n'

    browser = Browser(page)
    times = {"open": [], "decrypt": [], "encrypt": [], "save": []}
    timed = lambda command: browser.driver.execute_async_script(TIMED, command)  # noqa: E731
    try:
        browser.load()
        browser.set_decimal(",")
        browser.script(MAKE_FILE, crp)
        for _ in range(rounds):
            times["open"].append(timed("open"))
        for _ in range(rounds):
            times["decrypt"].append(timed("decrypt"))
            times["encrypt"].append(timed("encrypt"))
        for _ in range(rounds):
            times["save"].append(timed("save"))
    finally:
        browser.quit()

    print(f"The web page in headless Chromium, {rounds} runs each (command done / next frame drawn):")
    print(f'  "Kryptera" of {count:,} characters: {summary(times["encrypt"])}')
    print(f'  "Dekryptera" of their {len(crp) - 4:,} cipher characters: {summary(times["decrypt"])}')
    print(f'  opening their ".crp" file ({len(crp):,} bytes): {summary(times["open"])}')
    print(f'  "Spara som" of that file: {summary(times["save"])}')


if __name__ == "__main__":
    main(sys.argv)
