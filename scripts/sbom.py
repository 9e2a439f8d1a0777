#!/usr/bin/env python3
"""Writes the release's bill of materials, an SPDX 2.3 document in JSON: each
file of the release folder with its checksums, and what each carries, with
versions and licences:

- the Debian package: the programs and the web page, and the Debian packages
  of Qt that the programs link at run time (DEPENDS_ON);
- tolvana.exe: Qt linked in statically, with the libraries that Qt's own
  sources bring (zlib, libpng, FreeType, HarfBuzz, PCRE2, ...), and the
  MinGW-w64 and GCC run-time libraries;
- tolvana-cipher.exe: the MinGW-w64 and GCC run-time libraries;
- tolvana.html: emscripten's run-time libraries compiled into it;
- the installer: the programs it holds; the relink kit: Tolvana's own
  object files, made from the same sources.

    sbom.py DIST VERSION COMMIT QT_VERSION > tolvana-VERSION.spdx.json

The versions of the tools and libraries are those of the Debian packages on
the machine that built the release. The document's time is SOURCE_DATE_EPOCH,
so that the same release gives the same document.
"""

import datetime
import hashlib
import json
import os
import subprocess
import sys
from pathlib import Path

QT_LICENCE = "LGPL-3.0-only OR GPL-2.0-only OR GPL-3.0-only"
GCC_RUNTIME = "GPL-3.0-or-later WITH GCC-exception-3.1"

# What Qt's own sources (src/3rdparty, the qt_attribution.json files of Qt
# 6.4.2) put into the static Qt of the Windows programs: the libraries that
# the Qt build was configured to bundle (-qt-zlib, -qt-pcre, -qt-libpng,
# -qt-libjpeg, -qt-freetype, -qt-harfbuzz) and those QtCore and QtGui always
# hold.
QT_BUNDLED = [
    ("zlib", "1.2.13", "Zlib", "https://zlib.net/"),
    ("libpng", "1.6.39", "Libpng AND libpng-2.0", "http://www.libpng.org/pub/png/libpng.html"),
    ("libjpeg-turbo", "2.1.4", "IJG AND BSD-3-Clause AND Zlib", "https://libjpeg-turbo.org/"),
    ("FreeType", "2.12.1", "FTL OR GPL-2.0-or-later", "https://freetype.org/"),
    ("HarfBuzz", "4.2.1", "MIT", "https://harfbuzz.github.io/"),
    ("PCRE2", "10.40", "BSD-3-Clause AND BSD-2-Clause", "https://github.com/PCRE2Project/pcre2"),
    ("double-conversion", "3.2.0", "BSD-3-Clause", "https://github.com/google/double-conversion"),
    ("md4c", "0.4.8", "MIT", "https://github.com/mity/md4c"),
    ("TinyCBOR", "0.6.0", "MIT", "https://github.com/intel/tinycbor"),
    ("Easing Equations by Robert Penner", "NOASSERTION", "BSD-3-Clause",
     "http://robertpenner.com/easing/"),
    ("BLAKE2", "54f4faa4c16ea34bcd59d16e8da46a64b259fc07", "CC0-1.0 OR Apache-2.0",
     "https://github.com/BLAKE2/BLAKE2"),
    ("SHA-3 Keccak", "3.2", "CC0-1.0", "NOASSERTION"),
    ("SHA-384 and SHA-512 (RFC 6234)", "NOASSERTION", "BSD-3-Clause", "NOASSERTION"),
    ("sRGB color profile", "NOASSERTION", "LicenseRef-ICC", "http://www.color.org/"),
]

EXTRACTED = {
    "LicenseRef-proprietary": "Tolvana's own code: the licence is not decided yet; all rights "
                              "reserved until it is.",
    "LicenseRef-ICC": "The ICC's licence of the sRGB colour profile: the profile may be "
                      "copied, distributed, embedded, made, used and sold without fee.",
}


def deb_version(package):
    try:
        out = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package],
                             capture_output=True, text=True, check=True).stdout.strip()
        return out or "NOASSERTION"
    except (OSError, subprocess.CalledProcessError):
        return "NOASSERTION"


def checksums(path):
    data = path.read_bytes()
    return [{"algorithm": "SHA1", "checksumValue": hashlib.sha1(data).hexdigest()},
            {"algorithm": "SHA256", "checksumValue": hashlib.sha256(data).hexdigest()}]


class Document:
    def __init__(self):
        self.packages = []
        self.relationships = []
        self.ids = set()

    def package(self, ident, name, version, licence, *, location="NOASSERTION", supplier=None,
                file=None, purpose=None, comment=None, concluded=None):
        spdx_id = "SPDXRef-" + "".join(c if c.isalnum() or c in ".-" else "-" for c in ident)
        if spdx_id in self.ids:
            return spdx_id
        self.ids.add(spdx_id)
        package = {
            "SPDXID": spdx_id,
            "name": name,
            "versionInfo": version,
            "downloadLocation": location,
            "filesAnalyzed": False,
            "licenseConcluded": concluded or licence,
            "licenseDeclared": licence,
            "copyrightText": "NOASSERTION",
        }
        if supplier:
            package["supplier"] = supplier
        if file:
            package["packageFileName"] = file.name
            package["checksums"] = checksums(file)
        if purpose:
            package["primaryPackagePurpose"] = purpose
        if comment:
            package["comment"] = comment
        self.packages.append(package)
        return spdx_id

    def relate(self, a, kind, b):
        self.relationships.append(
            {"spdxElementId": a, "relationshipType": kind, "relatedSpdxElement": b})


