#!/usr/bin/env bash
# Builds kestel.exe and kestel.msi a second time, from a copy of the sources in another folder into
# another build folder, and compares them with the build under test: kestel.exe byte for byte, the
# package by its content (scripts/package-content.sh). A build anyone can repeat.
#   scripts/reproducible.sh SOURCE_DIR WINDOWS_BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
again=$build_dir/reproducible
rm -rf "$again"
mkdir -p "$again/src"
tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$again/src" -xf -
# The copy has no history: the package's files take the commit's time from here.
SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
(cd "$again/src" && cmake --preset windows -B "$again/build" -DBUILD_TESTING=OFF >/dev/null)
# One job, as the suite's tests share the machine meanwhile.
cmake --build "$again/build" --target kestel_msi -j 1 >/dev/null
sha256sum "$build_dir/kestel.exe" "$again/build/kestel.exe"
cmp "$build_dir/kestel.exe" "$again/build/kestel.exe"
bash "$source_dir/scripts/package-content.sh" "$build_dir/kestel.msi" "$again/content-first"
bash "$source_dir/scripts/package-content.sh" "$again/build/kestel.msi" "$again/content-again"
diff -r "$again/content-first" "$again/content-again"
rm -rf "$again"
