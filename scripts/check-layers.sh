#!/usr/bin/env bash
# The layers point one way: a folder of the product includes only from itself and from folders of a
# lower floor, so each can be built and tested without what stands above it. Folders on one floor
# know nothing of each other.
#   scripts/check-layers.sh [SOURCE_DIR]
# Exit 0: every include points down; 1: one reaches up or sideways, or a folder has no floor; 2: error.
set -uo pipefail
cd "${1:-$(dirname "$0")/..}" || exit 2

# The floor of every folder of the product, lowest first.
declare -A floor=(
  [base]=0                                  # text, errors, handles: below everything
  [env]=1 [net]=1 [launch]=1 [ui]=1          # the platform's pieces, each on its own
  [settings]=1                               # kestel.ini, its keys, the stored password
  [proxy]=2                                  # the proxy sets, over the settings
  [record]=3 [check]=3                       # the run's record; the settings checker
  [run]=4                                    # the logon run
  [follow]=5                                 # the follower, after the run
  [app]=6                                    # the entry
)
# Folders outside the product, which may include from anywhere.
outside=" tests bench cmake docs scripts build "

status=0
for dir in */; do
  dir=${dir%/}
  [[ $outside == *" $dir "* || $dir == build* ]] && continue
  if [[ -z ${floor[$dir]+set} ]]; then
    if find "$dir" -name '*.cpp' -o -name '*.h' | grep -q .; then
      echo "$dir/: a folder of the product without a floor in $0" >&2
      status=1
    fi
    continue
  fi
  hits=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]([.][.]/)*[A-Za-z0-9_]+/' \
         --include='*.h' --include='*.cpp' --include='*.rc' "$dir")
  (($? <= 1)) || exit 2
  while IFS= read -r hit; do
    [[ -n $hit ]] || continue
    # hit: path:line:#include "from/..."
    from=$(sed -E 's#^[^:]*:[0-9]+:[[:space:]]*\#[[:space:]]*include[[:space:]]*["<]([.][.]/)*([A-Za-z0-9_]+)/.*#\2#' <<<"$hit")
    if [[ $from == tests || $from == bench ]]; then
      echo "$hit: $dir/ includes from $from/, which is no part of the product" >&2
      status=1
    elif [[ $from != "$dir" && -n ${floor[$from]+set} ]] && ((floor[$from] >= floor[$dir])); then
      echo "$hit: $dir/ (floor ${floor[$dir]}) includes from $from/ (floor ${floor[$from]})" >&2
      status=1
    fi
  done <<<"$hits"
done
exit $status