def main(argv):
    if len(argv) != 5:
        sys.exit(__doc__)
    dist, version, commit, qt_version = Path(argv[1]), argv[2], argv[3], argv[4]
    doc = Document()
    tolvana = "Organization: Tolvana"

    source = doc.package("tolvana-source", "tolvana", version, "LicenseRef-proprietary",
                         supplier=tolvana, purpose="SOURCE",
                         comment=f"The sources of the commit {commit}.")
    qt = doc.package("qt6-base-windows", "Qt Base (static, for Windows)", qt_version, QT_LICENCE,
                     location="https://download.qt.io/archive/qt/", supplier="Organization: The Qt Company",
                     purpose="LIBRARY", concluded="LGPL-3.0-only",
                     comment="Built from Debian's qt6-base source package " +
                             deb_version("qt6-base-dev") + "; used under the LGPL-3.0. The relink "
                             "kit of this release relinks the programs with another Qt.")
    bundled = [doc.package("qt-bundled-" + name, name, ver, licence, location=url,
                           purpose="LIBRARY", comment="Part of Qt's sources (src/3rdparty).")
               for name, ver, licence, url in QT_BUNDLED]
    for b in bundled:
        doc.relate(qt, "CONTAINS", b)
    mingw = doc.package("mingw-w64-runtime", "MinGW-w64 run time (CRT and winpthreads)",
                        deb_version("mingw-w64-x86-64-dev"),
                        "ZPL-2.1 AND MIT AND BSD-3-Clause AND LicenseRef-public-domain",
                        location="https://www.mingw-w64.org/", purpose="LIBRARY")
    EXTRACTED["LicenseRef-public-domain"] = "Put in the public domain by its authors."
    gcc = doc.package("gcc-runtime-windows", "GCC run-time libraries (libstdc++, libgcc)",
                      deb_version("g++-mingw-w64-x86-64-posix"), GCC_RUNTIME,
                      location="https://gcc.gnu.org/", purpose="LIBRARY")
    emscripten = doc.package("emscripten-runtime",
                             "emscripten run time (libc++, libc++abi, musl, dlmalloc)",
                             deb_version("emscripten"),
                             "(MIT OR NCSA) AND (Apache-2.0 WITH LLVM-exception) AND MIT AND CC0-1.0",
                             location="https://emscripten.org/", purpose="LIBRARY")

    described = []
    files = sorted(p for p in dist.iterdir()
                   if p.is_file() and p.name != "SHA256SUMS" and not p.name.endswith((".asc", ".spdx.json")))
    exes = {}
    for path in files:
        name = path.name
        spdx_id = doc.package("file-" + name, name, version, "LicenseRef-proprietary",
                              supplier=tolvana, file=path,
                              purpose="INSTALL" if name.endswith((".deb", "-setup.exe")) else
                              "ARCHIVE" if name.endswith(".tar.gz") else "APPLICATION")
        described.append(spdx_id)
        doc.relate(spdx_id, "GENERATED_FROM", source)
        exes[name] = spdx_id
        if name == "tolvana.exe":
            for part in (qt, mingw, gcc):
                doc.relate(spdx_id, "STATIC_LINK", part)
        elif name == "tolvana-cipher.exe":
            for part in (mingw, gcc):
                doc.relate(spdx_id, "STATIC_LINK", part)
        elif name == "tolvana.html":
            doc.relate(spdx_id, "STATIC_LINK", emscripten)
        elif name.endswith(".deb"):
            for package in ("libqt6core6", "libqt6gui6", "libqt6widgets6", "qt6-qpa-plugins",
                            "libstdc++6", "libc6", "fonts-liberation2"):
                dep = doc.package("deb-" + package, package, deb_version(package),
                                  "NOASSERTION", purpose="LIBRARY",
                                  location=f"https://packages.debian.org/bookworm/{package}",
                                  comment="A Debian package that the package depends on.")
                doc.relate(spdx_id, "DEPENDS_ON", dep)
            if "tolvana.html" in exes:
                doc.relate(spdx_id, "CONTAINS", exes["tolvana.html"])
    for name, spdx_id in exes.items():
        if name.endswith("-setup.exe"):
            for inner in ("tolvana.exe", "tolvana-cipher.exe", "tolvana.html"):
                if inner in exes:
                    doc.relate(spdx_id, "CONTAINS", exes[inner])
    for spdx_id in described:
        doc.relate("SPDXRef-DOCUMENT", "DESCRIBES", spdx_id)

    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))
    created = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc)
    sums = hashlib.sha256("".join(p["packageFileName"] + p["checksums"][1]["checksumValue"]
                                  for p in doc.packages if "packageFileName" in p).encode())
    document = {
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": "SPDXRef-DOCUMENT",
        "name": f"tolvana-{version}",
        "documentNamespace": f"https://tolvana.invalid/spdx/tolvana-{version}-{sums.hexdigest()}",
        "creationInfo": {
            "created": created.strftime("%Y-%m-%dT%H:%M:%SZ"),
            "creators": ["Organization: Tolvana", "Tool: scripts/sbom.py"],
        },
        "packages": doc.packages,
        "relationships": doc.relationships,
        "hasExtractedLicensingInfos": [
            {"licenseId": key, "extractedText": text} for key, text in sorted(EXTRACTED.items())],
    }
    json.dump(document, sys.stdout, indent=2, ensure_ascii=False)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main(sys.argv)
