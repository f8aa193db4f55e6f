#!/usr/bin/env bash
# TAR listing, extraction and appending against GNU tar, bsdtar and cp.
set -euo pipefail
source "$(dirname "$0")/common.sh"
work="$BENCH_WORK/tar"
mkdir -p "$work"
runs=${BENCH_RUNS:-5}

# 100 000 members of 100 bytes each, written directly (creating the files would take longer).
[ -f "$work/many.tar" ] || make_tar "$work/many.tar" 100000 "dir%03d/member-%06d.txt" 100
# A million empty members (512 MB), and the first 10 000 of them.
if [ ! -f "$work/million.tar" ]; then
  make_tar "$work/million.tar" 1000000 "d%04d/m%07d" 0
  { head -c $((10000 * 512)) "$work/million.tar"; head -c 1024 /dev/zero; } > "$work/tenk.tar"
fi
report "list 1 000 000 members: qbx / tar -tvf" "$(median_seconds 3 "$QBX" list "$work/million.tar")" \
  "$(median_seconds 3 tar -tvf "$work/million.tar")"
# Peak memory of a test stays flat from 10 000 to 1 000 000 members: no row is kept.
if [ -x /usr/bin/time ]; then
  small=$(/usr/bin/time -f '%M' "$QBX" test "$work/tenk.tar" 2>&1 >/dev/null | tail -1)
  large=$(/usr/bin/time -f '%M' "$QBX" test "$work/million.tar" 2>&1 >/dev/null | tail -1)
  printf '%-44s %8s KB vs %8s KB   growth %s KB\n' "test peak memory: 1 000 000 / 10 000 members" "$large" "$small" \
    "$((large - small))"
fi

# 200 MB in 50 files of 4 MB.
if [ ! -f "$work/big.tar" ]; then
  mkdir -p "$work/src"
  for i in $(seq 1 50); do head -c 4000000 /dev/urandom > "$work/src/part-$i.bin"; done
  (cd "$work/src" && tar -cf "$work/big.tar" .)
  head -c 200000000 /dev/urandom > "$work/one.bin"
fi

qbx_list=$(median_seconds "$runs" "$QBX" list "$work/many.tar")
gnu_list=$(median_seconds "$runs" tar -tvf "$work/many.tar")
bsd_list=$(median_seconds "$runs" bsdtar -tvf "$work/many.tar")
report "list 100 000 members: qbx / tar -tvf" "$qbx_list" "$gnu_list"
report "list 100 000 members: qbx / bsdtar -tvf" "$qbx_list" "$bsd_list"

extract_qbx() { rm -rf "$work/x"; "$QBX" extract "$work/big.tar" -o "$work/x"; }
extract_tar() { rm -rf "$work/x"; mkdir -p "$work/x"; tar -xf "$work/big.tar" -C "$work/x"; }
qbx_x=$(median_seconds "$runs" extract_qbx)
tar_x=$(median_seconds "$runs" extract_tar)
report "extract 200 MB TAR: qbx / tar -xf" "$qbx_x" "$tar_x"

# 10 000 small files in 100 folders: the cost per file of extracting and adding.
if [ ! -f "$work/tenk-files.tar" ]; then
  rm -rf "$work/files"
  for d in $(seq 1 100); do
    mkdir -p "$work/files/d$d"
    for f in $(seq 1 100); do echo "file $d $f" > "$work/files/d$d/f$f.txt"; done
  done
  tar -cf "$work/tenk-files.tar" -C "$work/files" .
fi
extract_files_qbx() { rm -rf "$work/x"; "$QBX" extract "$work/tenk-files.tar" -o "$work/x"; }
extract_files_tar() { rm -rf "$work/x"; mkdir -p "$work/x"; tar -xf "$work/tenk-files.tar" -C "$work/x"; }
report "extract 10 000 files: qbx / tar -xf" "$(median_seconds "$runs" extract_files_qbx)" \
  "$(median_seconds "$runs" extract_files_tar)"
add_files_qbx() { rm -f "$work/files.tar"; "$QBX" add "$work/files.tar" "$work/files"; }
add_files_bsdtar() { rm -f "$work/files.tar"; bsdtar -cf "$work/files.tar" -C "$work" files; }
# As with cp below: the add is on the disk when it reports success, bsdtar's archive only after sync.
add_files_bsdtar_synced() { add_files_bsdtar; sync "$work/files.tar"; }
add_files_t=$(median_seconds "$runs" add_files_qbx)
report "add folder of 10 000 files: qbx / bsdtar -cf + sync" "$add_files_t" \
  "$(median_seconds "$runs" add_files_bsdtar_synced)"
report "add folder of 10 000 files: qbx / bsdtar -cf" "$add_files_t" "$(median_seconds "$runs" add_files_bsdtar)"

# Opening a missing archive creates it, so one process does the whole add.
add_tar() { rm -f "$work/add.tar"; "$QBX" add "$work/add.tar" "$work/one.bin"; }
add_qbx() { rm -f "$work/add.qbx"; "$QBX" add "$work/add.qbx" "$work/one.bin"; }
# An add reports success only once its data are on the disk (fsync), so the fair copy syncs
# too; the plain cp line shows what that promise costs.
copy() { rm -f "$work/copy.bin"; cp "$work/one.bin" "$work/copy.bin"; }
copy_synced() { copy; sync "$work/copy.bin"; }
cp_t=$(median_seconds "$runs" copy)
cp_sync_t=$(median_seconds "$runs" copy_synced)
add_tar_t=$(median_seconds "$runs" add_tar)
add_qbx_t=$(median_seconds "$runs" add_qbx)
report "add 200 MB file to TAR: qbx / cp + sync" "$add_tar_t" "$cp_sync_t"
report "add 200 MB file to QBX: qbx / cp + sync" "$add_qbx_t" "$cp_sync_t"
report "add 200 MB file to QBX: qbx / cp (no sync)" "$add_qbx_t" "$cp_t"
# Testing reads every byte through the data checksum; tar -xOf only copies them to a pipe.
add_qbx >/dev/null
tar -cf "$work/one.tar" -C "$work" one.bin
report "test 200 MB QBX member: qbx / tar -xOf" "$(median_seconds "$runs" "$QBX" test "$work/add.qbx")" \
  "$(median_seconds "$runs" tar -xOf "$work/one.tar")"
rm -rf "$work/x" "$work/add.tar" "$work/add.qbx" "$work/copy.bin" "$work/one.tar" "$work/files.tar"
