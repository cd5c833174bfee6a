#!/usr/bin/env bash
# kestel.msi through Wine's real msiexec, in the suite's prefix and user profile (ctest gives it the
# user session's lock): signed with a throwaway certificate, installed, run, refused where it must be,
# upgraded with and without a follower running, and removed; kestel.ini stays byte for byte.
#   tests/package/package-e2e.sh WINDOWS_BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
wine=$build/wine-run.sh
prefix=${KESTEL_WINEPREFIX:-$build/wineprefix}
user=$(id -un)
dir=$prefix/drive_c/users/$user/AppData/Local/Programs/Kestel
windir="C:\\users\\$user\\AppData\\Local\\Programs\\Kestel"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
pending='HKLM\System\CurrentControlSet\Control\Session Manager'
work=$(mktemp -d "$build/package-e2e.XXXXXX")
winwork=$("$wine" winepath -w "$work" 2>/dev/null | tr -d '\r')
follower=

fail() { echo "FAILED: $*" >&2; exit 1; }
# msiexec's exit code reaches us through the Unix process, which keeps its low 8 bits only.
expect_msiexec() {
  local want=$1 code=0
  shift
  "$wine" msiexec "$@" /qn </dev/null >/dev/null 2>&1 || code=$?
  [ "$code" -eq $((want % 256)) ] || fail "msiexec $*: exit code $code, not $want (mod 256: $((want % 256)))"
}
run_entry() { "$wine" reg query "$run_key" /v Kestel 2>/dev/null | tr -d '\r' | sed -n 's/^ *Kestel *REG_SZ *//p'; }
wait_for_line() {
  for _ in $(seq 300); do grep -q "$1" "$dir/kestel.log" 2>/dev/null && return 0; sleep 0.1; done
  fail "no line '$1' in kestel.log: $(cat "$dir/kestel.log" 2>/dev/null)"
}
cleanup() {
  set +e
  if [ -n "$follower" ]; then "$wine" "$windir\\kestel.exe" /stop; timeout 20 tail --pid="$follower" -f /dev/null; fi
  for package in next.msi signed/kestel.msi; do "$wine" msiexec /x "$winwork\\$package" /qn >/dev/null 2>&1; done
  rm -rf "$dir"
  # Wine's msiexec leaves the replacement of a file in use to the next start of Windows.
  "$wine" reg delete "$pending" /v PendingFileRenameOperations /f >/dev/null 2>&1
  for key in 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' 'HKCU\Software\Microsoft\Internet Explorer\Main'; do
    [ -f "$work/${key##*\\}.reg" ] && "$wine" reg import "$winwork\\${key##*\\}.reg" >/dev/null 2>&1
  done
  rm -rf "$work"
}
trap cleanup EXIT
# The installed Kestel's runs put proxy sets into force: the user's are put back at the end.
for key in 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' 'HKCU\Software\Microsoft\Internet Explorer\Main'; do
  "$wine" reg export "$key" "$winwork\\${key##*\\}.reg" /y >/dev/null 2>&1
done

# Signing: a throwaway certificate, the programs and the package built from them signed and verified,
# and the signature moved onto the build's own program gives the signed file byte for byte.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kestel test signing" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
printf 'pass word' >"$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.pfx" -passout "file:$work/password"
bash "$root/scripts/sign.sh" --pfx "$work/signer.pfx" --password-file "$work/password" --build "$build" \
  --out "$work/signed" >/dev/null
for file in kestel.exe kestel-check.exe kestel.msi; do
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/$file" >/dev/null || fail "$file: not verified"
done
osslsigncode extract-signature -in "$work/signed/kestel.exe" -out "$work/signature.der" >/dev/null
osslsigncode attach-signature -sigin "$work/signature.der" -CAfile "$work/cert.pem" -in "$build/kestel.exe" \
  -out "$work/resigned.exe" >/dev/null
cmp "$work/resigned.exe" "$work/signed/kestel.exe" || fail "the moved signature does not give the signed kestel.exe"

