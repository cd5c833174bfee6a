#!/usr/bin/env bash
# Speed and footprint of kestel.exe beside the logon script an administrator would write instead:
#   bench/run.sh [ROUNDS] [MODES]    (default 20, "managed unmanaged")
# Cases, each started ROUNDS times by driver.exe (CreateProcess, wait, QueryPerformanceCounter, peak
# working set from GetProcessMemoryInfo), rounds of the cases interleaved so that a change in the
# machine's load falls on all of them alike, after one unmeasured warm-up round each:
#   floor          cmd /c exit: what starting any program costs under Wine
#   onewindow      a program that shows one window and ends: what any windowed program costs
#   kestel-away        kestel.exe, server name that does not resolve, no programs
#   kestel-away-quiet  the same, with the stand-in wininet.dll: running programs are not told
#   script-away        the same work as a .cmd run by Wine's cmd
#   kestel-home        kestel.exe, server 127.0.0.1, two mappings, stored credentials, no programs
#   kestel-home-quiet  the same, with the stand-in wininet.dll
#   script-home        the same work as a .cmd
#   kestel-PLACE-file      kestel-PLACE with the run record in a log file (logfile=kestel.log)
#   kestel-PLACE-eventlog  kestel-PLACE with the run record in the event log (eventlog=1)
# All cases are measured twice: with Wine's default window handling, where each window that was shown
# waits up to 2 s, when it goes, for a window manager that under Xvfb never comes; and with
# unmanaged windows (Wine's "Managed" setting N), where that wait does not happen.
# Every case runs with the away set already stored, so nothing is captured, and with the stand-in
# mpr.dll beside kestel.exe (it records nothing and lets every call succeed). kestel-away and
# kestel-home tell running programs of the new proxy values through Wine's own wininet; the -quiet
# cases load the stand-in wininet.dll instead, which answers at once, so the difference is what the
# notice costs. kestel.exe takes wininet from the system folder only: the stand-in lies in the bench
# prefix's system folder, and each case's WINEDLLOVERRIDES picks it (wininet=n,b) or Wine's own
# (wininet=b). Wine reads that from the Unix environment a program inherits, not from the environment
# block it is started with, so it is set for the driver.exe that starts the case. Before timing, one
# checked round of each kestel and script case proves it did its work (drives, registry values, and
# the notices the stand-in recorded: none where Wine's own wininet was to be told).
# Runs inside a network namespace with only loopback up (needs root), with an Xvfb and a Wine prefix
# of its own under build/bench/run; not part of the test suite. Last, bench/libcost.cpp times loading
# crypt32 and wininet, which kestel.exe loads only for the steps that need them, in ROUNDS fresh
# processes each, and bench/record_bench.cpp times the run record's own work inside one process.
# MODES picks the window handling to measure: "managed", "unmanaged" or both.
# KESTEL_BENCH_BASELINE=PATH (a kestel.exe built from another tree) adds the cases baseline-away and
# baseline-home, that program in the places of kestel-away and kestel-home, timed in the same rounds:
# two trees compared one run after the other differ by the load as much as by the change.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rounds=${1:-20}
modes=${2:-managed unmanaged}
build=$root/build/bench/windows
out=$root/build/bench/run

if [ -z "${KESTEL_BENCH_IN_NETNS:-}" ]; then
  if [ "$(id -u)" -ne 0 ] || ! unshare -n true 2>/dev/null; then
    echo "bench/run.sh needs root, to run inside a network namespace of its own" >&2
    exit 1
  fi
  bash scripts/setup.sh
  cmake --preset windows -B "$build" >/dev/null
  cmake --build "$build" --target kestel driver mpr_standin wininet_standin recordargs winekeeper
  mkdir -p "$out"
  x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -mwindows -static bench/onewindow.cpp -o "$out/onewindow.exe"
  x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -static bench/libcost.cpp -o "$out/libcost.exe"
  x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -I. -DWIN32_LEAN_AND_MEAN -DNOMINMAX -DSTRICT -D_WIN32_WINNT=0x0601 \
    -DKESTEL_VERSION='"bench"' bench/record_bench.cpp record/RunRecord.cpp record/RunRecordWin32.cpp \
    run/RunRecordEvents.cpp base/ErrorTextWin32.cpp base/ErrorText.cpp base/Utf.cpp -o "$out/record_bench.exe" -static
  exec env KESTEL_BENCH_IN_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi

