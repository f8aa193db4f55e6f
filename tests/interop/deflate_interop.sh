#!/usr/bin/env bash
# Streams our encoder makes at every level are read by decoders that are not ours: Python's
# zlib, and gzip (its own inflate) through a gzip wrapper made around the raw stream.
me=deflate_interop
source "$(dirname "$0")/common.sh"
tool=$(realpath "${1:?usage: deflate_interop.sh DEFLATE_FILE}")
command -v python3 > /dev/null || fail "python3 is missing"
command -v gzip > /dev/null || fail "gzip is missing"

# Samples: nothing, a byte, noise, C headers and a program of this machine, and all of them
# joined so that blocks of each type follow one another in one stream.
: > "$work/empty"
printf 'q' > "$work/one"
head -c 300000 /dev/urandom > "$work/noise"
# (head closing the pipe early is expected; the file is checked instead.)
find /usr/include -name '*.h' -type f 2>/dev/null | sort | head -400 | xargs cat 2>/dev/null | head -c 600000 > "$work/text" || true
[ -s "$work/text" ] || fail "no headers in /usr/include for the text sample"
head -c 700000 "$(command -v bash)" > "$work/program"
cat "$work/text" "$work/noise" "$work/program" "$work/text" > "$work/joined"

for sample in empty one noise text program joined; do
  for level in fast normal best; do
    raw="$work/$sample.$level"
    "$tool" "$level" "$work/$sample" "$raw"
    # zlib reads the stream; then a plain gzip member around it, for gzip's own decoder.
    python3 - "$work/$sample" "$raw" "$raw.gz" <<'PY' || fail "$sample at $level: zlib disagrees"
import struct, sys, zlib
data, raw = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
d = zlib.decompressobj(-15)
if d.decompress(raw) + d.flush() != data or not d.eof or d.unused_data:
    sys.exit(1)
header = b"\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff"
open(sys.argv[3], "wb").write(header + raw + struct.pack("<II", zlib.crc32(data), len(data) & 0xFFFFFFFF))
PY
    gzip -dc "$raw.gz" | cmp -s - "$work/$sample" || fail "$sample at $level: gzip disagrees"
  done
done
echo "deflate_interop: every stream read back by zlib and gzip"
