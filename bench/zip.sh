#!/usr/bin/env bash
# Testing GZ and ZIP files against gzip, pigz, 7zz, libdeflate-gunzip and unzip, on one
# corpus of about 120 MB of headers, text and binaries taken from this machine.
set -euo pipefail
source "$(dirname "$0")/common.sh"
work="$BENCH_WORK/zip"
mkdir -p "$work"
runs=${BENCH_RUNS:-5}

# Files from one folder until about `limit` bytes, as paths relative to /.
take() {
  local folder=$1 limit=$2
  find "$folder" -type f -readable -size -20M -printf '%s %P\n' 2>/dev/null | sort -k2 |
    awk -v limit="$limit" -v prefix="${folder#/}/" '{ total += $1; if (total > limit) next; sub(/^[0-9]+ /, ""); print prefix $0 }'
}

if [ ! -f "$work/corpus.tar" ]; then
  { take /usr/include 40000000; take /usr/share 40000000; take /usr/lib 40000000; } > "$work/files.txt"
  tar -C / -cf "$work/corpus.tar" --ignore-failed-read -T "$work/files.txt" 2>/dev/null || true
  rm -rf "$work/tree"
  mkdir -p "$work/tree"
  tar -C "$work/tree" -xf "$work/corpus.tar"
  gzip -6 -c "$work/corpus.tar" > "$work/corpus.tar.gz"
  (cd "$work/tree" && zip -q -6 -r "$work/corpus.zip" .)
  (cd "$work/tree" && 7zz a -bd -tzip -mm=Deflate64 "$work/corpus64.zip" . > /dev/null)
fi
printf 'corpus: %s MB in %s files\n' "$(( $(stat -c %s "$work/corpus.tar") / 1000000 ))" "$(wc -l < "$work/files.txt")"

gz="$work/corpus.tar.gz"
# The TAR inside tested member by member, as a user runs it: qbx decodes the stream once
# (it does not list before a test), as the other tools do.
qbx_gz=$(median_seconds "$runs" "$QBX" test "$gz")
report "test GZ: qbx / gzip -t" "$qbx_gz" "$(median_seconds "$runs" gzip -t "$gz")"
report "test GZ: qbx / pigz -t" "$qbx_gz" "$(median_seconds "$runs" pigz -t "$gz")"
report "test GZ: qbx / 7zz t" "$qbx_gz" "$(median_seconds "$runs" 7zz t "$gz")"
if command -v libdeflate-gunzip > /dev/null; then
  report "test GZ: qbx / libdeflate-gunzip -t" "$qbx_gz" "$(median_seconds "$runs" libdeflate-gunzip -t "$gz")"
fi

zip="$work/corpus.zip"
qbx_zip=$(median_seconds "$runs" "$QBX" test "$zip")
report "test ZIP: qbx / unzip -tqq" "$qbx_zip" "$(median_seconds "$runs" unzip -tqq "$zip")"
report "test ZIP: qbx / 7zz t" "$qbx_zip" "$(median_seconds "$runs" 7zz t "$zip")"

zip64="$work/corpus64.zip"
report "test Deflate64 ZIP: qbx / 7zz t" "$(median_seconds "$runs" "$QBX" test "$zip64")" \
  "$(median_seconds "$runs" 7zz t "$zip64")"

# The corpus written to a pipe: every member's sizes follow its data in a descriptor.
streamed="$work/streamed.zip"
if [ ! -f "$streamed" ]; then
  python3 - "$work/tree" "$streamed" <<'PY'
import io, os, sys, zipfile
class Pipe(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
with open(sys.argv[2], "wb") as raw, zipfile.ZipFile(Pipe(raw), "w", zipfile.ZIP_DEFLATED) as z:
    for folder, _, files in sorted(os.walk(sys.argv[1])):
        for name in sorted(files):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                z.write(path, os.path.relpath(path, sys.argv[1]))
PY
fi
report "test ZIP with descriptors: qbx / 7zz t" "$(median_seconds "$runs" "$QBX" test "$streamed")" \
  "$(median_seconds "$runs" 7zz t "$streamed")"

# ZipCrypto, as zip -P writes it.
crypt="$work/crypt.zip"
[ -f "$crypt" ] || (cd "$work/tree" && zip -q -6 -r -P secret "$crypt" .)
report "test ZipCrypto ZIP: qbx / 7zz t" "$(median_seconds "$runs" "$QBX" test --password secret "$crypt")" \
  "$(median_seconds "$runs" 7zz t -psecret "$crypt")"

# Memory stays flat whatever the size: the largest resident set of one test. Assigned one
# by one, so that a failing test stops the benchmark.
rss() {
  local out
  if ! out=$(/usr/bin/time -f '%M' "$@" 2>&1 >/dev/null); then
    printf 'bench: failed: %s\n%s\n' "$*" "$out" >&2
    return 1
  fi
  printf '%s\n' "$out" | tail -1
}
if [ -x /usr/bin/time ]; then
  gz_rss=$(rss "$QBX" test "$gz")
  zip_rss=$(rss "$QBX" test "$zip")
  zip64_rss=$(rss "$QBX" test "$zip64")
  printf 'peak memory of qbx test: GZ %s KB, ZIP %s KB, Deflate64 ZIP %s KB\n' \
    "$gz_rss" "$zip_rss" "$zip64_rss"
fi
