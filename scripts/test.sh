#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds both presets, boots a fresh Wine prefix,
# starts one Xvfb, runs every test inside a network namespace with only loopback up (so no test
# traffic or name lookup leaves the machine), and stops what it started.
#   scripts/test.sh [ctest arguments...]   e.g. scripts/test.sh -R 'e2e\.'
# KESTEL_BUILD (default: build) puts the two builds in $KESTEL_BUILD/native and $KESTEL_BUILD/windows,
# so that several working copies of the suite can run side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${KESTEL_BUILD:-build}

if [ -z "${KESTEL_IN_NETNS:-}" ]; then
  bash scripts/setup.sh
  cmake --preset native -B "$build/native" >/dev/null
  cmake --build "$build/native"
  cmake --preset windows -B "$build/windows" >/dev/null
  cmake --build "$build/windows"
  if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
    exec env KESTEL_IN_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
  fi
fi

prefix=$root/$build/windows/wineprefix
export KESTEL_WINEPREFIX=$prefix
display=:$(( 100 + $(printf '%s' "$root/$build" | cksum | cut -d' ' -f1) % 800 ))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
wineserver=$(command -v /usr/lib/wine/wineserver || command -v wineserver)
keeper_pid=
cleanup() {
  if [ -n "$keeper_pid" ]; then kill "$keeper_pid" 2>/dev/null || true; wait "$keeper_pid" 2>/dev/null || true; fi
  WINEPREFIX=$prefix timeout 20 "$wineserver" -w 2>/dev/null || WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
bash scripts/wine-prefix.sh "$prefix"

# Wine's own service processes and its desktop start with the first program that needs them and
# inherit its output. Left to a test, they would hold ctest's pipe open until they end; one idle
# program started here, with its output elsewhere, starts them outside ctest and keeps them running
# until the cleanup ends it.
wine64=$(command -v /usr/lib/wine/wine64 || command -v wine64)
WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
  "$wine64" "$root/$build/windows/winekeeper.exe" </dev/null >/dev/null 2>&1 &
keeper_pid=$!
for _ in $(seq 200); do pgrep -f 'explorer.exe /desktop' >/dev/null && break; sleep 0.1; done

# One ctest run over both builds, so the suite ends with one summary line.
printf 'subdirs("native")\nsubdirs("windows")\n' > "$build/CTestTestfile.cmake"
ctest --test-dir "$build" -j2 --output-on-failure --timeout 300 "$@"
