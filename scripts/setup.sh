#!/usr/bin/env bash
# Installs, as root on Debian, whatever the build and the tests need and is not there yet.
set -euo pipefail
pkgs=(cmake ninja-build clang libclang-rt-14-dev googletest g++-mingw-w64-x86-64-posix
      binutils-mingw-w64-x86-64 wine64 xvfb iproute2 util-linux x11-apps x11-utils imagemagick fonts-liberation)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then echo "setup: run as root to install: ${missing[*]}" >&2; exit 1; fi
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
