#!/usr/bin/python3
"""The Windows installer under Wine, as a user meets it, in a Wine prefix of
its own: a silent install puts the programs, the Start menu shortcut and the
registry keys in place; a ".crp" file opened through its association starts
tolvana.exe with that file; an install while Tolvana runs ends with status 2
and a line in its log, having replaced nothing; a second install replaces the
programs in place; an uninstall while Tolvana runs ends likewise and leaves
the programs and the uninstall entry; a silent uninstall leaves nothing of the
program behind, and the user's password files and ".crp" files stay.

Usage: installer_test.py SETUP.EXE TOLVANA.EXE TOLVANA-CIPHER.EXE VERSION
                         BUILD-WINE-PREFIX [WEB-PAGE]
"""

import os
import pwd
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SETUP, PROGRAM, CIPHER, VERSION, BUILD_PREFIX = sys.argv[1:6]
WEB_PAGE = sys.argv[6] if len(sys.argv) > 6 else None
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
CLASSES = r"HKEY_CURRENT_USER\Software\Classes"
UNINSTALL = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall"
XSESSION = Path(__file__).resolve().parent.parent / "e2e" / "xsession.sh"

work = Path(tempfile.mkdtemp(prefix="tolvana-installer-"))
prefix = work / "prefix"
user = pwd.getpwuid(os.getuid()).pw_name
home = prefix / "drive_c" / "users" / user
local = home / "AppData" / "Local"
install_dir = local / "Programs" / "Tolvana"
windows_install_dir = rf"C:\users\{user}\AppData\Local\Programs\Tolvana"
shortcut = home / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tolvana.lnk"
documents = home / "Documents"

# Wine writes no desktop files into the home folder (winemenubuilder) and
# skips the .NET and HTML engines it would offer to install.
env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all",
           WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml=", LANG="C.UTF-8",
           LC_ALL="C.UTF-8")
failures = []
passed = 0


class Failed(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failed(what)


def wine(*arguments, timeout=120):
    return subprocess.run([WINE, *arguments], env=env, timeout=timeout, capture_output=True)


def wait_for_wine():
    """Waits until every process of the prefix has ended."""
    subprocess.run([WINESERVER, "-w"], env=env, timeout=180)


def make_prefix():
    """A copy of the build's Wine prefix: hard links, except the registry
    files, which Wine rewrites in place, and no password of another test.
    A new prefix when the build has none yet."""
    if not (Path(BUILD_PREFIX) / ".ready").exists():
        wine("wineboot", "-i", timeout=300)
        wait_for_wine()
        documents.mkdir(parents=True, exist_ok=True)
        return
    shutil.copytree(BUILD_PREFIX, prefix, symlinks=True, copy_function=os.link,
                    ignore=shutil.ignore_patterns("wineserver", ".lock"))
    for reg in prefix.glob("*.reg"):
        reg.unlink()
        shutil.copy2(Path(BUILD_PREFIX) / reg.name, reg)
    for name in ("numberone", "id"):
        (prefix / "drive_c" / name).unlink(missing_ok=True)
    shutil.rmtree(local / "Tolvana", ignore_errors=True)
    documents.mkdir(parents=True, exist_ok=True)


def export(key):
    """{key: {value name: value}} of KEY and its subkeys as regedit exports
    them, or {} when KEY is not there."""
    out = work / "export.reg"
    out.unlink(missing_ok=True)
    wine("regedit", "/E", "Z:" + str(out).replace("/", "\\"), key)
    if not out.exists():
        return {}
    text = out.read_bytes().decode("utf-16")
    keys, current = {}, None
    for line in text.splitlines():
        if line.startswith("["):
            current = keys.setdefault(line.strip("[]"), {})
        elif current is not None and "=" in line:
            name, value = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line).groups()
            name = "" if name == "@" else name[1:-1].replace("\\\\", "\\")
            if value.startswith('"'):
                value = value[1:-1].replace('\\"', '"').replace("\\\\", "\\")
            elif value.startswith("dword:"):
                value = int(value[6:], 16)
            current[name] = value
    return keys


