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

# Test hosts beyond loopback, in the suite's own namespace only: outside one they would be the machine's.
source scripts/test-hosts.sh
trap test_hosts_stop EXIT
if [ -n "${KESTEL_IN_NETNS:-}" ]; then test_hosts_start "$root/$build/native/echo_responder"; fi

prefix=$root/$build/windows/wineprefix
export KESTEL_WINEPREFIX=$prefix
source scripts/wine-session.sh
wine_session_start "$prefix" fresh "$root/$build/windows/winekeeper.exe"
# The stand-in internet library that records how kestel.exe tells running programs (see tests/e2e/Harness.h).
wine_session_system_dll "$root/$build/windows/standin/wininet.dll"
trap 'wine_session_stop; test_hosts_stop' EXIT

# Wine now and then refuses to start a process under load (error 1359). The harness tries that one
# failure again where it starts a process and says so in this file; its lines show in the output as
# they come, so that a run's retries can be counted. Any other failure fails its test the first time.
retries=$root/$build/retries.log
: >"$retries"
export KESTEL_RETRY_LOG="Z:${retries//\//\\}"
tail -n 0 -F "$retries" 2>/dev/null &
retries_tail=$!

# One ctest run over both builds, so the suite ends with one summary line.
printf 'subdirs("native")\nsubdirs("windows")\n' > "$build/CTestTestfile.cmake"
status=0
ctest --test-dir "$build" -j2 --output-on-failure --timeout 300 "$@" || status=$?
kill "$retries_tail" 2>/dev/null || true
exit "$status"
