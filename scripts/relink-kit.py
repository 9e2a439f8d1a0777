#!/usr/bin/env python3
"""Writes the relink kit of the Windows programs: what a user needs to link
tolvana.exe and tolvana-cipher.exe again with a Qt of their own, as the LGPL
asks of a program that carries Qt linked in statically.

    relink-kit.py BUILD QT_PREFIX QT_INFO TOOLCHAIN KIT.tar.gz

BUILD is the Windows build folder, QT_PREFIX the static Qt it was linked
with, QT_INFO a text that says which Qt that is (version, source package and
its hashes, configure options), TOOLCHAIN the CMake toolchain file that Qt
and the programs were built with.

The kit holds the programs' own object files and static libraries exactly as
the build linked them, and relink.sh, which runs the build's own link
commands with the Qt given to it in place of the build's. Relinked with the
same Qt, the programs come out the same to the bit.

The archive is the same for the same build: names sorted, times set to
SOURCE_DATE_EPOCH, no owners."""

import gzip
import io
import os
import shlex
import subprocess
import sys
import tarfile
from pathlib import Path

PROGRAMS = {"tolvana.exe": "app/tolvana.exe", "tolvana-cipher.exe": "tools/tolvana-cipher.exe"}

README = """Relink kit for Tolvana {version} for Windows
==========================================

tolvana.exe carries Qt {qt_version} linked in statically. Qt is used under the
GNU Lesser General Public License, version 3 (LGPL-3.0): you may link the
program again with a Qt of your own, changed as you wish. This kit holds what
that takes:

  objects/        Tolvana's own object files and static libraries, exactly as
                  the release build linked them
  relink.sh       links tolvana.exe and tolvana-cipher.exe from objects/
                  against the static Qt you name
  QT.txt          the Qt the release was built with: its version, the Debian
                  source package and the SHA-256 of its files, the configure
                  options, and the compiler
  mingw-w64-x86_64.cmake  the CMake toolchain file that Qt and the programs
                  were built with

tolvana-cipher.exe uses no Qt; relink.sh links it too, from the same objects.

How to relink
-------------
1. Build Qt for Windows as a static library with the configure options in
   QT.txt (Debian 12 and its MinGW-w64 compiler, x86_64-w64-mingw32-g++-posix,
   are what the release used), from Qt's sources with your changes, and
   install it into a folder, say /opt/my-qt.
2. Run
       sh relink.sh /opt/my-qt out
   which writes out/tolvana.exe and out/tolvana-cipher.exe. CXX names another
   compiler. Relinked against the very Qt of QT.txt, the programs come out
   the same to the bit as the released ones.
"""

RELINK_HEAD = """#!/bin/sh
# Links tolvana.exe and tolvana-cipher.exe again from this kit's objects/
# against the static Qt for Windows installed in QT_PREFIX (README.txt).
#
#   sh relink.sh QT_PREFIX [OUT]     (OUT: where the programs go, default .)
#
# CXX names the compiler (default x86_64-w64-mingw32-g++-posix).
set -eu
[ $# -ge 1 ] || {{ echo "usage: sh relink.sh QT_PREFIX [OUT]" >&2; exit 2; }}
QT=$(cd "$1" && pwd)
mkdir -p "${{2:-.}}"
OUT=$(cd "${{2:-.}}" && pwd)
CXX=${{CXX:-x86_64-w64-mingw32-g++-posix}}
cd "$(dirname "$0")"
if [ ! -f "$QT/lib/libQt6Core.a" ]; then
    echo "relink.sh: $QT holds no static Qt (lib/libQt6Core.a)" >&2
    exit 1
fi
"""


def link_command(build, output):
    """The build's own command that links OUTPUT, as ninja would run it."""
    lines = subprocess.run(["ninja", "-C", str(build), "-t", "commands", output],
                           capture_output=True, text=True, check=True).stdout.splitlines()
    command = lines[-1].strip()
    if command.startswith(": && "):
        command = command[len(": && "):]
    if command.endswith(" && :"):
        command = command[:-len(" && :")]
    if " && " in command:
        sys.exit(f"relink-kit.py: the link of {output} is more than one command: {command}")
    return shlex.split(command)


def kit_command(build, qt_prefix, name, words, objects):
    """The link command with the build's files taken from objects/, Qt's from
    $QT and the program written to $OUT; OBJECTS gathers the files to copy."""
    out = ['"$CXX"']
    words = iter(words[1:])
    for word in words:
        if word.startswith("-Wl,--out-implib,"):
            continue  # an import library of the program, which nobody needs
        if word == "-o":
            next(words)
            out += ["-o", f'"$OUT/{name}"']
            continue
        path = Path(word) if os.path.isabs(word) else build / word
        if not word.startswith("-") and path.is_file():
            path = path.resolve()
            if path.is_relative_to(qt_prefix):
                out.append(f'"$QT/{path.relative_to(qt_prefix)}"')
                continue
            if path.is_relative_to(build):
                relative = path.relative_to(build)
                objects.add(relative)
                out.append(shlex.quote(f"objects/{relative}"))
                continue
        if str(qt_prefix) in word:
            prefix, rest = word.split(str(qt_prefix), 1)
            out.append(shlex.quote(prefix) + '"$QT' + rest.replace('"', '\\"') + '"')
            continue
        if str(build) in word:
            sys.exit(f"relink-kit.py: the link of {name} names a file of the build that "
                     f"the kit cannot take: {word}")
        out.append(shlex.quote(word))
    return " ".join(out)


def add(tar, name, data, mode, mtime):
    info = tarfile.TarInfo(name)
    info.size = len(data)
    info.mode = mode
    info.mtime = mtime
    info.uid = info.gid = 0
    info.uname = info.gname = ""
    tar.addfile(info, io.BytesIO(data))


def main(argv):
    if len(argv) != 6:
        sys.exit(__doc__)
    build = Path(argv[1]).resolve()
    qt_prefix = Path(argv[2]).resolve()
    qt_info = Path(argv[3]).read_text(encoding="utf-8")
    toolchain = Path(argv[4]).read_bytes()
    kit = Path(argv[5])
    mtime = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))
    top = kit.name.removesuffix(".tar.gz")
    version = top.split("-")[1]
    qt_version = next((line.split(":", 1)[1].strip() for line in qt_info.splitlines()
                       if line.startswith("Qt version:")), "?")

    objects = set()
    relink = RELINK_HEAD.format()
    for name, output in PROGRAMS.items():
        command = kit_command(build, qt_prefix, name, link_command(build, output), objects)
        relink += f'echo "relink.sh: $OUT/{name}"\n{command}\n'

    buffer = io.BytesIO()
    with gzip.GzipFile(filename="", mode="wb", fileobj=buffer, mtime=mtime) as gz:
        with tarfile.open(fileobj=gz, mode="w", format=tarfile.GNU_FORMAT) as tar:
            files = {
                "README.txt": (README.format(version=version, qt_version=qt_version).encode(), 0o644),
                "QT.txt": (qt_info.encode("utf-8"), 0o644),
                "relink.sh": (relink.encode(), 0o755),
                "mingw-w64-x86_64.cmake": (toolchain, 0o644),
            }
            for relative in objects:
                files[f"objects/{relative}"] = ((build / relative).read_bytes(), 0o644)
            for name in sorted(files):
                data, mode = files[name]
                add(tar, f"{top}/{name}", data, mode, mtime)
    kit.write_bytes(buffer.getvalue())


if __name__ == "__main__":
    main(sys.argv)
