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
