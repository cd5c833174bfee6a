#!/usr/bin/env bash
# Sourced by scripts/test.sh inside the suite's network namespace: test hosts of the suite's own, in a
# namespace joined to the suite's by a veth pair, for what loopback cannot show of the probe.
#   test_hosts_start ECHO_RESPONDER    then KESTEL_HOME_LATE and KESTEL_AWAY_UNREACHABLE name them
#   test_hosts_stop
# 198.51.100.2  a home server whose kernel ignores echo requests; echo_responder answers each one
#               after 50 ms, so only a probe that waits for its answer finds it
# 203.0.113.7   a server behind 198.51.100.2, which routes for the suite but knows no way there: its
#               "destination unreachable" is the only answer a probe of it gets
#
# The moving network, for tests that move the laptop (tests/e2e/NetworkMoves.h): a link of its own,
# which a test opens, moves and closes, so that no move reaches the hosts above or the tests that
# use them.
# 198.18.0.1/24 the laptop's address, on the suite's end of the link: what a move takes away
# 198.18.0.2    its home server, on the link's other end; its kernel answers echo at once
# A move is seen by every program of the suite's Wine prefix, a follower in another test included:
# tests that move take turns with the tests that run kestel.exe (RESOURCE_LOCK kestel_user_session).
# A test under Wine runs this file with CreateProcess (Wine starts a Unix program it is given, in the
# caller's namespace, but hands back no process to wait on), so each action reports its end in a file:
#   test-hosts.sh DONE ACTION [ARGS]   does ACTION, then writes its exit status and any error on
#                                      $KESTEL_TEST_HOSTS_DIR/DONE, which the test waits for
#   open              the link and its home server, with the laptop's address; first removes what a
#                     test killed at its timeout left open
#   close             removes the link: all the moves undone
#   add|del CIDR      an address on the laptop's end (an IPv6 one without duplicate detection)
#   away-for MS       the laptop's address gone for MS milliseconds, then back
#   flap TIMES MS     gone and back TIMES times within MS milliseconds, back at the end
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
  # What a test needs to move the laptop: this file, where actions report their end, and the tag that
  # names the moving network's link and namespace apart from those of suites running beside this one.
  KESTEL_TEST_HOSTS_DIR=$(mktemp -d "${TMPDIR:-/tmp}/kestel-test-hosts.XXXXXX")
  export KESTEL_NETWORK_MOVES=$(realpath "${BASH_SOURCE[0]}") KESTEL_TEST_HOSTS_DIR KESTEL_TEST_HOSTS_TAG=$tag
}

test_hosts_stop() {
  if [ -n "$test_hosts_responder_pid" ]; then
    kill "$test_hosts_responder_pid" 2>/dev/null || true
    wait "$test_hosts_responder_pid" 2>/dev/null || true
  fi
  # The veth pair goes with the namespace.
  if [ -n "$test_hosts_ns" ]; then ip netns del "$test_hosts_ns" 2>/dev/null || true; fi
  if [ -n "${KESTEL_TEST_HOSTS_TAG:-}" ]; then moves_close; fi
  if [ -n "${KESTEL_TEST_HOSTS_DIR:-}" ]; then rm -rf "$KESTEL_TEST_HOSTS_DIR"; fi
}

# ---- The moving network ---------------------------------------------------------------------------
moves_laptop_address=198.18.0.1/24

moves_names() {
  moves_ns=$KESTEL_TEST_HOSTS_TAG-mv
  moves_link=$KESTEL_TEST_HOSTS_TAG-ml
}

moves_close() {
  moves_names
  # Deleting one end deletes both at once; the namespace's own teardown would take its time.
  ip link del "$moves_link" 2>/dev/null || true
  ip netns del "$moves_ns" 2>/dev/null || true
}

moves_open() {
  moves_close
  ip netns add "$moves_ns"
  ip link add "$moves_link" type veth peer name "$KESTEL_TEST_HOSTS_TAG-mh" netns "$moves_ns"
  # No IPv6 link-local addresses, which would turn up a moment after the link and read as a move.
  ip link set "$moves_link" addrgenmode none
  ip -n "$moves_ns" link set "$KESTEL_TEST_HOSTS_TAG-mh" addrgenmode none
  ip addr add "$moves_laptop_address" dev "$moves_link"
  ip -n "$moves_ns" link set lo up
  ip -n "$moves_ns" addr add 198.18.0.2/24 dev "$KESTEL_TEST_HOSTS_TAG-mh"
  ip -n "$moves_ns" link set "$KESTEL_TEST_HOSTS_TAG-mh" up
  ip link set "$moves_link" up
  # The kernel tells of a link that came up a moment later; the laptop must see it up from the start.
  local tries
  for tries in $(seq 100); do
    ip -o link show dev "$moves_link" | grep -q 'state UP' && return 0
    sleep 0.05
  done
  echo "the moving network's link did not come up" >&2
  return 1
}

moves_address() {  # add|del CIDR
  local extra=
  [[ $2 == *:* ]] && [ "$1" = add ] && extra=nodad
  ip addr "$1" "$2" dev "$moves_link" $extra
}

moves_action() {
  moves_names
  case "$1" in
    open) moves_open ;;
    close) moves_close ;;
    add | del) moves_address "$1" "$2" ;;
    away-for)
      moves_address del "$moves_laptop_address"
      sleep "$(awk -v ms="$2" 'BEGIN { print ms / 1000 }')"
      moves_address add "$moves_laptop_address"
      ;;
    flap)
      local half i
      half=$(awk -v ms="$3" -v n="$2" 'BEGIN { print ms / 2 / n / 1000 }')
      for i in $(seq "$2"); do
        moves_address del "$moves_laptop_address"
        sleep "$half"
        moves_address add "$moves_laptop_address"
        [ "$i" = "$2" ] || sleep "$half"
      done
      ;;
    *)
      echo "no such action: $1" >&2
      return 2
      ;;
  esac
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -uo pipefail
  PATH=/usr/sbin:/usr/bin:/sbin:/bin
  done_file=$KESTEL_TEST_HOSTS_DIR/$1
  shift
  errors=$(moves_action "$@" 2>&1 >/dev/null)
  status=$?
  # Written whole, then renamed, so that the test never reads half of it.
  printf '%s\n%s\n' "$status" "$errors" >"$done_file.part"
  mv "$done_file.part" "$done_file"
fi