# The next version, from the unsigned programs: after an upgrade the installed files tell which went in.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
next=${version%.*}.$((${version##*.} + 1))
cmake -DVERSION="$next" -DPROGRAMS="$build" -DOUTPUT="$work/next.msi" -P "$root/package/package.cmake"

# First, as Wine forgets a product's upgrade code once an upgrade has removed the product before it: an
# older version refuses to go over a newer one.
echo "refused: an older version over a newer one"
expect_msiexec 0 /i "$winwork\\next.msi"
expect_msiexec 1603 /i "$winwork\\signed\\kestel.msi"
expect_msiexec 0 /x "$winwork\\next.msi"

echo "install: both programs, the Run entry, no kestel.ini"
expect_msiexec 0 /i "$winwork\\signed\\kestel.msi"
cmp "$dir/kestel.exe" "$work/signed/kestel.exe" || fail "kestel.exe is not the signed one"
cmp "$dir/kestel-check.exe" "$work/signed/kestel-check.exe" || fail "kestel-check.exe is not the signed one"
[ "$(run_entry)" = "\"$windir\\kestel.exe\"" ] || fail "Run entry: '$(run_entry)'"
[ ! -e "$dir/kestel.ini" ] || fail "the package installed a kestel.ini"

echo "the signed, installed kestel.exe makes a run with a kestel.ini placed beside it"
ini() {
  printf '[SCRIPTS]\r\nfollow=%s\r\nlogfile=kestel.log\r\n[connection]\r\nserver=127.0.0.1\r\n[user]\r\nusername=alice\r\npassword=s3cret\r\n' "$1"
  printf '[awayinternetsettings]\r\nawayproxyenabled=0\r\nawayproxyserver=\r\nawayproxyexceptions=\r\nawayhomepage=about:blank\r\n'
  printf '[localinternetsettings]\r\nlocalproxyenabled=0\r\nlocalproxyserver=\r\nlocalproxyexceptions=\r\nlocalhomepage=about:blank\r\n'
}
ini 0 >"$dir/kestel.ini"
"$wine" "$windir\\kestel.exe" </dev/null >/dev/null 2>&1 || fail "the installed kestel.exe ended with $?"
grep -q 'end: home run complete, exit code 0' "$dir/kestel.log" || fail "no complete run: $(cat "$dir/kestel.log")"

echo "refused: for all users"
expect_msiexec 1603 /i "$winwork\\signed\\kestel.msi" ALLUSERS=1

echo "upgrade while a follower runs from the installed kestel.exe"
ini 1 >"$dir/kestel.ini"
cp "$dir/kestel.ini" "$work/kestel.ini.before"
"$wine" "$windir\\kestel.exe" </dev/null >/dev/null 2>&1 &
follower=$!
wait_for_line 'follow: following'
# Wine's msiexec has no Restart Manager to close the follower: the file in use is left as it is, whole,
# its replacement waits for the next start of Windows, and msiexec says so with 3010.
expect_msiexec 3010 /i "$winwork\\next.msi"
cmp "$dir/kestel.exe" "$work/signed/kestel.exe" || fail "kestel.exe was changed under the follower"
cmp "$dir/kestel-check.exe" "$build/kestel-check.exe" || fail "kestel-check.exe was not upgraded"
cmp "$dir/kestel.ini" "$work/kestel.ini.before" || fail "the upgrade changed kestel.ini"
kill -0 "$follower" 2>/dev/null || fail "the follower ended during the upgrade"
"$wine" "$windir\\kestel.exe" /stop </dev/null >/dev/null 2>&1
timeout 20 tail --pid="$follower" -f /dev/null || fail "the follower did not end after /stop"
wait "$follower" || fail "the follower ended with $?"
follower=
wait_for_line 'follow: stopped by /stop, exit code 0'

echo "removal: the programs and the Run entry go, kestel.ini and the record stay"
expect_msiexec 0 /x "$winwork\\next.msi"
[ ! -e "$dir/kestel.exe" ] || fail "kestel.exe is left"
[ ! -e "$dir/kestel-check.exe" ] || fail "kestel-check.exe is left"
[ -z "$(run_entry)" ] || fail "the Run entry is left"
cmp "$dir/kestel.ini" "$work/kestel.ini.before" || fail "removal touched kestel.ini"
[ -s "$dir/kestel.log" ] || fail "removal took the run record"
rm -f "$dir"/msi*.tmp
"$wine" reg delete "$pending" /v PendingFileRenameOperations /f >/dev/null 2>&1 || true

echo "without the Run entry, and an upgrade keeps it left out"
expect_msiexec 0 /i "$winwork\\signed\\kestel.msi" ADDLOCAL=Kestel
cmp "$dir/kestel.exe" "$work/signed/kestel.exe" || fail "ADDLOCAL=Kestel did not install kestel.exe"
[ -z "$(run_entry)" ] || fail "ADDLOCAL=Kestel left a Run entry"
expect_msiexec 0 /i "$winwork\\next.msi"
[ -z "$(run_entry)" ] || fail "the upgrade put the Run entry back"
cmp "$dir/kestel.exe" "$build/kestel.exe" || fail "the upgrade did not replace kestel.exe"
cmp "$dir/kestel.ini" "$work/kestel.ini.before" || fail "the upgrade changed kestel.ini"
expect_msiexec 0 /x "$winwork\\next.msi"
echo "passed"
