#!/usr/bin/env bash
# ZIPs past the 32-bit fields, made by qbx: a member of more than 4 GiB (a sparse source, so
# it costs no disk) and 70 000 members in one folder add. unzip, 7zz, bsdtar and Python's
# zipfile accept both and see what went in; qbx lists and tests them itself. Takes a minute
# natively; under sanitizers QBX_SKIP_LARGE=1 leaves it out.
[ "${QBX_SKIP_LARGE:-0}" = 1 ] && { echo "zip_large: skipped"; exit 0; }
me=zip_large
source "$(dirname "$0")/common.sh"
qbx=$(realpath "${1:?usage: zip_large.sh QBX}")

# 4 GiB and a bit of zeros, a few bytes of text at its end: sizes need ZIP64 fields, the
# compressed data do not.
big="$work/big"
mkdir "$big"
truncate -s $((4 * 1024 * 1024 * 1024 + 12345)) "$big/huge.bin"
printf 'the end' | dd of="$big/huge.bin" bs=1 seek=$((4 * 1024 * 1024 * 1024 + 12338)) conv=notrunc status=none
# The CRC-32 the member must carry, from the same bytes made in memory: the peers' tests
# check the data against the one stored.
crc=$(python3 -c '
import zlib
zeros, c, left = bytes(1 << 24), 0, 4 * 1024**3 + 12338
while left: n = min(left, len(zeros)); c = zlib.crc32(zeros[:n], c); left -= n
print("%08x" % zlib.crc32(b"the end", c))')
(cd "$big" && "$qbx" add --level fast "$work/huge.zip" huge.bin) || fail "qbx add of a 4 GiB file"
"$qbx" test "$work/huge.zip" > /dev/null || fail "qbx test of the 4 GiB member"
unzip -tqq "$work/huge.zip" || fail "unzip -t rejects the 4 GiB member"
7zz t "$work/huge.zip" > /dev/null || fail "7zz t rejects the 4 GiB member"
python3 - "$work/huge.zip" "$crc" <<'PY' || fail "Python's zipfile disagrees on the 4 GiB member"
import sys, zipfile, zlib
with zipfile.ZipFile(sys.argv[1]) as z:
    (info,) = z.infolist()
    assert info.file_size == 4 * 1024**3 + 12345, info.file_size
    assert "%08x" % info.CRC == sys.argv[2], info.CRC
PY
[ "$(bsdtar -tvf "$work/huge.zip" | awk '{ print $5 }')" = $((4 * 1024 * 1024 * 1024 + 12345)) ] ||
  fail "bsdtar lists another size"
rm -f "$big/huge.bin"

# 70 000 small files: the count needs the ZIP64 end records.
many="$work/many"
mkdir -p "$many/m"
python3 - "$many/m" <<'PY'
import os, sys
for i in range(70000):
    d = os.path.join(sys.argv[1], "d%02d" % (i % 50))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "f%05d.txt" % i), "w") as f: f.write("file %d\n" % i)
PY
(cd "$many" && "$qbx" add "$work/many.zip" m > /dev/null) || fail "qbx add of 70 000 files"
files=$(unzip -Z1 "$work/many.zip" | grep -vc '/$') || true
[ "$files" = 70000 ] || fail "unzip lists $files files"
unzip -tqq "$work/many.zip" || fail "unzip -t rejects the 70 000 members"
7zz t "$work/many.zip" > /dev/null || fail "7zz t rejects the 70 000 members"
[ "$(bsdtar -tf "$work/many.zip" | grep -vc '/$')" = 70000 ] || fail "bsdtar lists another count"
python3 - "$work/many.zip" <<'PY' || fail "Python's zipfile disagrees on the 70 000 members"
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    names = [n for n in z.namelist() if not n.endswith("/")]
    assert len(names) == 70000, len(names)
    assert z.read("d07/f12357.txt") == b"file 12357\n"
    assert z.testzip() is None
PY
"$qbx" test "$work/many.zip" > /dev/null || fail "qbx test of 70 000 members"
listed=$("$qbx" list "$work/many.zip" | head -n -1 | grep -vc '/$') || true
[ "$listed" = 70000 ] || fail "qbx lists $listed files"
mkdir "$work/out"
"$qbx" extract "$work/many.zip" -o "$work/out" > /dev/null || fail "qbx extract of 70 000 members"
diff -r "$many/m" "$work/out" > /dev/null || fail "70 000 members extract to other bytes"
echo "zip_large: ok"
