#!/usr/bin/env bash
# Our Deflate encoder against Info-ZIP zip -1 and -6, pigz -6 and 7zz's Deflate at -mx=9, on one TAR of
# about 100 MB of this machine's files: headers, documents, programs and libraries, and files
# that are compressed already. Prints times (median of BENCH_RUNS) and sizes as ratios,
# ours over theirs: below 1 means we are faster or smaller.
set -euo pipefail
source "$(dirname "$0")/common.sh"
work="$BENCH_WORK/deflate"
mkdir -p "$work"
runs=${BENCH_RUNS:-3}
tool="${DEFLATE_FILE:-$(dirname "$QBX")/deflate_file}"
[ -x "$tool" ] || { echo "bench: no encoder tool at $tool (build with QBX_TESTS=ON)" >&2; exit 1; }

# Files from one folder until about `limit` bytes, as paths relative to /.
take() {
  local folder=$1 limit=$2; shift 2
  find "$folder" -type f -readable -size -20M "$@" -printf '%s %P\n' 2>/dev/null | sort -k2 |
    awk -v limit="$limit" -v prefix="${folder#/}/" '{ total += $1; if (total > limit) next; sub(/^[0-9]+ /, ""); print prefix $0 }'
}

corpus="$work/corpus.tar"
if [ ! -f "$corpus" ]; then
  packed=(\( -name '*.gz' -o -name '*.xz' -o -name '*.bz2' -o -name '*.zip' -o -name '*.jar' -o -name '*.png' -o -name '*.jpg' \))
  { take /usr/include 25000000; take /usr/share 30000000 -not "${packed[@]}"; take /usr/lib 35000000 -not "${packed[@]}";
    take /usr/share 12000000 "${packed[@]}"; } > "$work/files.txt"
  tar -C / -cf "$corpus" --ignore-failed-read -T "$work/files.txt" 2>/dev/null || true
fi
size=$(stat -c %s "$corpus")
printf 'corpus: %s MB in %s files\n' "$((size / 1000000))" "$(wc -l < "$work/files.txt")"

# Each maker writes a fresh file (zip would otherwise update the old archive).
ours() { "$tool" "$1" "$corpus" "$work/ours-$1.raw"; }
infozip() { rm -f "$work/zip$1.zip"; zip -q "$1" "$work/zip$1.zip" "$corpus"; }
piggz() { pigz -c "$@" "$corpus" > "$work/pigz.gz"; }
sevenzip() { rm -f "$work/7zz.zip"; 7zz a -bd -tzip -mx=9 -mmt=1 "$work/7zz.zip" "$corpus" > /dev/null; }

# Every stream of ours must give the corpus back, read by zlib.
check() {
  python3 - "$corpus" "$work/ours-$1.raw" <<'PY' || { echo "bench: level $1 does not inflate back" >&2; exit 1; }
import sys, zlib
data, raw = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
sys.exit(0 if zlib.decompress(raw, -15) == data else 1)
PY
}

# sizes LABEL OURS THEIRS: the two sizes in bytes and ours/theirs.
sizes() {
  printf '%-44s %10d B vs %10d B  ratio %.4f\n' "$1" "$2" "$3" "$(echo "$2 / $3" | bc -l)"
}

for pair in "fast -1" "normal -6"; do
  set -- $pair
  ours_t=$(median_seconds "$runs" ours "$1")
  theirs_t=$(median_seconds "$runs" infozip "$2")
  check "$1"
  report "deflate $1: ours / zip $2 (time)" "$ours_t" "$theirs_t"
  sizes "deflate $1: ours / zip $2 (size)" "$(stat -c %s "$work/ours-$1.raw")" "$(stat -c %s "$work/zip$2.zip")"
done
if command -v pigz > /dev/null; then
  # pigz on one core, then on all: the encoder itself, and what threads add to it.
  ours_t=$(median_seconds "$runs" ours normal)
  report "deflate normal: ours / pigz -6 -p 1 (time)" "$ours_t" "$(median_seconds "$runs" piggz -6 -p 1)"
  report "deflate normal: ours / pigz -6 (time, $(nproc) cores)" "$ours_t" "$(median_seconds "$runs" piggz -6)"
  sizes "deflate normal: ours / pigz -6 (size)" "$(stat -c %s "$work/ours-normal.raw")" "$(stat -c %s "$work/pigz.gz")"
