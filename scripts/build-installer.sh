#!/usr/bin/env bash
# Builds the Windows installer, build-windows/installer/tolvana-<version>-setup.exe:
# tolvana.exe and tolvana-cipher.exe (with the static Qt, made once) and the
# NSIS installer around them, without the test programs. As root on Debian 12
# it installs what is missing; see scripts/build-windows.sh.
#
# TOLVANA_WEB_PAGE names a tolvana.html to install beside the programs.
exec bash "$(dirname "$0")/build-windows.sh" installer
