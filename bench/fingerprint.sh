#!/usr/bin/env bash
# The network fingerprint under Wine: what taking it costs a resident process, and how soon it and the
# home server's echo show that the laptop moved.
#   bench/fingerprint.sh [ROUNDS] [MOVES]   (default 1000 calls, 10 moves each way)
# Cost: bench/fingerprint_bench.cpp takes it ROUNDS times in one process, with one NetworkFingerprinter
# that holds IP Helper, as a resident Kestel does, and by a fresh one for each call, which loads it
# and lets it go, twice each; it prints the time of one call and the memory and handles
# before and after. The cost build links nothing that would bring IP Helper along.
# Moves: on the moving network of scripts/test-hosts.sh (the laptop's 198.18.0.1/24 and a home server
# at 198.18.0.2), the laptop's address is taken away and given back MOVES times, 2 s apart, while one
# process takes the fingerprint and another probes the home server, each every 5 ms. For each move it
# gives the time from the ip(8) call to the first look that shows the change: a changed fingerprint,
# an echo that fails (away) or answers again (back).
# Runs inside a network namespace of its own (needs root), with a Wine prefix of its own booted inside
# it under build/bench/fingerprint; not part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-1000}
moves=${2:-10}
out=$PWD/build/bench/fingerprint

if [ -z "${KESTEL_BENCH_IN_NETNS:-}" ]; then
  if [ "$(id -u)" -ne 0 ] || ! unshare -n true 2>/dev/null; then
    echo "bench/fingerprint.sh needs root, to run inside a network namespace of its own" >&2
    exit 1
  fi
  bash scripts/setup.sh
  mkdir -p "$out"
  compile=(x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -I. -DWIN32_LEAN_AND_MEAN -DNOMINMAX -DSTRICT
           -D_WIN32_WINNT=0x0601 bench/fingerprint_bench.cpp net/NetworkFingerprint.cpp net/NetworkFingerprintWin32.cpp)
  "${compile[@]}" -o "$out/fingerprint_bench.exe" -static -lntdll -lpsapi
  "${compile[@]}" -DKESTEL_BENCH_ECHO net/PingUtil.cpp -o "$out/fingerprint_echo.exe" -static -lntdll -lpsapi \
    -lwsock32 -licmp
  exec env KESTEL_BENCH_IN_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi

# The moving network of the tests, named apart from any suite's.
source scripts/test-hosts.sh
export KESTEL_TEST_HOSTS_TAG=kf$$ KESTEL_TEST_HOSTS_DIR=$out
trap moves_close EXIT
moves_action open

# Wine's server and network driver must start inside the namespace whose links move.
export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
bash scripts/wine-prefix.sh "$WINEPREFIX"
wine64=$(command -v /usr/lib/wine/wine64 || command -v wine64)
wineserver=$(command -v /usr/lib/wine/wineserver || command -v wineserver)
bench=$out/fingerprint_bench.exe

echo "### Cost ($rounds calls in one process)"
# Twice each, alternating, so that the first process's share of warming Wine up falls on both.
for once in once "" once ""; do
  echo
  if [ -n "$once" ]; then
    echo "a fresh NetworkFingerprinter per call: IP Helper loaded and let go by each call"
  else
    echo "NetworkFingerprinter: IP Helper held"
  fi
  "$wine64" "$bench" cost "$rounds" $once | tr -d '\r'
done

# ---- Moves
watched=$((moves * 4 + 20))
rm -f "$out/watch.txt" "$out/echo.txt" "$out/moves.txt"
# Straight to the files, which the wait below looks at: a filter between would hold the lines back.
"$wine64" "$bench" watch "$watched" >"$out/watch.txt" &
watcher=$!
"$wine64" "$out/fingerprint_echo.exe" echo 198.18.0.2 "$watched" >"$out/echo.txt" &
prober=$!
for _ in $(seq 600); do
  [ -s "$out/watch.txt" ] && [ -s "$out/echo.txt" ] && break
  sleep 0.1
done
if ! [ -s "$out/watch.txt" ] || ! [ -s "$out/echo.txt" ]; then
  echo "the watchers did not start within 60 s" >&2
  exit 1
fi
for _ in $(seq "$moves"); do
  printf '%s away\n' "$(date +%s.%N)" >>"$out/moves.txt"
  moves_address del "$moves_laptop_address"
  sleep 2
  printf '%s back\n' "$(date +%s.%N)" >>"$out/moves.txt"
  moves_address add "$moves_laptop_address"
  sleep 2
done
wait "$watcher" "$prober"
"$wineserver" -w

echo
echo "### Moves ($moves each way): milliseconds from the ip(8) call to the first look that shows it"
echo
echo "| move | fingerprint changed: median (min-max) | echo: median (min-max) |"
echo "|---|---|---|"
# Each move against the first fingerprint line after it, and the first echo line with its verdict.
cat "$out/moves.txt" "$out/watch.txt" "$out/echo.txt" | tr -d '\r' | sort -n | awk '
  function add(kind, move, ms) { n[kind, move]++; v[kind, move, n[kind, move]] = ms }
  function summary(kind, move,  i, j, t, m) {
    m = n[kind, move]
    if (m == 0) return "none seen"
    for (i = 1; i <= m; i++) for (j = i + 1; j <= m; j++)
      if (v[kind, move, j] < v[kind, move, i]) { t = v[kind, move, i]; v[kind, move, i] = v[kind, move, j]; v[kind, move, j] = t }
    return sprintf("%.0f (%.0f-%.0f), %d of %d", v[kind, move, int((m + 1) / 2)], v[kind, move, 1], v[kind, move, m], m, moves[move])
  }
  $2 == "away" || $2 == "back" { move = $2; at = $1; moves[move]++; seen = 0; answered = 0; next }
  $2 == "fingerprint" && at && !seen { add("fingerprint", move, ($1 - at) * 1000); seen = 1 }
  $2 == "echo" && at && !answered && (($3 == "away") == (move == "away")) { add("echo", move, ($1 - at) * 1000); answered = 1 }
  END {
    printf "| address taken away | %s | %s |\n", summary("fingerprint", "away"), summary("echo", "away")
    printf "| address given back | %s | %s |\n", summary("fingerprint", "back"), summary("echo", "back")
  }'
