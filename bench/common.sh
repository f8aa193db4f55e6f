# Shared by the benchmarks: median wall time of repeated runs, and ratios.

# median_seconds RUNS COMMAND...: runs the command RUNS times (output discarded) and prints
# the median wall time in seconds.
median_seconds() {
  local runs=$1; shift
  local times=()
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

# report LABEL OURS THEIRS: prints both times and ours/theirs (below 1 means we are faster).
report() {
  printf '%-44s %8.3f s vs %8.3f s   ratio %.2f\n' "$1" "$2" "$3" "$(echo "$2 / $3" | bc -l)"
}