def read_shortcut(path):
    """The target, working folder and icon of a shell link (.lnk)."""
    data = path.read_bytes()
    check(data[:4] == b"\x4c\0\0\0", f"{path} is no shell link")
    flags, = struct.unpack_from("<I", data, 0x14)
    icon_index, = struct.unpack_from("<i", data, 0x38)
    at = 0x4C
    if flags & 0x1:  # the target as an item list
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = None
    if flags & 0x2:  # the target as a path
        size, header, _, _, base = struct.unpack_from("<IIIII", data, at)
        target = data[at + base:data.index(b"\0", at + base)].decode("latin-1")
        if header >= 0x24:
            base_unicode, = struct.unpack_from("<I", data, at + 0x1C)
            end = at + base_unicode
            while data[end:end + 2] != b"\0\0":
                end += 2
            target = data[at + base_unicode:end].decode("utf-16-le")
        at += size
    strings = {}
    for bit, name in ((0x4, "name"), (0x8, "relative"), (0x10, "folder"), (0x20, "arguments"),
                      (0x40, "icon")):
        if flags & bit:
            count, = struct.unpack_from("<H", data, at)
            width = 2 if flags & 0x80 else 1
            raw = data[at + 2:at + 2 + count * width]
            strings[name] = raw.decode("utf-16-le" if width == 2 else "latin-1").rstrip("\0")
            at += 2 + count * width
    return target, strings.get("folder"), strings.get("icon"), icon_index


def step_install():
    result = wine(SETUP, "/S")
    check(result.returncode == 0, f"the silent install ended with {result.returncode}")
    expected = {"tolvana.exe", "tolvana-cipher.exe", "uninstall.exe"}
    if WEB_PAGE:
        expected.add("tolvana.html")
    check({p.name for p in install_dir.iterdir()} == expected,
          f"installed files: {sorted(p.name for p in install_dir.iterdir())}")
    check((install_dir / "tolvana.exe").read_bytes() == Path(PROGRAM).read_bytes(),
          "tolvana.exe is not the one built")
    check((install_dir / "tolvana-cipher.exe").read_bytes() == Path(CIPHER).read_bytes(),
          "tolvana-cipher.exe is not the one built")

    target, folder, icon, icon_index = read_shortcut(shortcut)
    program = windows_install_dir + r"\tolvana.exe"
    check(target == program, f"the shortcut points to {target}")
    check((icon, icon_index) == (program, 0), f"the shortcut's icon is {icon},{icon_index}")
    check(folder == rf"C:\users\{user}\Documents", f"the shortcut starts in {folder}")

    classes = export(CLASSES)
    check(classes.get(CLASSES + r"\.crp", {}).get("") == "Tolvana.crp", "no .crp key")
    progid = CLASSES + r"\Tolvana.crp"
    check(classes.get(progid, {}).get("") == "Krypterad text från Tolvana",
          f"the file type's description: {classes.get(progid)}")
    check(classes.get(progid + r"\DefaultIcon", {}).get("") == program + ",0",
          "the file type's icon")
    check(classes.get(progid + r"\shell\open", {}).get("") == "&Öppna", "the verb's name")
    command = classes.get(progid + r"\shell\open\command", {}).get("")
    check(command == f'"{program}" "%1"', f"the open command: {command}")

    entry = export(UNINSTALL).get(UNINSTALL + r"\Tolvana", {})
    size = sum(p.stat().st_size for p in install_dir.iterdir()) // 1024
    check(entry.get("DisplayName") == "Tolvana" and entry.get("DisplayVersion") == VERSION
          and entry.get("Publisher") == "Tolvana", f"the Installed apps entry: {entry}")
    check(entry.get("DisplayIcon") == program + ",0", "the Installed apps icon")
    check(abs(entry.get("EstimatedSize", 0) - size) <= 1,
          f"the Installed apps size {entry.get('EstimatedSize')} KB, installed {size} KB")
    uninstaller = f'"{windows_install_dir}\\uninstall.exe"'
    check(entry.get("UninstallString") == uninstaller, "the uninstall command")
    check(entry.get("QuietUninstallString") == uninstaller + " /S", "the quiet uninstall command")
    return classes


# A cipher file of the text "Hej", as the program saves it.
HEJ = b'"\n115.5\n159\n166.5"\r\n'


