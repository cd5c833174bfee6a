#!/usr/bin/env bash
# Whole runs of kestel.exe at home, each a fresh process, with the run's record on, under load:
#   bench/home-runs.sh [RUNS] [BUSY] [PROBERS] [warm|cold]   (default 200 2 0 warm)
# The server is 127.0.0.1 and every run should decide home. BUSY processes spin on the CPU meanwhile,
# as a suite running beside it would; PROBERS processes of the same Wine prefix send echo requests to
# 127.0.0.1 in the same network namespace without pause, as other tests of a suite do. At the end it
# counts the runs that decided away and prints the probe line of each from the log.
# warm keeps Wine's services up between runs, as the suite does; cold lets them end after each run,
# as they do for a user who starts kestel.exe on its own (Debian's wineserver does not linger), so
# that every run starts Wine's server, services and drivers afresh.
# Runs inside a network namespace with only loopback up (needs root), with an Xvfb and a Wine prefix
# of its own under build/bench/home-runs; not part of the test suite. KESTEL_JOIN_NETNS_OF=PID runs it
# in the network namespace of process PID instead, e.g. beside a suite that is running, so that its
# tests' echo requests and kestel.exe's share the namespace as they do in CI.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${1:-200}
busy=${2:-2}
probers=${3:-0}
start=${4:-warm}
build=$root/build/bench/windows
out=$root/build/bench/home-runs

if [ -z "${KESTEL_BENCH_IN_NETNS:-}" ]; then
  if [ "$(id -u)" -ne 0 ] || ! unshare -n true 2>/dev/null; then
    echo "bench/home-runs.sh needs root, to run inside a network namespace of its own" >&2
    exit 1
  fi
  bash scripts/setup.sh
  cmake --preset windows -B "$build" >/dev/null
  cmake --build "$build" --target kestel mpr_standin winekeeper
  mkdir -p "$out"
  x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -I. -DWIN32_LEAN_AND_MEAN -DNOMINMAX -DSTRICT -D_WIN32_WINNT=0x0601 \
    bench/probe_bench.cpp net/PingUtil.cpp -o "$out/probe_bench.exe" -static -lwsock32 -licmp
  if [ -n "${KESTEL_JOIN_NETNS_OF:-}" ]; then
    exec env KESTEL_BENCH_IN_NETNS=1 nsenter --net="/proc/$KESTEL_JOIN_NETNS_OF/ns/net" bash "$0" "$@"
  fi
  exec env KESTEL_BENCH_IN_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi

source scripts/wine-session.sh
if [ "$start" = cold ]; then
  wine_session_start "$out/wineprefix" fresh
  "$wineserver" -w
else
  wine_session_start "$out/wineprefix" fresh "$build/winekeeper.exe"
fi

place=$out/home
rm -rf "$place"
mkdir -p "$place"
cp "$build/kestel.exe" "$build/standin/mpr.dll" "$place/"
printf '%s\r\n' '[SCRIPTS]' 'logfile=kestel.log' '[connection]' 'server=127.0.0.1' \
  '[user]' 'username=bench' 'password=secret' '[mappings]' 'X:=\\127.0.0.1\share' \
  '[awayinternetsettings]' 'awayproxyenabled=0' 'awayproxyexceptions=' 'awayproxyserver=' 'awayhomepage=about:blank' \
  >"$place/kestel.ini"

load_pids=()
stop_load() { for pid in "${load_pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done; }
trap 'stop_load; wine_session_stop' EXIT
for _ in $(seq "$busy"); do
  (while :; do :; done) &
  load_pids+=($!)
done
for _ in $(seq "$probers"); do
  (while :; do "$wine64" "$out/probe_bench.exe" 127.0.0.1 50 >>"$out/probers.txt" 2>/dev/null || true; done) &
  load_pids+=($!)
done

for i in $(seq "$runs"); do
  "$wine64" "$place/kestel.exe" </dev/null >/dev/null 2>&1 || echo "run $i ended with exit code $?" >&2
  [ "$start" = cold ] && "$wineserver" -w
  [ $((i % 10)) -eq 0 ] && printf '%d ' "$i" >&2
done
echo >&2
stop_load
load_pids=()

log=$place/kestel.log
decided=$(grep -c ' INFO decision: ' "$log" || true)
away=$(grep -c ' INFO decision: away' "$log" || true)
echo "runs: $runs, decided: $decided, away: $away (busy processes: $busy, probers: $probers, $start)"
# The probe line before each away decision, and the echo service's own view of the probers' rounds.
grep -B1 ' INFO decision: away' "$log" | grep ' probe: ' || true
if [ "$probers" -gt 0 ]; then
  echo "prober rounds: $(wc -l <"$out/probers.txt"), of which away: $(grep -c ' away$' "$out/probers.txt" || true)"
fi
