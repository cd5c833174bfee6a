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

xvfb_pid=
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  export DISPLAY=:$(( 900 + RANDOM % 90 ))
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
  echo "No display found: running under Xvfb on $DISPLAY."
fi
[ -f "$prefix/system.reg" ] || bash scripts/wine-prefix.sh "$prefix"

wine64=$(command -v /usr/lib/wine/wine64 || command -v wine64)
wineserver=$(command -v /usr/lib/wine/wineserver || command -v wineserver)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;mpr=n,b"
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
"$wineserver" -w
[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
exit 0