def step_open_through_association(classes):
    # Wine's HKEY_CLASSES_ROOT shows only the machine's classes: the user's
    # keys are copied there, in this prefix only.
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in classes.items():
        if key.startswith((CLASSES + r"\.crp", CLASSES + r"\Tolvana.crp")):
            lines.append("[" + key.replace("HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE") + "]")
            for name, value in values.items():
                quoted = value.replace("\\", "\\\\").replace('"', '\\"')
                lines.append(("@" if name == "" else f'"{name}"') + f'="{quoted}"')
            lines.append("")
    machine = work / "machine.reg"
    machine.write_text("\r\n".join(lines), encoding="utf-16")
    wine("regedit", "/S", "Z:" + str(machine).replace("/", "\\"))

    letter = documents / "Brev åäö.crp"
    letter.write_bytes(HEJ)
    saved = work / "saved.crp"
    script = f"""
        set -u
        source '{XSESSION}'
        work='{work}'
        start_xvfb || exit 10
        '{WINE}' start /unix '{letter}' >/dev/null 2>&1 &
        id=$(find_window Olmira 90) || exit 11
        xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
        sleep 1
        # Wine shows a Windows process's command line as its Linux one.
        for pid in $(pgrep -f '^"?[A-Z]:.*tolvana[.]exe'); do
            tr '\\0' ' ' </proc/$pid/cmdline; echo
        done >'{work}/launched'
        xdotool key ctrl+s
        dialog=$(find_window 'Spara som' 30) || exit 12
        sleep 1
        xdotool type --delay 30 'Z:{str(saved).replace("/", chr(92))}'
        xdotool key Return
        for _ in $(seq 100); do [ -s '{saved}' ] && break; sleep 0.1; done
        xdotool windowclose "$id" 2>/dev/null || xdotool key --window "$id" alt+F4
        for _ in $(seq 100); do pgrep -f '^"?[A-Z]:.*tolvana[.]exe' >/dev/null || break; sleep 0.1; done
        kill "$xvfb_pid"
    """
    result = subprocess.run(["bash", "-c", script], env=env, timeout=240, capture_output=True,
                            text=True)
    reasons = {10: "Xvfb did not start", 11: "no window Olmira after opening the file",
               12: "no save dialog"}
    check(result.returncode == 0, reasons.get(result.returncode, result.stderr))
    # Wine shows the command line's words without their quotes.
    launched = [line.replace('"', "").strip()
                for line in (work / "launched").read_text().splitlines()]
    expected = rf"{windows_install_dir}\tolvana.exe C:\users\{user}\Documents\Brev åäö.crp"
    check(launched == [expected], f"tolvana.exe was started as {launched}")
    # Saved from the cipher-text box: the file's cipher text had been opened.
    check(saved.exists() and saved.read_bytes() == HEJ,
          f"the opened file's cipher text came back as {saved.read_bytes() if saved.exists() else None}")
    wait_for_wine()


# The user's own files, as the program and the user leave them.
USER_FILES = {
    "password flag": (local / "Tolvana" / "numberone", b"\x01\x00"),
    "password": (local / "Tolvana" / "id", b'"hemligt"\r\n'),
    "letter": (documents / "Brev åäö.crp", HEJ),
    "cipher file among the programs": (install_dir / "Mitt brev.crp", HEJ),
}


def user_files_kept(when):
    for what, (path, content) in USER_FILES.items():
        check(path.exists() and path.read_bytes() == content, f"the {what} {path} is gone {when}")


class RunningTolvana:
    """The installed tolvana.exe running in an X server of its own, from the
    moment its window TITLE shows until the end of the with-block, when it is
    closed and waited for."""

    def __init__(self, title):
        self.title = title

    def __enter__(self):
        for name in ("ready", "stop"):
            (work / name).unlink(missing_ok=True)
        script = f"""
            set -u
            source '{XSESSION}'
            work='{work}'
            start_xvfb || exit 10
            '{WINE}' '{windows_install_dir}\\tolvana.exe' >/dev/null 2>&1 &
            id=$(find_window '{self.title}' 90) || {{ kill "$xvfb_pid"; exit 11; }}
            touch '{work}/ready'
            for _ in $(seq 1200); do [ -e '{work}/stop' ] && break; sleep 0.1; done
            xdotool windowclose "$id" 2>/dev/null || xdotool key --window "$id" Escape
            for _ in $(seq 100); do pgrep -f '^"?[A-Z]:.*tolvana[.]exe' >/dev/null || break; sleep 0.1; done
            kill "$xvfb_pid"
        """
        self.process = subprocess.Popen(["bash", "-c", script], env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE, text=True)
        for _ in range(1200):
            if (work / "ready").exists() or self.process.poll() is not None:
                break
            time.sleep(0.1)
        if not (work / "ready").exists():
            self.__exit__(None, None, None)
            raise Failed(f"tolvana.exe did not show its window \"{self.title}\"")
        return self

    def __exit__(self, *_):
        (work / "stop").touch()
        try:
            self.process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.process.kill()
        wait_for_wine()


def setup_log():
    """The lines of the installer's log (%TEMP%\\tolvana-setup.log)."""
    logs = list((prefix / "drive_c").rglob("tolvana-setup.log"))
    return logs[0].read_bytes().decode("cp1252").splitlines() if logs else []


