#!/usr/bin/env bash
# Takes pictures of the window for the README: the status display during an away run, and the logon
# dialog of a home run without credentials. The runs happen inside Wine's virtual desktop, which
# draws the caption bar that a bare Xvfb (no window manager) leaves out.
#   scripts/screenshots.sh [OUTDIR]        default OUTDIR: docs/screenshots
# KESTEL_BUILD (default build/screenshots) is the build folder, as for scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${KESTEL_BUILD:-build/screenshots}
out=$(realpath -m "${1:-docs/screenshots}")

if [ -z "${KESTEL_IN_NETNS:-}" ]; then
  bash scripts/setup.sh
  cmake --preset windows -B "$build/windows" >/dev/null
  cmake --build "$build/windows" --target kestel_e2e_tests
  # Only loopback: the away run's server name fails to resolve at once and nothing leaves the machine.
  if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
    exec env KESTEL_IN_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
  fi
fi

bin=$root/$build/windows
prefix=$bin/wineprefix-screenshots
source scripts/wine-session.sh
wine_session_start "$prefix" reuse "" 1024x768x24

# Every program of this prefix runs inside one virtual desktop, which draws caption bars itself; it is
# tall enough for the logon dialog at 150 %, which grows down from the centred status window.
"$wine64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Shots /f >/dev/null 2>&1
"$wine64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Shots /t REG_SZ /d 800x600 /f >/dev/null 2>&1
"$wineserver" -w

# The end-to-end tests that look at the window keep a picture of it, frame included, as test output:
# at 100 %, and at 150 % (144 dpi, which the row sets in this prefix and puts back).
rm -rf "$bin/test-output"
KESTEL_TOOLS=$bin "$wine64" "$bin/kestel_e2e_tests.exe" \
  --gtest_filter='StatusWindow.LooksAsDesignedWhileTheRunGoesOn:LogonDialog.GrowsDownwardsWithTheFocusInUserName'
KESTEL_TOOLS=$bin "$wine64" "$bin/kestel_e2e_tests.exe" \
  --gtest_filter='DisplayScale/DisplayScale.TheWindowAndTheDialogScaleAsOne/At144'
mkdir -p "$out"
for name in status-window logon-dialog status-window-150 logon-dialog-150; do
  convert "$bin/test-output/$name.bmp" "$out/$name.png"
  echo "$out/$name.png"
done
