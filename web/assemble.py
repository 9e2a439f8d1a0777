#!/usr/bin/env python3
"""Puts the page together: one HTML file holding its style, its scripts and
the compiled core, with a Content-Security-Policy that lets in exactly that
style and that script (by their SHA-256) and WebAssembly, and nothing from
anywhere else.

    assemble.py [--notices FILE] TEMPLATE STYLE WASM OUTPUT SCRIPT...

The scripts are joined in the order given, after the core's bytes in base64
(as TOLVANA_WASM). The licence notices of FILE, plain text, go where the
template holds @NOTICES@. The page fails to build when it would be larger than
TOLVANA_WEB_MAX_BYTES (default 250 kB of 1024 bytes)."""

import base64
import hashlib
import html
import os
import sys

POLICY = (
    "default-src 'none'; "
    "script-src {script} 'wasm-unsafe-eval'; "
    "style-src {style}; "
    "img-src data:; "
    "base-uri 'none'; "
    "form-action 'none'"
)


def digest(text):
    return "'sha256-" + base64.b64encode(hashlib.sha256(text.encode("utf-8")).digest()).decode() + "'"


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def main(argv):
    notices = None
    if len(argv) > 2 and argv[1] == "--notices":
        notices = read(argv[2])
        argv = argv[:1] + argv[3:]
    if len(argv) < 6:
        sys.exit(__doc__)
    template, style_path, wasm_path, output = argv[1:5]
    with open(wasm_path, "rb") as f:
        wasm = base64.b64encode(f.read()).decode("ascii")
    style = read(style_path)
    script = f'const TOLVANA_WASM = "{wasm}";\n' + "\n".join(read(path) for path in argv[5:])
    for name, text in (("script", script), ("style", style)):
        if "</" + name in text.lower():
            sys.exit(f"assemble.py: the {name} holds </{name}, which would end it early")

    page = read(template)
    for mark in ("@CSP@", "@STYLE@", "@SCRIPT@"):
        if page.count(mark) != 1:
            sys.exit(f"assemble.py: {template} must hold {mark} once")
    if page.count("@NOTICES@") != (1 if notices is not None else 0):
        sys.exit(f"assemble.py: {template} must hold @NOTICES@ once, and --notices give them")
    if notices is not None:
        # Plain text in a <pre>: only &, < and > need escaping, and no mark
        # is searched for in what is put in.
        page = page.replace("@NOTICES@", html.escape(notices, quote=False))
    policy = POLICY.format(script=digest(script), style=digest(style))
    # The marks are replaced in this order so that nothing put in is searched.
    head, rest = page.split("@SCRIPT@")
    head = head.replace("@CSP@", policy).replace("@STYLE@", style)
    page = head + script + rest

    data = page.encode("utf-8")
    maximum = int(os.environ.get("TOLVANA_WEB_MAX_BYTES", 250 * 1024))
    if len(data) > maximum:
        sys.exit(f"assemble.py: the page is {len(data)} bytes, more than {maximum}")
    with open(output, "wb") as f:
        f.write(data)
    print(f"{output}: {len(data)} bytes (core {len(wasm) * 3 // 4} bytes)")


if __name__ == "__main__":
    main(sys.argv)
