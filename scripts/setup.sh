#!/usr/bin/env bash
# Installs, as root on Debian, whatever the build and the tests need and is not there yet.
set -euo pipefail
pkgs=(cmake ninja-build clang libclang-rt-14-dev googletest g++-mingw-w64-x86-64-posix
      binutils-mingw-w64-x86-64 wine64 xvfb iproute2 util-linux x11-apps x11-utils imagemagick fonts-liberation
      locales libxml2-utils)
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
# more under a Cyrillic locale (code page 1251), which has to exist on the machine.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
  if [ "$(id -u)" -ne 0 ]; then echo "setup: run as root to generate the locale ru_RU.UTF-8" >&2; exit 1; fi
  localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
