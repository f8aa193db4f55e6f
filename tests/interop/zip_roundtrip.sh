#!/usr/bin/env bash
# What qbx writes into a ZIP (a new one, grown twice), unzip, 7zz, Python's zipfile and
# bsdtar test and extract byte for byte with the same times; qbx itself reads it back, and
# grows a ZIP made by Info-ZIP zip that the tool still reads afterwards.
me=zip_roundtrip
source "$(dirname "$0")/common.sh"
qbx=$(realpath "${1:?usage: zip_roundtrip.sh QBX}")

# The tree: text, random bytes around the read buffer's size, an empty file, a UTF-8 name,
# a subfolder; odd seconds, which only the extended timestamp keeps.
src="$work/src"
mkdir -p "$src/sub/deeper"
seq 1 40000 > "$src/text.txt"
head -c 1000 /dev/urandom > "$src/small.bin"
head -c 262144 /dev/urandom > "$src/buffer.bin"
head -c 700001 /dev/urandom > "$src/big.bin"
: > "$src/empty"
printf 'naïve\n' > "$src/sub/naïve €.txt"
seq 1 500 > "$src/sub/deeper/more.txt"
first=(text.txt small.bin empty)
later=(buffer.bin big.bin)
all=("${first[@]}" "${later[@]}" "sub/naïve €.txt" sub/deeper/more.txt)
i=0
for n in "${all[@]}"; do
  touch -d @$((1500000001 + i * 3601)) "$src/$n"
  i=$((i + 1))
done

# Every peer tests the archive and extracts it whole; so does qbx.
# ours: the members from that index on are ours (names flagged as UTF-8).
check_peers() {
  local archive=$1 count=$2 ours=$3; shift 3
  local out="$work/out-$(basename "$archive")"
  rm -rf "$out"
  mkdir -p "$out/unzip" "$out/bsdtar" "$out/qbx"
  unzip -tq "$archive" >/dev/null || fail "unzip -t $archive"
  unzip -q "$archive" -d "$out/unzip" || fail "unzip cannot extract $archive"
  7zz t "$archive" >/dev/null || fail "7zz t $archive"
  7zz x -bd -o"$out/7zz" "$archive" >/dev/null || fail "7zz cannot extract $archive"
  bsdtar -xf "$archive" -C "$out/bsdtar" || fail "bsdtar cannot extract $archive"
  "$qbx" extract "$archive" -o "$out/qbx" >/dev/null || fail "qbx extract $archive"
  for peer in unzip 7zz bsdtar qbx; do compare_tree "$out/$peer" "$peer extracting $archive" "$@"; done
  python3 -m zipfile -t "$archive" >/dev/null || fail "python zipfile -t $archive"
  python3 - "$archive" "$count" "$ours" <<'PY' || fail "python zipfile reads $archive differently"
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    infos = z.infolist()
    assert len(infos) == int(sys.argv[2]), len(infos)
    for i in infos[int(sys.argv[3]):]:
        assert i.flag_bits & 0x800, i.filename
        assert i.compress_type in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED), i.filename
PY
}

for level in fast normal best; do
  archive="$work/ours-$level.zip"
  "$qbx" create "$archive"
  [ "$(stat -c %s "$archive")" = 22 ] || fail "an empty ZIP is not 22 bytes"
  (cd "$src" && "$qbx" add --level "$level" "$archive" "${first[@]}") || fail "qbx add to $archive"
  check_peers "$archive" 3 0 "${first[@]}"
  (cd "$src" && "$qbx" add --level "$level" "$archive" "${later[@]}") || fail "second qbx add to $archive"
  (cd "$src" && "$qbx" add --base-folder --level "$level" "$archive" sub) || fail "third qbx add to $archive"
  "$qbx" test "$archive" >/dev/null || fail "qbx test of $archive"
  check_peers "$archive" 7 0 "${all[@]}"
  unzip -Z1 "$archive" | grep -qx 'sub/deeper/more.txt' || fail "unzip lists other names"
done
[ "$(stat -c %s "$work/ours-best.zip")" -lt "$(stat -c %s "$work/ours-fast.zip")" ] ||
  fail "--level best made no smaller ZIP than --level fast"

# A member renamed to a name of as many bytes and the last member deleted in place: every
# peer accepts the archive and lists the names it now holds. Another length changes nothing.
edited="$work/edited.zip"
(cd "$src" && "$qbx" add "$edited" "${first[@]}") || fail "qbx add to $edited"
"$qbx" rename "$edited" 1 "naïv.bin" || fail "qbx rename in $edited"
cp "$edited" "$work/edited.before"
"$qbx" rename "$edited" 0 longer.txt 2>/dev/null && fail "a rename to another length passed"
"$qbx" prefix "$edited" --prepend x 0 2>/dev/null && fail "a prefix passed"
"$qbx" chmod "$edited" 640 0 2>/dev/null && fail "a ZIP member took a mode"
cmp -s "$edited" "$work/edited.before" || fail "a refused edit changed $edited"
"$qbx" delete-last "$edited" || fail "qbx delete-last in $edited"
names=$'text.txt\nnaïv.bin'
unzip -tq "$edited" >/dev/null || fail "unzip -t $edited"
[ "$(unzip -Z1 "$edited")" = "$names" ] || fail "unzip lists other names in $edited"
unzip -p "$edited" "naïv.bin" | cmp -s - "$src/small.bin" || fail "the renamed member's data differ"
7zz t "$edited" >/dev/null || fail "7zz t $edited"
[ "$(7zz l -slt "$edited" | sed -n 's/^Path = //p' | tail -n +2)" = "$names" ] || fail "7zz lists other names in $edited"
[ "$(bsdtar -tf "$edited")" = "$names" ] || fail "bsdtar lists other names in $edited"
python3 - "$edited" <<'PY' || fail "python zipfile reads $edited differently"
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    assert z.testzip() is None
    assert z.namelist() == ["text.txt", "naïv.bin"], z.namelist()
PY

# A ZIP made by Info-ZIP grows, and Info-ZIP still reads it.
if command -v zip >/dev/null; then
  (cd "$src" && zip -q "$work/info.zip" "${first[@]}")
  (cd "$src" && "$qbx" add "$work/info.zip" "${later[@]}") || fail "qbx add to Info-ZIP's archive"
  check_peers "$work/info.zip" 5 3 "${first[@]}" "${later[@]}"
  # One with a comment stays as it is.
  cp "$work/info.zip" "$work/commented.zip"
  echo "a comment" | zip -qz "$work/commented.zip"
  cp "$work/commented.zip" "$work/commented.before"
  if (cd "$src" && "$qbx" add "$work/commented.zip" empty >/dev/null 2>&1); then fail "a ZIP with a comment grew"; fi
  cmp -s "$work/commented.zip" "$work/commented.before" || fail "a refused add changed the ZIP"
fi
echo "zip_roundtrip: ok"
