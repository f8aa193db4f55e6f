#!/usr/bin/env bash
# What qbx writes, GNU tar and bsdtar read back byte for byte with the same times; what
# they write, qbx extracts byte for byte with the same times. QBX round-trips through qbx.
set -euo pipefail
qbx=$(realpath "${1:?usage: tar_roundtrip.sh QBX}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC LC_ALL=C.UTF-8

fail() { echo "tar_roundtrip: $*" >&2; exit 1; }

# The source tree: sizes around the block and buffer edges, a UTF-8 name, a subfolder.
src="$work/src"
mkdir -p "$src/sub"
names=()
i=0
for size in 0 1 5 511 512 513 262143 262144 262145 700001; do
  name="file-$size.bin"
  head -c "$size" /dev/urandom > "$src/$name"
  touch -d @$((1500000000 + i * 3601)) "$src/$name"
  names+=("$name")
  i=$((i + 1))
done
printf 'naïve\n' > "$src/sub/naïve €.txt"
touch -d @1600000000 "$src/sub/naïve €.txt"
names+=("sub/naïve €.txt")

# Every file of the tree must be in dir with the same bytes and modification time.
compare_tree() {
  local dir=$1 what=$2
  for n in "${names[@]}"; do
    [ -f "$dir/$n" ] || fail "$what: $n missing"
    cmp -s "$src/$n" "$dir/$n" || fail "$what: $n differs"
    [ "$(stat -c %Y "$src/$n")" = "$(stat -c %Y "$dir/$n")" ] || fail "$what: time of $n differs"
  done
}

# qbx writes; GNU tar and bsdtar read.
files=()
for n in "${names[@]}"; do [ "${n#sub/}" = "$n" ] && files+=("$n"); done
for archive in "$work/ours.tar" "$work/ours.qbx"; do
  "$qbx" create "$archive"
  # Files by name, and the folder with its own name in front of its members.
  (cd "$src" && "$qbx" add --utf8 --base-folder "$archive" "${files[@]}" sub) || fail "qbx add to $archive"
  "$qbx" test "$archive" >/dev/null || fail "qbx test of $archive"
done
tar -tvf "$work/ours.tar" >/dev/null || fail "GNU tar cannot list ours.tar"
bsdtar -tvf "$work/ours.tar" >/dev/null || fail "bsdtar cannot list ours.tar"
[ "$(tar -tf "$work/ours.tar" | wc -l)" = "${#names[@]}" ] || fail "GNU tar lists a different count"
mkdir "$work/by-gnutar" "$work/by-bsdtar" "$work/by-qbx"
tar -xf "$work/ours.tar" -C "$work/by-gnutar" || fail "GNU tar cannot extract ours.tar"
bsdtar -xf "$work/ours.tar" -C "$work/by-bsdtar" || fail "bsdtar cannot extract ours.tar"
compare_tree "$work/by-gnutar" "GNU tar extracting ours.tar"
compare_tree "$work/by-bsdtar" "bsdtar extracting ours.tar"
"$qbx" extract "$work/ours.qbx" -o "$work/by-qbx" || fail "qbx extract of ours.qbx"
compare_tree "$work/by-qbx" "qbx extracting ours.qbx"

# GNU tar and bsdtar write; qbx extracts.
(cd "$src" && tar --format=gnu -cf "$work/gnu.tar" "${names[@]}")
(cd "$src" && tar --format=pax -cf "$work/pax.tar" "${names[@]}")
(cd "$src" && bsdtar -cf "$work/bsd.tar" "${names[@]}")
for t in gnu pax bsd; do
  out="$work/from-$t"
  "$qbx" test --utf8 "$work/$t.tar" >/dev/null || fail "qbx test of $t.tar"
  "$qbx" extract --utf8 "$work/$t.tar" -o "$out" || fail "qbx extract of $t.tar"
  compare_tree "$out" "qbx extracting $t.tar"
done

# Appending to a tool-made archive keeps it readable by the tool.
cp "$work/gnu.tar" "$work/grown.tar"
cp "$src/file-5.bin" "$work/extra.bin"
"$qbx" add "$work/grown.tar" "$work/extra.bin"
tar -tf "$work/grown.tar" | grep -qx extra.bin || fail "GNU tar does not see the appended member"
echo "tar_roundtrip: all archives agree"
