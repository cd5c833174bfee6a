#!/usr/bin/env bash
# How long the home server probe takes to decide, under Wine: bench/probe.sh [ROUNDS]
#   home    the loopback address answers
#   away    a name that does not resolve
#   silent  a host of the bench's own that is up but ignores echo requests (needs root: ip netns)
#   absent  an address on the bench's own link where no host is
# Everything runs in network namespaces the script creates, so nothing leaves the machine. Each
# figure is the median (with min and max) of ROUNDS calls of PingHost in one process, so process
# start-up is not counted. Needs the mingw-w64 compiler and Wine (scripts/setup.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-9}
out=$PWD/build/bench
mkdir -p "$out"

x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -I. -DWIN32_LEAN_AND_MEAN -DNOMINMAX -DSTRICT -D_WIN32_WINNT=0x0601 \
  bench/probe_bench.cpp net/PingUtil.cpp -o "$out/probe_bench.exe" -static -lwsock32 -licmp

wine64=$(command -v /usr/lib/wine/wine64 || command -v wine64)
wineserver=$(command -v /usr/lib/wine/wineserver || command -v wineserver)

if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
  echo "probe.sh needs root and ip(8) to build its network namespaces" >&2
  exit 1
fi

# Two namespaces joined by a veth pair: the bench's own, and the silent host's.
tag=kb$$
client=$tag-client
silent=$tag-silent
cleanup() {
  ip netns pids "$client" 2>/dev/null | xargs -r kill 2>/dev/null || true
  ip netns del "$client" 2>/dev/null || true
  ip netns del "$silent" 2>/dev/null || true
}
trap cleanup EXIT
ip netns add "$client"
ip netns add "$silent"
ip link add "$tag-c" type veth peer name "$tag-s"
ip link set "$tag-c" netns "$client"
ip link set "$tag-s" netns "$silent"
ip -n "$client" link set lo up
ip -n "$client" addr add 192.0.2.1/24 dev "$tag-c"
ip -n "$client" link set "$tag-c" up
ip -n "$silent" addr add 192.0.2.2/24 dev "$tag-s"
ip -n "$silent" link set "$tag-s" up
ip netns exec "$silent" sysctl -qw net.ipv4.icmp_echo_ignore_all=1

# A prefix of the bench's own, booted inside the namespace: Wine's network service runs in a process
# of the prefix, which must see the namespace's links.
export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
ip netns exec "$client" bash scripts/wine-prefix.sh "$WINEPREFIX"

wrong=0
measure() {  # name host expected-verdict
  ip netns exec "$client" "$wine64" "$out/probe_bench.exe" "$2" "$rounds" | tr -d '\r' >"$out/$1.txt"
  grep -qv " $3\$" "$out/$1.txt" && wrong=1
  sort -n "$out/$1.txt" | awk -v name="$1" -v host="$2" '
    { ms[NR] = $1; verdict[$2]++ }
    END {
      median = NR % 2 ? ms[(NR + 1) / 2] : (ms[NR / 2] + ms[NR / 2 + 1]) / 2
      decided = ""; for (v in verdict) decided = decided (decided ? "/" : "") v
      printf "| %s | %s | %.1f | %.1f | %.1f | %s |\n", name, host, median, ms[1], ms[NR], decided
    }'
}

echo "| case | server | median ms | min ms | max ms | decided |"
echo "|---|---|---|---|---|---|"
measure home 127.0.0.1 home
measure away kestel-home-server.invalid away
measure silent 192.0.2.2 away
measure absent 192.0.2.3 away
ip netns exec "$client" "$wineserver" -w
if [ "$wrong" -ne 0 ]; then
  echo "some rounds decided other than expected (home for 127.0.0.1, away for the rest)" >&2
  exit 1
fi