prefix=$out/wineprefix
winpath() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }
# Wine's services and its desktop stay up for the whole bench, so no round pays for starting them.
source scripts/wine-session.sh
wine_session_start "$prefix" fresh "$build/winekeeper.exe"
wine_session_system_dll "$build/standin/wininet.dll"
own_wininet=${WINEDLLOVERRIDES/wininet=n,b/wininet=b}

# ---- The places: one folder each with kestel.exe, the stand-in mpr.dll, kestel.ini and the script
# that does the same work.
proxy_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
browser_key='HKCU\Software\Microsoft\Internet Explorer\Main'
home_server=127.0.0.1
away_server=kestel-home-server.invalid

make_place() {  # name server [record-setting [kestel.exe]]
  local dir=$out/$1 server=$2 record=${3:-}
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "${4:-$build/kestel.exe}" "$dir/kestel.exe"
  cp "$build/standin/mpr.dll" "$dir/"
  printf '%s\r\n' \
    '[SCRIPTS]' 'showmaperrors=0' 'HideScripts=1' ${record:+"$record"} \
    '[connection]' "server=$server" \
    '[user]' 'username=bench' 'password=secret' \
    '[mappings]' "X:=\\\\$server\\share" "Y:=\\\\$server\\home\\%INTERNALUSERNAME%" \
    '[awayinternetsettings]' 'awayproxyenabled=0' 'awayproxyexceptions=' 'awayproxyserver=' \
    'awayhomepage=about:blank' \
    '[localinternetsettings]' 'localproxyenabled=1' 'localproxyserver=proxy.bench.lan:8080' \
    'localproxyexceptions=*.bench.lan;<local>' 'localhomepage=http://intranet.bench.lan/' \
    >"$dir/kestel.ini"
  printf '%s\r\n' \
    '@echo off' \
    'net use X: /delete >nul 2>&1' \
    'net use Y: /delete >nul 2>&1' \
    "ping -n 1 -w 1000 $server >nul" \
    'if errorlevel 1 goto away' \
    "net use X: \\\\$server\\share /user:bench secret >nul 2>&1" \
    "net use Y: \\\\$server\\home\\bench >nul 2>&1" \
    "reg add \"$proxy_key\" /v ProxyEnable /t REG_DWORD /d 1 /f >nul" \
    "reg add \"$proxy_key\" /v ProxyServer /t REG_SZ /d proxy.bench.lan:8080 /f >nul" \
    "reg add \"$proxy_key\" /v ProxyOverride /t REG_SZ /d \"*.bench.lan;<local>\" /f >nul" \
    "reg add \"$browser_key\" /v \"Start Page\" /t REG_SZ /d http://intranet.bench.lan/ /f >nul" \
    'goto end' \
    ':away' \
    "reg add \"$proxy_key\" /v ProxyEnable /t REG_DWORD /d 0 /f >nul" \
    "reg add \"$proxy_key\" /v ProxyServer /t REG_SZ /d \"\" /f >nul" \
    "reg add \"$proxy_key\" /v ProxyOverride /t REG_SZ /d \"\" /f >nul" \
    "reg add \"$browser_key\" /v \"Start Page\" /t REG_SZ /d about:blank /f >nul" \
    ':end' \
    >"$dir/logon.cmd"
}
make_place home "$home_server"
make_place away "$away_server"
make_place home-quiet "$home_server"
make_place away-quiet "$away_server"
for place in home away; do
  server=$home_server
  [ "$place" = away ] && server=$away_server
  make_place "$place-file" "$server" logfile=kestel.log
  make_place "$place-eventlog" "$server" eventlog=1
done

