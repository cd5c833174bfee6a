# Sourced by the scripts that run Windows programs under Wine: finds Wine, starts one Xvfb, boots or
# reuses a prefix, starts the prefix's services and desktop outside the caller's output, and stops
# all of it, by process id, when the caller exits.
#   source scripts/wine-session.sh
#   wine_session_start PREFIX fresh|reuse [KEEPER_EXE] [SCREEN]
# SCREEN is Xvfb's (default 1280x800x24), or "current" to use the display there is.
# Afterwards DISPLAY, WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES are exported for the prefix, and
# $wine64 and $wineserver name Wine's programs.
#   wine_session_system_dll FILE
# then puts a DLL of our own into the prefix's system folder, where WINEDLLOVERRIDES picks it over
# Wine's own.

wine64=$(command -v /usr/lib/wine/wine64 || command -v wine64)
wineserver=$(command -v /usr/lib/wine/wineserver || command -v wineserver)
wine_session_prefix=
wine_session_xvfb_pid=
wine_session_keeper_pid=

wine_session_stop() {
  if [ -n "$wine_session_keeper_pid" ]; then
    kill "$wine_session_keeper_pid" 2>/dev/null || true
    wait "$wine_session_keeper_pid" 2>/dev/null || true
  fi
  if [ -n "$wine_session_prefix" ]; then
    WINEPREFIX=$wine_session_prefix timeout 20 "$wineserver" -w 2>/dev/null ||
      WINEPREFIX=$wine_session_prefix "$wineserver" -k 2>/dev/null || true
  fi
  if [ -n "$wine_session_xvfb_pid" ]; then
    kill "$wine_session_xvfb_pid" 2>/dev/null || true
    wait "$wine_session_xvfb_pid" 2>/dev/null || true
  fi
}

# Whether this prefix's desktop runs. Other sessions' desktops may run beside it: a test that started
# before this one's would start the services itself and they would hold the test's output open.
wine_session_desktop_up() {
  local pid
  for pid in $(pgrep -f 'explorer.exe /desktop'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$wine_session_prefix" && return 0
  done
  return 1
}

wine_session_start() {
  local prefix=$1 mode=$2 keeper=${3:-} screen=${4:-1280x800x24}
  wine_session_prefix=$prefix
  trap wine_session_stop EXIT
  if [ "$screen" != current ]; then
    # One display per prefix, so that several suites can run side by side.
    local display=:$(( 100 + $(printf '%s' "$prefix" | cksum | cut -d' ' -f1) % 800 ))
    Xvfb "$display" -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
    wine_session_xvfb_pid=$!
    export DISPLAY=$display
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  fi
  if [ "$mode" = fresh ] || [ ! -f "$prefix/system.reg" ]; then
    bash "$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh" "$prefix"
  fi
  export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;mpr=n,b;wininet=n,b"
  # Wine's service processes and its desktop start with the first program that needs them and
  # inherit its output. Left to a test, they would hold ctest's pipe open until they end; an idle
  # program started here, with its output elsewhere, starts them and keeps them up until the stop.
  if [ -n "$keeper" ]; then
    "$wine64" "$keeper" </dev/null >/dev/null 2>&1 &
    wine_session_keeper_pid=$!
    for _ in $(seq 600); do wine_session_desktop_up && break; sleep 0.1; done
  fi
}

# Kestel loads the DLLs it loads itself (wininet, crypt32) from the system folder only, so a stand-in
# for one of them goes there; the prefix is wine64's, so that is the 64-bit folder. With NAME=n,b in
# WINEDLLOVERRIDES every program of the prefix that loads NAME then gets the stand-in; Wine's own
# services and desktop load neither wininet nor crypt32.
wine_session_system_dll() {
  install -m 644 "$1" "$wine_session_prefix/drive_c/windows/system32/"
}
