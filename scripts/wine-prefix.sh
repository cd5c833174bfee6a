#!/usr/bin/env bash
# Boots a fresh Wine prefix for the tests: scripts/wine-prefix.sh PREFIX
# The prefix lets a program's own "Application Error" box appear instead of Wine's debugger.
set -euo pipefail
prefix=$1
wine64=$(command -v /usr/lib/wine/wine64 || command -v wine64)
wineserver=$(command -v /usr/lib/wine/wineserver || command -v wineserver)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
"$wine64" wineboot -i >/dev/null 2>&1
"$wine64" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
"$wine64" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 0 /f >/dev/null 2>&1
"$wine64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
"$wineserver" -w
