#!/usr/bin/env bash
# What qbx writes, GNU tar and bsdtar read back byte for byte with the same times; what
# they write, qbx extracts byte for byte with the same times. QBX round-trips through qbx.
me=tar_roundtrip
source "$(dirname "$0")/common.sh"
qbx=$(realpath "${1:?usage: tar_roundtrip.sh QBX}")

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
# Paths of 150 to 400 bytes with non-ASCII names: long-name records in every TAR flavour.
# QBX holds 256 bytes of name, so they go only into the TAR archives.
deep="sub/$(printf 'ä%.0s' $(seq 1 60))/$(printf 'd%.0s' $(seq 1 90))/$(printf 'e%.0s' $(seq 1 90))"
mkdir -p "$src/$deep"
long_names=("sub/$(printf 'l%.0s' $(seq 1 140)).txt" "$deep/Grüße $(printf 'g%.0s' $(seq 1 80)).txt")
for n in "${long_names[@]}"; do
  printf 'long %s\n' "${#n}" > "$src/$n"
  touch -d @1600000000 "$src/$n"
done

# qbx writes; GNU tar and bsdtar read.
files=()
for n in "${names[@]}"; do [ "${n#sub/}" = "$n" ] && files+=("$n"); done
for archive in "$work/ours.tar" "$work/ours.qbx"; do
  "$qbx" create "$archive"
  # Files by name, and the folder with its own name in front of its members.
  (cd "$src" && "$qbx" add --utf8 --base-folder "$archive" "${files[@]}" sub) || fail "qbx add to $archive"
  "$qbx" test "$archive" >/dev/null || fail "qbx test of $archive"
done
# The same folder without --utf8: long names still go out whole, as UTF-8 pax records.
"$qbx" create "$work/plain.tar"
(cd "$src" && "$qbx" add --base-folder "$work/plain.tar" sub) || fail "qbx add to plain.tar"
all=("${names[@]}" "${long_names[@]}")
[ "$(tar -tf "$work/ours.tar" | wc -l)" = "${#all[@]}" ] || fail "GNU tar lists a different count"
for tool in tar bsdtar; do
  mkdir "$work/$tool-ours" "$work/$tool-plain"
  "$tool" -xf "$work/ours.tar" -C "$work/$tool-ours" || fail "$tool cannot extract ours.tar"
  compare_tree "$work/$tool-ours" "$tool extracting ours.tar" "${all[@]}"
  "$tool" -xf "$work/plain.tar" -C "$work/$tool-plain" "${long_names[@]}" || fail "$tool cannot extract plain.tar"
  compare_tree "$work/$tool-plain" "$tool extracting plain.tar" "${long_names[@]}"
done
mkdir "$work/by-qbx"
"$qbx" extract "$work/ours.qbx" -o "$work/by-qbx" || fail "qbx extract of ours.qbx"
compare_tree "$work/by-qbx" "qbx extracting ours.qbx" "${names[@]}"

# GNU tar, bsdtar and Python write; qbx extracts, without being told the names are UTF-8.
(cd "$src" && tar --format=gnu -cf "$work/gnu.tar" "${all[@]}")
(cd "$src" && tar --format=pax -cf "$work/pax.tar" "${all[@]}")
(cd "$src" && bsdtar -cf "$work/bsd.tar" "${all[@]}")
(cd "$src" && python3 -c 'import sys, tarfile
with tarfile.open(sys.argv[1], "w", format=tarfile.GNU_FORMAT) as t:
    for n in sys.argv[2:]: t.add(n, recursive=False)' "$work/python.tar" "${all[@]}")
for t in gnu pax bsd python; do
  out="$work/from-$t"
  "$qbx" test "$work/$t.tar" >/dev/null || fail "qbx test of $t.tar"
  "$qbx" extract "$work/$t.tar" -o "$out" || fail "qbx extract of $t.tar"
  compare_tree "$out" "qbx extracting $t.tar" "${all[@]}"
done

# Appending to a tool-made archive keeps it readable by the tool.
cp "$work/gnu.tar" "$work/grown.tar"
cp "$src/file-5.bin" "$work/extra.bin"
"$qbx" add "$work/grown.tar" "$work/extra.bin"
tar -tf "$work/grown.tar" | grep -qx extra.bin || fail "GNU tar does not see the appended member"
echo "tar_roundtrip: all archives agree"
