#!/usr/bin/env bash
# Builds kestel.exe and runs it once under Wine on docs/kestel.ini.sample: the home server is the
# loopback address, so the run takes the home branch, maps the two sample drives through the test
# suite's stand-in network provider (Wine has none of its own), switches the proxy settings and runs
# the logon script. The window appears on $DISPLAY, or under a private Xvfb when there is none.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target kestel mpr_standin

demo=$root/build/demo
prefix=$demo/wineprefix
mkdir -p "$demo/app"
cp build/windows/kestel.exe build/windows/standin/mpr.dll "$demo/app/"
cp docs/kestel.ini.sample "$demo/app/kestel.ini"
rm -f "$demo/app/kestel-demo.log" "$demo/mpr.log"

source scripts/wine-session.sh
screen=current
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "No display found: running under a private Xvfb."
  screen=1024x768x24
fi
wine_session_start "$prefix" reuse "" "$screen"
export KESTEL_MPR_LOG="Z:${demo//\//\\}\\mpr.log"
cd "$demo/app"
set +e
"$wine64" ./kestel.exe
code=$?
set -e
echo "kestel.exe exited with code $code."
echo "--- network drive calls (stand-in provider's log):"; cat "$demo/mpr.log" 2>/dev/null || echo "(none)"
echo "--- programs run:"; cat "$demo/app/kestel-demo.log" 2>/dev/null || echo "(none)"
echo "--- proxy settings of the user:"
"$wine64" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' 2>/dev/null | grep -i proxy || true
"$wine64" reg query 'HKCU\Software\Microsoft\Internet Explorer\Main' /v 'Start Page' 2>/dev/null | grep -i start || true
exit 0
