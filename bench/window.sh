#!/usr/bin/env bash
# The window under Wine with 100 000 members, against qbx.exe list under the same Wine: the
# UI test that opens such an archive, selects every row and tests it prints its times.
set -euo pipefail
source "$(dirname "$0")/common.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/cmake_cache.sh"
build="${QBX_WINDOWS_BUILD:-$root/build/windows}"
forget_stale_cache "$build"
if ! { cmake -S "$root" -B "$build" -DQBX_TESTS=ON -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DQBX_WERROR=ON &&
       cmake --build "$build" -j"$(nproc)"; } > "$BENCH_WORK/window-build.log" 2>&1; then
  cat "$BENCH_WORK/window-build.log"
  exit 1
fi
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}" WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] || { wineboot -i >/dev/null 2>&1 || true; wineserver -w || true; }

# The same shape as the UI test's archive: 100 000 members of one block each.
work="$BENCH_WORK/window"
mkdir -p "$work"
[ -f "$work/many.tar" ] || make_tar "$work/many.tar" 100000 "dir%03d/m%06d.txt" 1
list_t=$(median_seconds 3 wine "$build/qbx.exe" list "$(winepath -w "$work/many.tar" 2>/dev/null)")

wineserver -k 2>/dev/null || true
log="$work/ui.log"
xvfb-run -a bash -c "wine reg add 'HKCU\\Software\\Wine\\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
cd '$build' && wine ./quillbox_ui_tests.exe --gtest_filter='UiBigArchive.*'" > "$log" 2>&1 || { cat "$log"; exit 1; }
wineserver -k 2>/dev/null || true
line=$(grep '^100 000 members:' "$log")
echo "$line"
number() { echo "$line" | sed -E "s/.*$1.*/\\1/"; }
opened=$(number 'opened in ([0-9.]+) s')
selected=$(number 'tested in ([0-9.]+) s with every')
none=$(number 'and ([0-9.]+) s with none')
report "window open 100 000: window / qbx.exe list" "$opened" "$list_t"
report "window Test: every row selected / none" "$selected" "$none"
# Select All has no peer to compare with: its own time, which should stay within 0.2 s.
printf '%-44s %8.3f s\n' "window Select All 100 000" "$(number 'all selected in ([0-9.]+) s')"