declare -A command=(
  [floor]="cmd /c exit"
  [onewindow]="$(winpath "$out/onewindow.exe")"
  [kestel-away]="$(winpath "$out/away/kestel.exe")"
  [kestel-away-quiet]="$(winpath "$out/away-quiet/kestel.exe")"
  [script-away]="cmd /c $(winpath "$out/away/logon.cmd")"
  [kestel-home]="$(winpath "$out/home/kestel.exe")"
  [kestel-home-quiet]="$(winpath "$out/home-quiet/kestel.exe")"
  [script-home]="cmd /c $(winpath "$out/home/logon.cmd")"
)
for place in home-file home-eventlog away-file away-eventlog; do
  command[kestel-$place]="$(winpath "$out/$place/kestel.exe")"
done
cases=(floor onewindow kestel-away kestel-away-quiet script-away kestel-home kestel-home-quiet script-home
       kestel-away-file kestel-away-eventlog kestel-home-file kestel-home-eventlog)
baseline=${KESTEL_BENCH_BASELINE:-}
if [ -n "$baseline" ]; then
  make_place baseline-home "$home_server" "" "$baseline"
  make_place baseline-away "$away_server" "" "$baseline"
  for place in home away; do command[baseline-$place]="$(winpath "$out/baseline-$place/kestel.exe")"; done
  cases+=(baseline-away baseline-home)
fi
driver=$build/driver.exe

time_once() {  # case -> "round ms exit peak"
  local overrides=$own_wininet
  [[ $1 != *-quiet ]] || overrides=$WINEDLLOVERRIDES
  # shellcheck disable=SC2086  # the command is split into its words on purpose
  WINEDLLOVERRIDES=$overrides "$wine64" "$driver" time 1 ${command[$1]} </dev/null | tr -d '\r'
}

# ---- Checked rounds: each kestel and script case must do its work before its time means anything.
start_page() { "$wine64" reg query "$browser_key" /v "Start Page" 2>/dev/null | tr -d '\r' | awk '/REG_SZ/ { print $NF }'; }
mpr_lines() { if [ -f "$1" ]; then grep -c -E "^$2 " "$1" || true; else echo 0; fi; }
# The stand-in wininet logs each InternetSetOption call with its option: programs are told with
# INTERNET_OPTION_SETTINGS_CHANGED (39) and INTERNET_OPTION_REFRESH (37), a connection's proxy is set
# with INTERNET_OPTION_PER_CONNECTION_OPTION (75). Each kind is counted by itself.
options_set() { mpr_lines "$1" "InternetSetOption[AW]? .*option=($2)"; }
check() {  # case expected-start-page expected-connections [expected-notices expected-connection-sets]
  local log=$out/mpr-$1.log notices=$out/wininet-$1.log result
  rm -f "$log" "$notices"
  result=$(KESTEL_MPR_LOG=$(winpath "$log") KESTEL_WININET_LOG=$(winpath "$notices") time_once "$1")
  local code page adds told sets
  code=$(awk '{ print $3 }' <<<"$result")
  page=$(start_page)
  adds=$(mpr_lines "$log" 'WNetAddConnection3[AW]?')
  told=$(options_set "$notices" '39|37')
  sets=$(options_set "$notices" 75)
  if [ "$code" != 0 ] || [ "$page" != "$2" ] || { [[ $1 == kestel-* || $1 == baseline-* ]] && [ "$adds" != "$3" ]; } ||
    { [ -n "${4:-}" ] && { [ "$told" != "$4" ] || [ "$sets" != "$5" ]; }; }; then
    echo "$1 did not do its work: exit code $code, start page '$page', connections made $adds, notices $told," \
      "connection sets $sets (want 0, '$2', $3, ${4:-any}, ${5:-any})" >&2
    exit 1
  fi
}
# Home puts the away set and then the local set into force, away only the away set: each set is one
# connection (the LAN; the bench user has no phonebook entries) and one notice of two calls.
check kestel-home http://intranet.bench.lan/ 2 0 0
check kestel-away about:blank 0 0 0
check kestel-home-quiet http://intranet.bench.lan/ 2 4 2
check kestel-away-quiet about:blank 0 2 1
check script-home http://intranet.bench.lan/ 0
check script-away about:blank 0
for record in file eventlog; do
  check "kestel-home-$record" http://intranet.bench.lan/ 2
  check "kestel-away-$record" about:blank 0
