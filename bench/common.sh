# Shared by the benchmarks: median wall time of repeated runs, and ratios.

# median_seconds RUNS COMMAND...: runs the command RUNS times (output discarded) and prints
# the median wall time in seconds. A run that fails prints the command and its errors and
# makes median_seconds fail: the time of a failed command measures nothing.
median_seconds() {
  local runs=$1; shift
  local times=() errors status
  errors=$(mktemp)
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s.%N)
    status=0
    "$@" >/dev/null 2>"$errors" || status=$?
    end=$(date +%s.%N)
    if [ "$status" -ne 0 ]; then
      {
        echo "bench: failed with exit status $status: $*"
        tail -20 "$errors"
      } >&2
      rm -f "$errors"
      return 1
    fi
    times+=("$(echo "$end - $start" | bc -l)")
  done
  rm -f "$errors"
  printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

# report LABEL OURS THEIRS: prints both times and ours/theirs (below 1 means we are faster).
# Ends the benchmark when a time is missing: median_seconds failed inside "$(...)", which
# does not stop the script by itself.
report() {
  local number='^[0-9]*\.?[0-9]+$'
  if ! [[ $2 =~ $number && $3 =~ $number ]]; then
    echo "bench: $1: no time, a command failed" >&2
    exit 1
  fi
  printf '%-44s %8.3f s vs %8.3f s   ratio %.2f\n' "$1" "$2" "$3" "$(echo "$2 / $3" | bc -l)"
}

# make_tar FILE COUNT NAME_FORMAT DATA_BYTES: a ustar archive of COUNT members of DATA_BYTES
# each, written directly (making the files would take longer). NAME_FORMAT takes the
# member's thousand and its index: "dir%03d/m%06d.txt".
make_tar() {
  python3 - "$@" <<'PY'
import sys
path, count, form, size = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4])
data = b"x" * size + b"\0" * (-size % 512)
with open(path, "wb") as out:
    for i in range(count):
        h = bytearray(512)
        name = (form % (i // 1000, i)).encode()
        h[0:len(name)] = name
        h[100:108] = b"0000644\0"; h[108:116] = b"0001750\0"; h[116:124] = b"0001750\0"
        h[124:136] = ("%011o\0" % size).encode(); h[136:148] = b"14500000000\0"; h[156:157] = b"0"
        h[257:263] = b"ustar\0"; h[263:265] = b"00"; h[148:156] = b" " * 8
        h[148:156] = ("%06o\0 " % sum(h)).encode()
        out.write(h); out.write(data)
    out.write(b"\0" * 1024)
PY
}