def installed():
    """Every installed file's bytes and the uninstall entry, as they stand."""
    files = {p.name: p.read_bytes() for p in install_dir.iterdir()}
    return files, export(UNINSTALL + r"\Tolvana")


REFUSED = "Tolvana är igång. Avsluta Tolvana (och tolvana-cipher) och försök igen. Inget har ändrats."


def step_install_while_running():
    # An older tolvana-cipher.exe, which is not running: still not replaced.
    (install_dir / "tolvana-cipher.exe").write_bytes(b"older")
    before = installed()
    with RunningTolvana("Olmira"):
        result = wine(SETUP, "/S")
        check(result.returncode == 2, f"setup over a running Tolvana ended with {result.returncode}")
        check(installed() == before, "setup over a running Tolvana changed the installed files "
                                     "or the uninstall entry")
    name = Path(SETUP).name
    check(f"{name}: {REFUSED}" in setup_log(), f"the log says {setup_log()}")


def step_uninstall_while_running():
    before = installed()
    log_lines = len(setup_log())
    # The password set by the step before is asked for first.
    with RunningTolvana("Lösenord"):
        # In place (_?=), so that its own status is the one returned.
        result = wine(windows_install_dir + r"\uninstall.exe", "/S",
                      "_?=" + windows_install_dir)
        check(result.returncode == 2, f"uninstall of a running Tolvana ended with {result.returncode}")
        check(installed() == before, "uninstall of a running Tolvana removed files or its entry")
    check(setup_log()[log_lines:] == [f"uninstall.exe: {REFUSED}"], f"the log says {setup_log()}")
    check(shortcut.exists(), "the Start menu shortcut went while Tolvana ran")


def step_upgrade():
    for path, content in USER_FILES.values():
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(content)
    # An older tolvana-cipher.exe: the second install replaces it in place.
    (install_dir / "tolvana-cipher.exe").write_bytes(b"older")
    result = wine(SETUP, "/S")
    check(result.returncode == 0, f"the second install ended with {result.returncode}")
    check((install_dir / "tolvana-cipher.exe").read_bytes() == Path(CIPHER).read_bytes(),
          "the second install did not replace tolvana-cipher.exe")
    user_files_kept("after the second install")


def step_uninstall():
    # NSIS's uninstaller goes on in a copy of itself and returns at once: wait
    # for every process of the prefix to end.
    result = wine(windows_install_dir + r"\uninstall.exe", "/S")
    check(result.returncode == 0, f"the silent uninstall ended with {result.returncode}")
    wait_for_wine()
    user_files_kept("after the uninstall")
    check(sorted(p.name for p in install_dir.iterdir()) == ["Mitt brev.crp"],
          f"left in the program's folder: {sorted(p.name for p in install_dir.iterdir())}")
    check(not shortcut.exists(), "the Start menu shortcut is still there")
    leftovers = [key for key in export(CLASSES) if "tolvana" in key.lower() or key.endswith(".crp")]
    check(not leftovers, f"keys left: {leftovers}")
    check(not export(UNINSTALL + r"\Tolvana"), "the Installed apps entry is still there")
    # Nothing else anywhere on C: bears the program's name.
    # (The installer's log of the runs refused while Tolvana ran stays in
    # %TEMP%, as logs do.)
    allowed = {local / "Tolvana", install_dir, *(p for p, _ in USER_FILES.values()),
               *(prefix / "drive_c").rglob("tolvana-setup.log")}
    named = [p for p in (prefix / "drive_c").rglob("*")
             if "tolvana" in p.name.lower() and p not in allowed]
    check(not named, f"left behind: {named}")


def main():
    global passed
    make_prefix()
    classes = {}

    def install():
        classes.update(step_install())

    steps = [("silent install", install),
             ("open a .crp file through its association",
              lambda: step_open_through_association(classes)),
             ("install while Tolvana runs", step_install_while_running),
             ("install again over the first", step_upgrade),
             ("uninstall while Tolvana runs", step_uninstall_while_running),
             ("silent uninstall", step_uninstall)]
    try:
        for name, step in steps:
            started = time.monotonic()
            try:
                step()
            except (Failed, subprocess.TimeoutExpired, OSError) as error:
                print(f"FAILED: {name}: {error}")
                failures.append(name)
                break  # each step builds on the one before
            passed += 1
            print(f"ok: {name} ({time.monotonic() - started:.1f} s)")
    finally:
        subprocess.run([WINESERVER, "-k"], env=env, capture_output=True)
        shutil.rmtree(work, ignore_errors=True)
    print(f"installer under Wine: {passed} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