done
if [ -n "$baseline" ]; then
  check baseline-home http://intranet.bench.lan/ 2
  check baseline-away about:blank 0
fi
for place in home away; do
  grep -q " INFO end: $place run complete" "$out/$place-file/kestel.log" ||
    { echo "kestel-$place-file wrote no record" >&2; exit 1; }
done

# ---- Timed rounds and their figures, in one way of handling windows.
summary() {  # case -> "median q1 q3 min max peak-median-bytes"
  awk '{ print $2 }' "$out/$1.txt" | sort -n | awk '
    { v[NR] = $1 }
    function q(p,  i, f) { i = 1 + (NR - 1) * p; f = int(i); return v[f] + (i - f) * (f < NR ? v[f + 1] - v[f] : 0) }
    END { printf "%.1f %.1f %.1f %.1f %.1f", q(0.5), q(0.25), q(0.75), v[1], v[NR] }'
  printf ' '
  awk '{ print $4 }' "$out/$1.txt" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
# Under load, Wine now and then refuses to start a process (CreateProcess error 1359); such a start
# is no figure, so it is tried again and counted. A program that starts and fails is an error.
refused=0
round_of() {  # case round: appends "round ms exit-code peak-bytes" to the case's file
  local line= attempt
  for attempt in 1 2 3; do
    line=$(time_once "$1") && break
    line=
    refused=$((refused + 1))
  done
  [ -n "$line" ] || { echo "$1 could not be started in round $2" >&2; exit 1; }
  read -r _ ms code peak <<<"$line"
  [ "$code" = 0 ] || { echo "$1 ended with exit code $code in round $2" >&2; exit 1; }
  echo "$2 $ms $code $peak" >>"$out/$1.txt"
}
measure() {  # title file-prefix
  for c in "${cases[@]}"; do time_once "$c" >/dev/null; : >"$out/$c.txt"; done
  for r in $(seq "$rounds"); do
    for c in "${cases[@]}"; do round_of "$c" "$r"; done
    printf '.' >&2
  done
  echo >&2
  local -A median
  echo
  echo "### $1 ($rounds rounds)"
  echo
  echo "| case | median ms | IQR ms | min-max ms | peak working set MB (median) |"
  echo "|---|---|---|---|---|"
  for c in "${cases[@]}"; do
    read -r m q1 q3 lo hi pk < <(summary "$c")
    median[$c]=$m
    printf '| %s | %s | %s-%s | %s-%s | %s |\n' "$c" "$m" "$q1" "$q3" "$lo" "$hi" \
      "$(awk -v b="$pk" 'BEGIN { printf "%.1f", b / 1048576 }')"
    cp "$out/$c.txt" "$out/$2-$c.txt"
  done
  echo
  for place in away home; do
    awk -v k="${median[kestel-$place]}" -v s="${median[script-$place]}" -v f="${median[floor]}" \
      -v w="${median[onewindow]}" -v p="$place" 'BEGIN {
        printf "- %s: kestel/script %.3f (the script takes %.1fx as long); kestel - floor %.1f ms, (kestel - floor)/floor %.2f; kestel - onewindow %.1f ms\n",
          p, k / s, s / k, k - f, (k - f) / f, k - w }'
    printf -- '- %s: telling running programs costs %s ms (median of the differences round by round; difference of the medians %+.1f ms)\n' \
      "$place" "$(paired "kestel-$place" "kestel-$place-quiet")" \
      "$(awk -v a="${median[kestel-$place]}" -v b="${median[kestel-$place-quiet]}" 'BEGIN { print a - b }')"
    printf -- '- %s: the run record costs %s ms in a file, %s ms in the event log (medians of the differences round by round, IQR)\n' \
      "$place" "$(paired "kestel-$place-file" "kestel-$place")" "$(paired "kestel-$place-eventlog" "kestel-$place")"
    [ -z "$baseline" ] ||
      printf -- '- %s: kestel - onewindow %s ms, baseline - onewindow %s ms, kestel - baseline %s ms (medians of the differences round by round, IQR)\n' \
        "$place" "$(paired "kestel-$place" onewindow)" "$(paired "baseline-$place" onewindow)" \
        "$(paired "kestel-$place" "baseline-$place")"
  done
}
# The cases of one round run one after the other, so their difference round by round is less moved
# by the machine's load than the difference of their medians: "median (q1 to q3)" of a - b.
paired() {  # case-a case-b
  paste "$out/$1.txt" "$out/$2.txt" | awk '{ print $2 - $6 }' | sort -n |
    awk '{ v[NR] = $1 } END { printf "%+.1f (%+.1f to %+.1f)", v[int((NR + 1) / 2)], v[int((NR + 3) / 4)], v[int((3 * NR + 1) / 4)] }'
}

