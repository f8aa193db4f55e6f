# What the interop scripts share, sourced with $me set to the script's name: strict mode, a
# scratch folder $work removed on exit, UTC and UTF-8, fail, and compare_tree.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC LC_ALL=C.UTF-8
fail() { echo "$me: $*" >&2; exit 1; }

# compare_tree DIR WHAT NAME...: every NAME of the tree $src is in DIR with the same bytes
# and modification time.
compare_tree() {
  local dir=$1 what=$2; shift 2
  for n in "$@"; do
    [ -f "$dir/$n" ] || fail "$what: $n missing"
    cmp -s "$src/$n" "$dir/$n" || fail "$what: $n differs"
    [ "$(stat -c %Y "$src/$n")" = "$(stat -c %Y "$dir/$n")" ] || fail "$what: time of $n differs"
  done
}