fi
if command -v 7zz > /dev/null; then
  ours_t=$(median_seconds "$runs" ours best)
  theirs_t=$(median_seconds 1 sevenzip)
  check best
  report "deflate best: ours / 7zz -tzip -mx=9 -mmt=1 (time)" "$ours_t" "$theirs_t"
  sizes "deflate best: ours / 7zz -tzip -mx=9 (size)" "$(stat -c %s "$work/ours-best.raw")" "$(stat -c %s "$work/7zz.zip")"
fi

# The corpus as one file added to a new ZIP: the product's path for a large member, whose
# pieces are deflated on every core. Info-ZIP and 7zz (-mmt=1 above) each use one here.
qbx_one() { rm -f "$work/qbx-one-$1.zip"; "$QBX" add "$work/qbx-one-$1.zip" "$corpus" --level "$1" > /dev/null; }
for pair in "fast -1" "normal -6"; do
  set -- $pair
  report "add one file $1: qbx / zip $2 (time, $(nproc) cores)" "$(median_seconds "$runs" qbx_one "$1")" \
    "$(median_seconds "$runs" infozip "$2")"
  sizes "add one file $1: qbx / zip $2 (size)" "$(stat -c %s "$work/qbx-one-$1.zip")" "$(stat -c %s "$work/zip$2.zip")"
done
if command -v 7zz > /dev/null; then
  report "add one file best: qbx / 7zz -tzip -mx=9 -mmt=1 (time, $(nproc) cores)" "$(median_seconds 1 qbx_one best)" \
    "$(median_seconds 1 sevenzip)"
  sizes "add one file best: qbx / 7zz -tzip -mx=9 (size)" "$(stat -c %s "$work/qbx-one-best.zip")" "$(stat -c %s "$work/7zz.zip")"
fi

# The same files as a folder added to a new ZIP: what a user waits for. Members are
# deflated on every core; Info-ZIP uses one, 7zz all of them.
tree="$work/tree"
if [ ! -f "$tree/.complete" ]; then
  rm -rf "$tree"
  mkdir -p "$tree"
  tar -C "$tree" -xf "$corpus"
  # Folders whose names begin with a dot are never added by qbx; the others would add them.
  find "$tree/usr" -name '.*' -prune -exec rm -rf {} +
  touch "$tree/.complete"
fi
qbx_add() { rm -f "$work/qbx-$1.zip"; "$QBX" add "$work/qbx-$1.zip" "$tree/usr" --level "$1"; }
zip_add() { rm -f "$work/zip-r$1.zip"; (cd "$tree" && zip -q -r "$1" "$work/zip-r$1.zip" usr); }
sevenzip_add() { rm -f "$work/7zz-r.zip"; (cd "$tree" && 7zz a -bd -tzip -mx=9 "$work/7zz-r.zip" usr > /dev/null); }
for pair in "fast -1" "normal -6"; do
  set -- $pair
  report "add folder $1: qbx / zip -r $2 (time, $(nproc) cores)" "$(median_seconds "$runs" qbx_add "$1")" \
    "$(median_seconds "$runs" zip_add "$2")"
  sizes "add folder $1: qbx / zip -r $2 (size)" "$(stat -c %s "$work/qbx-$1.zip")" "$(stat -c %s "$work/zip-r$2.zip")"
done
if command -v 7zz > /dev/null; then
  report "add folder best: qbx / 7zz -tzip -mx=9 (time, $(nproc) cores)" "$(median_seconds 1 qbx_add best)" \
    "$(median_seconds 1 sevenzip_add)"
  sizes "add folder best: qbx / 7zz -tzip -mx=9 (size)" "$(stat -c %s "$work/qbx-best.zip")" "$(stat -c %s "$work/7zz-r.zip")"
fi