x11_key='HKCU\Software\Wine\X11 Driver'
"$wine64" reg delete "$x11_key" /v Managed /f >/dev/null 2>&1 || true
if [[ " $modes " == *" managed "* ]]; then
  measure "Windows managed (Wine's default; no window manager runs, so each shown window costs Wine's 2 s wait for one)" managed
fi
# Unmanaged windows are left alone by Wine's X11 driver: it never waits for a window manager.
if [[ " $modes " == *" unmanaged "* ]]; then
  "$wine64" reg add "$x11_key" /v Managed /t REG_SZ /d N /f >/dev/null
  measure "Windows unmanaged (HKCU\\Software\\Wine\\X11 Driver, Managed=N)" unmanaged
  "$wine64" reg delete "$x11_key" /v Managed /f >/dev/null 2>&1 || true
fi

# ---- The libraries Kestel loads only when a step needs them, timed inside a process of their own:
# a few milliseconds are lost in the noise of whole runs under load.
median_iqr() { sort -n | awk '{ v[NR] = $1 } END { printf "%.2f (%.2f-%.2f)", v[int((NR + 1) / 2)], v[int((NR + 3) / 4)], v[int((3 * NR + 1) / 4)] }'; }
for library in crypt32.dll wininet.dll; do : >"$out/libcost-$library.txt"; done
for r in $(seq "$rounds"); do
  for library in crypt32.dll wininet.dll; do
    WINEDLLOVERRIDES=$own_wininet "$wine64" "$out/libcost.exe" "$library" </dev/null | tr -d '\r' >>"$out/libcost-$library.txt"
  done
done
echo
echo "### Loaded when needed ($rounds processes each; median ms, IQR)"
echo
echo "| library | load | INTERNET_OPTION_SETTINGS_CHANGED + INTERNET_OPTION_REFRESH |"
echo "|---|---|---|"
for library in crypt32.dll wininet.dll; do
  calls=-
  [ "$library" != wininet.dll ] || calls=$(awk '{ print $2 }' "$out/libcost-$library.txt" | median_iqr)
  printf '| %s | %s | %s |\n' "$library" "$(awk '{ print $1 }' "$out/libcost-$library.txt" | median_iqr)" "$calls"
done
echo
printf 'kestel.exe: %s bytes (%.0f KB)\n' "$(stat -c %s "$build/kestel.exe")" "$(awk -v b="$(stat -c %s "$build/kestel.exe")" 'BEGIN { print b / 1024 }')"
echo "starts Wine refused and that were tried again: $refused"
echo
echo "The run record's own work in one process (a home run's 13 events), median and slowest of $((rounds * 10)) ms:"
"$wine64" "$out/record_bench.exe" "$(winpath "$out")" $((rounds * 10)) | tr -d '\r' | sed 's/^/  /'
echo "raw rounds (round ms exit-code peak-bytes): $out/MODE-CASE.txt"
