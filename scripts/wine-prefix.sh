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
# Wine 8's last-chance filter, as found by tests/wine/ErrorBoxWineTest.cpp:
#  - Auto 0 and no Debugger: it asks "Do you wish to debug it?" in a box of its own first;
#  - Auto 1 and no Debugger: it starts winedbg, which ends the process with the error's code, no box;
#  - Auto 1 and an empty Debugger: nothing can be started, so it answers "execute handler" at once
#    and the program's own box appears. (Wine still notes "starting debugger..." on stderr.)
aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
"$wine64" reg add "$aedebug" /v Debugger /t REG_SZ /d '' /f >/dev/null 2>&1
"$wine64" reg add "$aedebug" /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1
"$wine64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# The window is designed in Arial, which Wine does not ship: use the font with Arial's metrics.
"$wine64" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1
"$wineserver" -w
