#!/usr/bin/env bash
# Builds kestel.exe a second time, from a copy of the sources in another folder into another build
# folder, and compares it byte for byte with the build under test: a build anyone can repeat.
#   scripts/reproducible.sh SOURCE_DIR WINDOWS_BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
again=$build_dir/reproducible
rm -rf "$again"
mkdir -p "$again/src"
tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$again/src" -xf -
(cd "$again/src" && cmake --preset windows -B "$again/build" -DBUILD_TESTING=OFF >/dev/null)
# One job, as the suite's tests share the machine meanwhile.
cmake --build "$again/build" --target kestel -j 1 >/dev/null
sha256sum "$build_dir/kestel.exe" "$again/build/kestel.exe"
cmp "$build_dir/kestel.exe" "$again/build/kestel.exe"
rm -rf "$again"
