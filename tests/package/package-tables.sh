#!/usr/bin/env bash
# kestel.msi read with msiinfo, against what Windows Installer asks of a package that installs into
# the user's profile: a key path under HKCU for every component there, every folder it makes there
# removed with it, no elevation, a refusal to install for all users; and what the product needs: its
# version, the upgrade that carries feature states over, the Run entry in a feature of its own, and no
# kestel.ini.
#   tests/package/package-tables.sh PACKAGE VERSION
set -euo pipefail
package=$1
version=$2
status=0
fail() { echo "FAILED: $*" >&2; status=1; }
# Rows without the three header lines, columns split on tabs.
rows() { msiinfo export "$package" "$1" | tr -d '\r' | tail -n +4; }

summary=$(msiinfo suminfo "$package")
grep -qx 'Template: x64;1033' <<<"$summary" || fail "not a 64-bit package: $(grep Template <<<"$summary")"
# Word count 8: a package that needs no elevation; 2: compressed.
grep -qx 'Source: 10 (a)' <<<"$summary" || fail "the package asks for elevation: $(grep Source <<<"$summary")"

rows Property | grep -qx "ProductVersion	$version" || fail "ProductVersion is not $version"
! rows Property | grep -q '^ALLUSERS	' || fail "ALLUSERS is set: the package would install for all users"
rows LaunchCondition | grep -qx 'NOT ALLUSERS	.*' || fail "no refusal of a per-machine install"
rows LaunchCondition | grep -qx 'NOT WIX_DOWNGRADE_DETECTED	.*' || fail "no refusal of a downgrade"
rows Upgrade | awk -F'\t' '$7 == "WIX_UPGRADE_DETECTED" && $3 == "'"$version"'" && $5 % 2 == 1 { found = 1 } END { exit !found }' ||
  fail "no upgrade of older versions that carries feature states over"

# Folders of the user's profile: LocalAppDataFolder and everything below it.
profile=$(rows Directory | awk -F'\t' '{ parent[$1] = $2 } END {
  for (d in parent) { for (p = d; p != ""; p = parent[p]) if (p == "LocalAppDataFolder") { print d; break } } }')
for folder in $profile; do
  [ "$folder" = LocalAppDataFolder ] && continue
  rows RemoveFile | awk -F'\t' -v d="$folder" '$4 == d && $3 == "" && int($5 / 2) % 2 == 1 { found = 1 } END { exit !found }' ||
    fail "folder $folder is not removed on uninstall"
done
# Tabs as field separators would run empty columns together.
while IFS='|' read -r component directory attributes keypath; do
  grep -qx "$directory" <<<"$profile" || continue
  (( attributes & 4 )) || fail "component $component in the profile has no registry key path"
  rows Registry | awk -F'\t' -v k="$keypath" '$1 == k && $2 == 1 { found = 1 } END { exit !found }' ||
    fail "component $component: key path $keypath is not under HKCU"
done < <(rows Component | awk -F'\t' '{ print $1 "|" $3 "|" $4 "|" $6 }')

rows Registry | grep -qx $'[^\t]*\t1\tSoftware\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run\tKestel\t"\\[INSTALLDIR\\]kestel.exe"\tRunEntry' ||
  fail "no Run entry with the quoted path in component RunEntry"
[ "$(rows FeatureComponents | awk -F'\t' '$2 == "RunEntry" { print $1 }')" = RunAtLogon ] ||
  fail "the Run entry is not alone in feature RunAtLogon"
! rows File | awk -F'\t' '{ print tolower($3) }' | grep -q 'kestel\.ini' || fail "the package installs a kestel.ini"
exit $status
