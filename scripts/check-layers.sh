#!/usr/bin/env bash
# The layers point one way: nothing in base/, env/, net/, launch/ or ui/ includes from app/, so each
# of them can be built and tested without the run above them.
#   scripts/check-layers.sh [SOURCE_DIR]
set -uo pipefail
cd "${1:-$(dirname "$0")/..}" || exit 2
grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]([.][.]/)*app/' base env net launch ui
case $? in
  0) echo "above: includes from app/ in a layer below it" >&2; exit 1 ;;
  1) exit 0 ;;
  *) exit 2 ;;
esac
