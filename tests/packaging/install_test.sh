#!/usr/bin/env bash
# Installs the MSI under Wine in a prefix of its own, for the current user (ALLUSERS="": Wine
# takes the package's own default, ALLUSERS=2 with MSIINSTALLPERUSER=1, as a machine install,
# where Windows installs for the user) and then for the machine (ALLUSERS=1): checks the files, the associations with the .qbx icon,
# qbx on the user's PATH, that the installed qbx.exe works and that "Open with" opens a .zip
# in the window; then uninstalls and checks that nothing is left.
# Usage: install_test.sh MSI ARCHIVE ZIP   (ARCHIVE: any archive qbx.exe can list)
set -euo pipefail
msi=$1 archive=$2 zip=$3
export WINEPREFIX="$(cd "$(dirname "$msi")" && pwd)/wineprefix-install" WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
wineserver -w || true
fail() { echo "install test: $*" >&2; wineserver -k 2>/dev/null || true; exit 1; }
value() { wine reg query "$1" ${2:+/v "$2"} 2>/dev/null | tr -d '\r' || true; }
# The folder a registry value names, as a path here.
unix_of() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }

# "Open with Quillbox" runs the registered command; the window's title names the archive.
opens_in_window() {
  local command
  command=$(value "$1\\Software\\Classes\\Applications\\Quillbox.exe\\shell\\open\\command" | sed -n 's/.*REG_SZ *"\(.*\)" "%1"/\1/p')
  [ -n "$command" ] || return 1
  wine "$command" "$(winepath -w "$zip")" >/dev/null 2>&1 &
  local pid=$! seen=1
  for _ in $(seq 1 60); do
    if xwininfo -root -tree 2>/dev/null | grep -qF "\"$(basename "$zip")\""; then seen=0; break; fi
    sleep 0.5
  done
  kill "$pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  return $seen
}

check_installed() {  # ROOT (HKCU or HKLM)
  local root=$1 exe folder
  exe=$(value "$root\\Software\\Classes\\Quillbox.Archive\\shell\\open\\command" | sed -n 's/.*REG_SZ *"\(.*\)" "%1"/\1/p')
  [ -n "$exe" ] || fail "$root: .qbx files do not open in Quillbox"
  folder=$(dirname "$(unix_of "$exe")")
  [ -f "$folder/Quillbox.exe" ] && [ -f "$folder/qbx.exe" ] || fail "$root: the program files are missing in $folder"
  value "$root\\Software\\Classes\\.qbx" | grep -q 'REG_SZ *Quillbox.Archive' || fail "$root: .qbx is not Quillbox's"
  value "$root\\Software\\Classes\\Quillbox.Archive\\DefaultIcon" | grep -q 'Quillbox.exe",-103' || fail "$root: .qbx has not its own icon"
  value "$root\\Software\\Classes\\.zip\\OpenWithProgids" Quillbox.Archive | grep -q Quillbox.Archive ||
    fail "$root: Quillbox is not offered for .zip"
  find "$WINEPREFIX/drive_c" -iname 'Quillbox.lnk' | grep -q . || fail "$root: no Start menu entry"
  value 'HKCU\Environment' PATH | grep -qiF "${exe%\\*}" || fail "$root: qbx's folder is not on the user's PATH"
  wine "${exe%\\*}\\qbx.exe" test "$(winepath -w "$archive")" >/dev/null || fail "$root: the installed qbx.exe failed"
  opens_in_window "$root" || fail "$root: Open with Quillbox did not open the .zip"
  echo "$folder"
}

check_removed() {  # ROOT FOLDER
  [ ! -e "$2" ] || fail "$1: the program folder is left after uninstalling"
  ! value "$1\\Software\\Classes\\.qbx" | grep -q Quillbox || fail "$1: the association is left after uninstalling"
  ! find "$WINEPREFIX/drive_c" -iname 'Quillbox.lnk' | grep -q . || fail "$1: the Start menu entry is left"
  ! value 'HKCU\Environment' PATH | grep -qi Quillbox || fail "$1: the PATH entry is left"
}

wine msiexec /i "$(winepath -w "$msi")" 'ALLUSERS=""' /qn || fail "msiexec /i (current user) failed"
folder=$(check_installed HKCU | tail -1)
wine msiexec /x "$(winepath -w "$msi")" 'ALLUSERS=""' /qn || fail "msiexec /x (current user) failed"
check_removed HKCU "$folder"

wine msiexec /i "$(winepath -w "$msi")" ALLUSERS=1 /qn || fail "msiexec /i ALLUSERS=1 failed"
folder=$(check_installed HKLM | tail -1)
wine msiexec /x "$(winepath -w "$msi")" ALLUSERS=1 /qn || fail "msiexec /x ALLUSERS=1 failed"
check_removed HKLM "$folder"
wineserver -k 2>/dev/null || true
echo "install test: installed, used and removed, for the user and for the machine"
