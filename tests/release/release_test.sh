#!/usr/bin/env bash
# scripts/release.sh with throwaway keys made here: a GPG key that signs
# SHA256SUMS and a self-made Authenticode certificate that signs the Windows
# programs, the installer and the uninstaller inside it. Checks the release
# folder as a user would: gpg --verify, sha256sum -c, osslsigncode verify
# (the uninstaller as the installer writes it, under Wine), and the SPDX
# document against the files; and that a changed byte fails each check.
#
# Uses the builds of the usual folders (or TOLVANA_WEB_BUILD, BUILD_DIR,
# TOLVANA_WIN_BUILD), which release.sh brings up to date.
set -euo pipefail
cd "$(dirname "$0")/../.."

failures=0
fail() { echo "release: FAILED: $*" >&2; failures=$((failures + 1)); }
pass() { echo "release: ok: $*"; }

work=$(mktemp -d /tmp/tolvana-release.XXXXXX)
wine_prefix=$work/prefix
cleanup() {
    WINEPREFIX=$wine_prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
dist=$work/dist

# Throwaway keys, in folders of their own.
export GNUPGHOME=$work/gnupg
mkdir -m 700 "$GNUPGHOME"
gpg --batch --quiet --passphrase '' --quick-gen-key "Tolvana test <test@tolvana.invalid>" \
    ed25519 sign 1d 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Tolvana test" \
    -addext "extendedKeyUsage=codeSigning" \
    -keyout "$work/sign.key" -out "$work/sign.crt" 2>/dev/null

TOLVANA_DIST=$dist TOLVANA_GPG_KEY=test@tolvana.invalid TOLVANA_SIGN_CERT=$work/sign.crt \
    TOLVANA_SIGN_KEY=$work/sign.key bash scripts/release.sh >"$work/release.log" 2>&1 ||
    { tail -n 40 "$work/release.log" >&2; echo "release: FAILED: release.sh" >&2; exit 1; }

version=$(sed -n 's/^project(Tolvana VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
expected="SHA256SUMS SHA256SUMS.asc tolvana-$version-relink-kit.tar.gz tolvana-$version-setup.exe
tolvana-$version.spdx.json tolvana-cipher.exe tolvana.exe tolvana.html tolvana_${version}_amd64.deb"
found=$(cd "$dist" && ls | sort | tr '\n' ' ')
[ "$found" = "$(tr '\n' ' ' <<<"$expected" | tr ' ' '\n' | sort | tr '\n' ' ')" ] &&
    pass "dist/ holds $found" || fail "dist/ holds $found"

# What a user does with a download.
(cd "$dist" && gpg --batch --verify SHA256SUMS.asc SHA256SUMS 2>/dev/null) &&
    pass "gpg --verify SHA256SUMS.asc" || fail "gpg --verify SHA256SUMS.asc"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) && pass "sha256sum -c SHA256SUMS" ||
    fail "sha256sum -c SHA256SUMS"
listed=$(cut -c67- "$dist/SHA256SUMS" | sort | tr '\n' ' ')
[ "$listed" = "$(cd "$dist" && ls | grep -v '^SHA256SUMS' | sort | tr '\n' ' ')" ] &&
    pass "SHA256SUMS lists every file" || fail "SHA256SUMS lists $listed"

verify_pe() { osslsigncode verify -CAfile "$work/sign.crt" -in "$1" >/dev/null 2>&1; }
for exe in tolvana.exe tolvana-cipher.exe "tolvana-$version-setup.exe"; do
    verify_pe "$dist/$exe" && pass "osslsigncode verify $exe" || fail "osslsigncode verify $exe"
done

# A changed byte is caught, by GPG and by Authenticode alike.
cp "$dist/SHA256SUMS" "$work/SHA256SUMS"
digit=$(head -c1 "$work/SHA256SUMS")
sed -i "1s/^./$([ "$digit" = 0 ] && echo 1 || echo 0)/" "$work/SHA256SUMS"
gpg --batch --verify "$dist/SHA256SUMS.asc" "$work/SHA256SUMS" 2>/dev/null &&
    fail "gpg accepts a changed SHA256SUMS" || pass "gpg refuses a changed SHA256SUMS"
cp "$dist/tolvana-cipher.exe" "$work/changed.exe"
printf 'X' | dd of="$work/changed.exe" bs=1 seek=1024 conv=notrunc status=none
verify_pe "$work/changed.exe" && fail "osslsigncode accepts a changed tolvana-cipher.exe" ||
    pass "osslsigncode refuses a changed tolvana-cipher.exe"

# The installer under Wine writes the uninstaller that makensis signed, and
# the signed programs.
export WINEPREFIX=$wine_prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
/usr/lib/wine/wine64 "$dist/tolvana-$version-setup.exe" /S /D='C:\Tolvana' >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w
installed=$wine_prefix/drive_c/Tolvana
for exe in uninstall.exe tolvana.exe tolvana-cipher.exe; do
    if [ ! -f "$installed/$exe" ]; then
        fail "the installer wrote no $exe"
    else
        verify_pe "$installed/$exe" && pass "the installed $exe is signed" ||
            fail "the installed $exe is not signed"
    fi
done

# The SPDX document: SPDX 2.3, and each file of the release in it with its
# SHA-256, Qt in tolvana.exe with its version and licence.
python3 - "$dist" "$version" <<'EOF' || fail "the SPDX document"
import hashlib, json, sys
from pathlib import Path
dist, version = Path(sys.argv[1]), sys.argv[2]
doc = json.loads((dist / f"tolvana-{version}.spdx.json").read_text())
assert doc["spdxVersion"] == "SPDX-2.3" and doc["SPDXID"] == "SPDXRef-DOCUMENT", "not SPDX 2.3"
packages = {p["SPDXID"]: p for p in doc["packages"]}
by_file = {p["packageFileName"]: p for p in packages.values() if "packageFileName" in p}
for path in dist.iterdir():
    if path.name.startswith("SHA256SUMS") or path.name.endswith(".spdx.json"):
        continue
    assert path.name in by_file, f"{path.name} is not in the document"
    sums = {c["algorithm"]: c["checksumValue"] for c in by_file[path.name]["checksums"]}
    assert sums["SHA256"] == hashlib.sha256(path.read_bytes()).hexdigest(), f"{path.name}: SHA-256"
for p in packages.values():
    for key in ("name", "versionInfo", "licenseConcluded", "downloadLocation"):
        assert p.get(key), f"{p['SPDXID']} has no {key}"
refs = {r["spdxElementId"] for r in doc["relationships"]} | \
       {r["relatedSpdxElement"] for r in doc["relationships"]}
assert refs <= set(packages) | {"SPDXRef-DOCUMENT"}, f"unknown ids: {refs - set(packages)}"
exe = by_file["tolvana.exe"]["SPDXID"]
linked = [packages[r["relatedSpdxElement"]] for r in doc["relationships"]
          if r["spdxElementId"] == exe and r["relationshipType"] == "STATIC_LINK"]
qt = [p for p in linked if p["name"].startswith("Qt Base")]
assert qt and qt[0]["versionInfo"] == "6.4.2" and qt[0]["licenseConcluded"] == "LGPL-3.0-only", \
    "tolvana.exe does not carry Qt 6.4.2 under the LGPL-3.0"
used = {word.strip("()") for p in packages.values() for word in p["licenseConcluded"].split()
        if word.strip("()").startswith("LicenseRef-")}
defined = {e["licenseId"] for e in doc.get("hasExtractedLicensingInfos", [])}
assert used <= defined, f"licences used and not given: {used - defined}"
print("release: ok: the SPDX 2.3 document lists every file with its SHA-256, and Qt in tolvana.exe")
EOF

if ((failures)); then
    echo "release: $failures check(s) failed" >&2
    exit 1
fi
echo "release: all checks passed"
