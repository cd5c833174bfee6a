# Sourced by scripts/test.sh inside the suite's network namespace: test hosts of the suite's own, in a
# namespace joined to the suite's by a veth pair, for what loopback cannot show of the probe.
#   test_hosts_start ECHO_RESPONDER    then KESTEL_HOME_LATE and KESTEL_AWAY_UNREACHABLE name them
#   test_hosts_stop
# 198.51.100.2  a home server whose kernel ignores echo requests; echo_responder answers each one
#               after 50 ms, so only a probe that waits for its answer finds it
# 203.0.113.7   a server behind 198.51.100.2, which routes for the suite but knows no way there: its
#               "destination unreachable" is the only answer a probe of it gets
test_hosts_ns=
test_hosts_responder_pid=

test_hosts_start() {
  local responder=$1 tag=kt$$
  test_hosts_ns=$tag-lan
  ip netns add "$test_hosts_ns"
  ip link add "$tag-s" type veth peer name "$tag-l" netns "$test_hosts_ns"
  ip addr add 198.51.100.1/24 dev "$tag-s"
  ip link set "$tag-s" up
  ip route add 203.0.113.0/24 via 198.51.100.2
  ip -n "$test_hosts_ns" link set lo up
  ip -n "$test_hosts_ns" addr add 198.51.100.2/24 dev "$tag-l"
  ip -n "$test_hosts_ns" link set "$tag-l" up
  ip -n "$test_hosts_ns" route add unreachable 203.0.113.7/32
  # A router tells of an unreachable host only while it forwards; no rate limit, as every test asks.
  ip netns exec "$test_hosts_ns" sysctl -qw net.ipv4.icmp_echo_ignore_all=1 net.ipv4.ip_forward=1 \
    net.ipv4.icmp_ratelimit=0
  ip netns exec "$test_hosts_ns" "$responder" 50 </dev/null &
  test_hosts_responder_pid=$!
  export KESTEL_HOME_LATE=198.51.100.2 KESTEL_AWAY_UNREACHABLE=203.0.113.7
}

test_hosts_stop() {
  if [ -n "$test_hosts_responder_pid" ]; then
    kill "$test_hosts_responder_pid" 2>/dev/null || true
    wait "$test_hosts_responder_pid" 2>/dev/null || true
  fi
  # The veth pair goes with the namespace.
  if [ -n "$test_hosts_ns" ]; then ip netns del "$test_hosts_ns" 2>/dev/null || true; fi
}
