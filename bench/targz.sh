#!/usr/bin/env bash
# A .tar.gz of real files (1 GB unpacked unless BENCH_TARGZ_MB says otherwise): listing
# against bsdtar -tzf and GNU tar -tzf, the listing's peak memory, and one member of at
# least 1 MB near the end of the open archive against a test of every member.
set -euo pipefail
source "$(dirname "$0")/common.sh"
work="$BENCH_WORK/targz"
mkdir -p "$work"
runs=${BENCH_RUNS:-3}
megabytes=${BENCH_TARGZ_MB:-1024}
archive="$work/real-$megabytes.tgz"

if [ ! -f "$archive" ]; then
  # Files of this machine in a stable order, until the size is reached.
  find /usr/lib /usr/share /usr/include -xdev -type f -size -64M -printf '%s\t%p\n' 2>/dev/null | sort -k2 |
    awk -F'\t' -v limit=$((megabytes << 20)) '{ total += $1; print $2; if (total >= limit) exit }' > "$work/files" ||
    [ -s "$work/files" ]  # awk's early exit ends the pipe's writers
  tar -czf "$archive" --ignore-failed-read -T "$work/files" 2>/dev/null || [ -s "$archive" ]
fi
unpacked=$(gzip -l "$archive" | awk 'NR == 2 { print $2 }')
echo "archive: $(du -m "$archive" | cut -f1) MB packed, about $((unpacked >> 20)) MB unpacked (modulo 4 GiB)"

qbx_list=$(median_seconds "$runs" "$QBX" list "$archive")
report "list .tar.gz: qbx / bsdtar -tzf" "$qbx_list" "$(median_seconds "$runs" bsdtar -tzf "$archive")"
report "list .tar.gz: qbx / tar -tzf" "$qbx_list" "$(median_seconds "$runs" tar -tzf "$archive")"
if [ -x /usr/bin/time ]; then
  printf '%-44s %8s KB\n' "list .tar.gz: qbx peak memory" "$(/usr/bin/time -f '%M' "$QBX" list "$archive" 2>&1 >/dev/null | tail -1)"
fi
driver="$(dirname "$QBX")/qbx_bench_targz"
read -r one all size index < <("$driver" "$archive" 1048576)
report "test member $index ($size bytes) / test of all" "$one" "$all"
