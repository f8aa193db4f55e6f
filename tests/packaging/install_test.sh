#!/usr/bin/env bash
# Installs build/Quillbox.msi under Wine in a prefix of its own, checks the files, the
# association and that the installed qbx.exe works, then uninstalls and checks that nothing
# is left. Usage: install_test.sh MSI ARCHIVE   (ARCHIVE: any archive qbx.exe can list)
set -euo pipefail
msi=$1 archive=$2
export WINEPREFIX="$(cd "$(dirname "$msi")" && pwd)/wineprefix-install" WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
wineserver -w || true
fail() { echo "install test: $*" >&2; wineserver -k 2>/dev/null || true; exit 1; }
value() { wine reg query "$1" ${2:+/v "$2"} 2>/dev/null | tr -d '\r' || true; }
program="$WINEPREFIX/drive_c/Program Files/Quillbox"

wine msiexec /i "$(winepath -w "$msi")" /qn || fail "msiexec /i failed"
[ -f "$program/Quillbox.exe" ] && [ -f "$program/qbx.exe" ] || fail "the program files are missing"
value 'HKLM\Software\Classes\.qbx' | grep -q 'REG_SZ *Quillbox.Archive' || fail ".qbx does not open in Quillbox"
value 'HKLM\Software\Classes\.zip\OpenWithProgids' Quillbox.Archive | grep -q Quillbox.Archive ||
  fail "Quillbox is not offered for .zip"
value 'HKLM\Software\Classes\Quillbox.Archive\shell\open\command' |
  grep -qF '"C:\Program Files\Quillbox\Quillbox.exe" "%1"' || fail "the open command is wrong"
find "$WINEPREFIX/drive_c" -iname 'Quillbox.lnk' | grep -q . || fail "no Start menu entry"
wine "C:\\Program Files\\Quillbox\\qbx.exe" test "$(winepath -w "$archive")" >/dev/null || fail "the installed qbx.exe failed"

wine msiexec /x "$(winepath -w "$msi")" /qn || fail "msiexec /x failed"
[ ! -e "$program" ] || fail "the program folder is left after uninstalling"
! value 'HKLM\Software\Classes\.qbx' | grep -q Quillbox || fail "the association is left after uninstalling"
find "$WINEPREFIX/drive_c" -iname 'Quillbox.lnk' | grep -q . && fail "the Start menu entry is left"
wineserver -k 2>/dev/null || true
echo "install test: installed, used and removed"
