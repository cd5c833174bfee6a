#!/usr/bin/env bash
# Signs kestel.exe and kestel-check.exe with the administrator's code signing certificate, builds
# kestel.msi from the signed programs and signs it too. The build's own files stay unsigned, as every
# build of one commit gives them.
#   scripts/sign.sh --pfx FILE [--password-file FILE] [options]
#   scripts/sign.sh --cert FILE --key FILE [--password-file FILE] [options]
# options: --timestamp URL   an RFC 3161 time stamp server, so that the signature outlives the certificate
#          --build DIR       the windows build (default: build/windows)
#          --out DIR         where the signed files go (default: DIR/signed of the build)
# The password (of the PFX, or of an encrypted key) is read from the file, or else asked for on the
# terminal; it never goes on a command line, where other users of the machine could read it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pfx= cert= key= password_file= timestamp= build=$root/build/windows out=
usage() { sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
    --pfx) pfx=$2; shift 2 ;;
    --cert) cert=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    --password-file) password_file=$2; shift 2 ;;
    --timestamp) timestamp=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) usage ;;
  esac
done
if [ -n "$pfx" ] && [ -z "$cert$key" ]; then
  identity=(-pkcs12 "$pfx")
elif [ -z "$pfx" ] && [ -n "$cert" ] && [ -n "$key" ]; then
  identity=(-certs "$cert" -key "$key")
else
  usage
fi
out=${out:-$build/signed}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "sign: $build is no configured windows build" >&2; exit 2; }

private=$(mktemp -d)
trap 'rm -rf "$private"' EXIT
# A key without a password needs none; a PFX or an encrypted key does.
if [ -z "$password_file" ] && { [ -n "$pfx" ] || grep -q ENCRYPTED "$key"; }; then
  [ -t 0 ] || { echo "sign: no terminal to ask the password on: give --password-file" >&2; exit 2; }
  read -r -s -p "Password: " password
  echo >&2
  password_file=$private/password
  (umask 077 && printf '%s' "$password" >"$password_file")
  unset password
fi
sign=(osslsigncode sign "${identity[@]}" -h sha256 -n Kestel)
[ -z "$password_file" ] || sign+=(-readpass "$password_file")
[ -z "$timestamp" ] || sign+=(-ts "$timestamp")

mkdir -p "$out"
for program in kestel.exe kestel-check.exe; do
  rm -f "$out/$program"
  "${sign[@]}" -in "$build/$program" -out "$out/$program" >/dev/null
done
cmake -DVERSION="$version" -DPROGRAMS="$out" -DOUTPUT="$private/kestel.msi" -P "$root/package/package.cmake"
rm -f "$out/kestel.msi"
"${sign[@]}" -in "$private/kestel.msi" -out "$out/kestel.msi" >/dev/null
(cd "$out" && sha256sum kestel.exe kestel-check.exe kestel.msi)
