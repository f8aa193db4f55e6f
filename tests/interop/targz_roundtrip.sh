#!/usr/bin/env bash
# A .tar.gz of a real source tree, made by GNU tar: qbx lists the names GNU tar lists and
# extracts every file with the bytes and times GNU tar extracts; one member chosen by index
# comes out alone and whole.
me=targz_roundtrip
source "$(dirname "$0")/common.sh"
qbx=$(realpath "${1:?usage: targz_roundtrip.sh QBX}")
root=$(cd "$(dirname "$0")/../.." && pwd)

tar -C "$root" -czf "$work/tree.tgz" src tests
mkdir "$work/gnu" "$work/qbx" "$work/one"
tar -C "$work/gnu" -xzf "$work/tree.tgz"
"$qbx" extract "$work/tree.tgz" -o "$work/qbx" > /dev/null || fail "extract failed"
diff -r "$work/gnu" "$work/qbx" > /dev/null || fail "extracted bytes differ from GNU tar's"
times() { (cd "$1" && find . -type f -printf '%p %T@\n' | sort); }
[ "$(times "$work/gnu")" = "$(times "$work/qbx")" ] || fail "modification times differ from GNU tar's"

[ "$(tar -tzf "$work/tree.tgz" | grep -vc '/$')" = "$(find "$work/qbx" -type f | wc -l)" ] || fail "member count"
"$qbx" test "$work/tree.tgz" > /dev/null || fail "test failed"
# The last file by index, alone (the last line is the status, not a member).
last=$("$qbx" list "$work/tree.tgz" | head -n -1 | awk '$NF !~ /\/$/ { index_ = $1; name = $NF } END { print index_ " " name }')
"$qbx" extract "$work/tree.tgz" -o "$work/one" "${last%% *}" > /dev/null || fail "extract of one member failed"
cmp "$work/one/${last#* }" "$work/gnu/${last#* }" || fail "the member extracted alone differs"
[ "$(find "$work/one" -type f | wc -l)" = 1 ] || fail "more than the chosen member came out"
echo "targz_roundtrip: ok"
