#!/usr/bin/env bash
# Installs, as root on Debian, whatever the build and the tests need and is not there yet.
set -euo pipefail
pkgs=(cmake ninja-build clang libclang-rt-14-dev googletest g++-mingw-w64-x86-64-posix
      binutils-mingw-w64-x86-64 wine64 xvfb iproute2 util-linux x11-apps x11-utils imagemagick fonts-liberation
      locales wixl msitools osslsigncode openssl libxml2-utils)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then echo "setup: run as root to install: ${missing[*]}" >&2; exit 1; fi
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes a program's ANSI code page from the Unix locale it starts in: the encoding tests run once
# more under a Cyrillic locale (code page 1251), and once under a locale with no code page of its own
# (65001). Both have to exist on the machine: without it, Wine takes Unix file names as ASCII and
# cannot make one with a letter outside it.
for name in ru_RU hi_IN; do
  if ! locale -a 2>/dev/null | grep -qix "$name.utf-\?8"; then
    if [ "$(id -u)" -ne 0 ]; then echo "setup: run as root to generate the locale $name.UTF-8" >&2; exit 1; fi
    localedef -i "$name" -f UTF-8 "$name.UTF-8"
  fi
done
