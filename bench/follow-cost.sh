#!/usr/bin/env bash
# What a follower (follow=1) costs while it waits, and how soon it switches after a move:
#   bench/follow-cost.sh [MINUTES] [MOVES]    (default 85 and 10)
# One kestel.exe with follow=1 at home, server 198.51.100.2 behind a veth pair (scripts/test-hosts.sh).
# First MOVES rounds of a move: the laptop's address is taken away, and the time from then to the
# away set in force is read from the run record; then it is given back, and the time to the local set
# in force is read the same way. Then the follower is left alone for MINUTES minutes (85: over 1,000
# polls of 5 s) and sampled from outside once a minute: its CPU time (every thread's, from
# /proc/PID/task/*/schedstat; and Wine's server and device services, which answer its adapter queries
# but serve the prefix's other processes too), its resident set, and its kernel handles (bench/follow_sample.cpp; Wine
# answers GetProcessHandleCount for another process with 0). Last, kestel.exe /stop, and the time
# until the follower has recorded its end, and until its process has ended.
# Runs inside a network namespace of its own (needs root), with an Xvfb and a Wine prefix of its own
# under build/bench/follow; not part of the test suite. The samples are in build/bench/follow/samples.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
minutes=${1:-85}
moves=${2:-10}
build=$root/build/bench/windows
out=$root/build/bench/follow

if [ -z "${KESTEL_BENCH_IN_NETNS:-}" ]; then
  if [ "$(id -u)" -ne 0 ] || ! unshare -n true 2>/dev/null; then
    echo "bench/follow-cost.sh needs root, to run inside a network namespace of its own" >&2
    exit 1
  fi
  bash scripts/setup.sh
  cmake --preset windows -B "$build" >/dev/null
  cmake --build "$build" --target kestel mpr_standin winekeeper
  cmake --preset native -B "$root/build/bench/native" >/dev/null
  cmake --build "$root/build/bench/native" --target echo_responder
  mkdir -p "$out"
  x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -static bench/follow_sample.cpp -o "$out/follow_sample.exe"
  exec env KESTEL_BENCH_IN_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi

source scripts/test-hosts.sh
test_hosts_start "$root/build/bench/native/echo_responder"
source scripts/wine-session.sh
wine_session_start "$out/wineprefix" fresh "$build/winekeeper.exe"
trap 'wine_session_stop; test_hosts_stop' EXIT
laptop=$(ip -o -4 addr show | awk '$4 == "198.51.100.1/24" {print $2}')

place=$out/place
rm -rf "$place"
mkdir -p "$place"
cp "$build/kestel.exe" "$build/standin/mpr.dll" "$place/"
printf '%s\r\n' '[SCRIPTS]' 'follow=1' 'logfile=kestel.log' '[connection]' "server=$KESTEL_HOME_LATE" \
  '[user]' 'username=bench' 'password=secret' '[mappings]' "X:=\\\\$KESTEL_HOME_LATE\\share" \
  '[awayinternetsettings]' 'awayproxyenabled=1' 'awayproxyexceptions=' 'awayproxyserver=away:3128' \
  'awayhomepage=about:blank' \
  '[localinternetsettings]' 'localproxyenabled=1' 'localproxyexceptions=' 'localproxyserver=home:3128' \
  'localhomepage=about:blank' >"$place/kestel.ini"
log=$place/kestel.log

(cd "$place" && exec "$wine64" kestel.exe </dev/null >/dev/null 2>&1) &
follower=$!
for _ in $(seq 600); do grep -q ' follow: following' "$log" 2>/dev/null && break; sleep 0.1; done
windows_pid=$(awk '/ follow: following/ {print $3; exit}' "$log")
linux_pid=$(pgrep -f 'kestel\.exe$' | head -1)
echo "following: Windows process $windows_pid, Linux process $linux_pid"

now_ms() { date +%s%3N; }
line_ms() { date -d "$(cut -c1-23 <<<"$1")" +%s%3N; }  # the record's local time stamp
# Waits for the COUNT-th line matching PATTERN and prints the milliseconds from SINCE to its stamp.
time_to() {
  local pattern=$1 count=$2 since=$3 line
  for _ in $(seq 900); do
    line=$(grep -E "$pattern" "$log" | sed -n "${count}p")
    [ -n "$line" ] && { echo $(( $(line_ms "$line") - since )); return; }
    sleep 0.1
  done
  echo "never"
}

echo "moves: ms from the move to the set in force"
for i in $(seq "$moves"); do
  sleep $((12 + RANDOM % 5)).$((RANDOM % 10))  # a settled network, and a move at any point between two polls
  t=$(now_ms); ip addr del 198.51.100.1/24 dev "$laptop"
  away=$(time_to ' away-set: applied' $((i + 1)) "$t")  # the logon run applied the first
  sleep $((12 + RANDOM % 5)).$((RANDOM % 10))
  t=$(now_ms); ip addr add 198.51.100.1/24 dev "$laptop"; ip route replace 203.0.113.0/24 via 198.51.100.2
  home=$(time_to ' local-set: applied' $((i + 1)) "$t")
  echo "move $i: to away $away ms, to home $home ms"
done

# Nanoseconds on a CPU, every thread of the processes.
ns_of() { for pid in "$@"; do cat /proc/"$pid"/task/*/schedstat 2>/dev/null || true; done | awk '{s += $1} END {printf "%d", s}'; }
# This prefix's processes of a name: other suites' may run beside them.
of_prefix() {
  local pid
  for pid in $(pgrep -f "$1"); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$out/wineprefix" && echo "$pid"
  done
}
cpu_ns() { ns_of "$linux_pid"; }
server_ns() { ns_of $(of_prefix 'wineserver') $(of_prefix 'winedevice\.exe'); }
rss_kb() { awk '/^VmRSS/ {print $2}' /proc/"$linux_pid"/status; }
handles() { "$wine64" "$out/follow_sample.exe" "$windows_pid" | tr -d '\r' | awk '{print $2}'; }

echo "idle: minute, polls since the start of the idle time, CPU ms (follower), CPU ms (Wine's server and device services), RSS kB, handles"
: >"$out/samples.txt"
start=$(now_ms); cpu0=$(cpu_ns); server0=$(server_ns)
for minute in $(seq 0 "$minutes"); do
  [ "$minute" -gt 0 ] && sleep $(( (start + minute * 60000 - $(now_ms)) / 1000 ))
  elapsed=$(( $(now_ms) - start ))
  line="$minute $((elapsed / 5000)) $(( ($(cpu_ns) - cpu0) / 1000000 )) $(( ($(server_ns) - server0) / 1000000 )) $(rss_kb) $(handles)"
  echo "$line" | tee -a "$out/samples.txt"
done

"$wine64" "$place/kestel.exe" /stop
t=$(now_ms)
stopped=$(time_to ' follow: stopped by /stop' 1 "$t")
wait "$follower" || true
echo "stop: following ended $stopped ms after kestel.exe /stop had returned, the process $(( $(now_ms) - t )) ms after"
grep -c ' switch: ' "$log" | sed 's/^/switches recorded: /'
