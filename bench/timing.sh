# Sourced by the benchmark scripts.
# median_ms command...: the median wall time of 11 runs, in milliseconds.
median_ms() {
  for _ in $(seq 11); do
    s=$(date +%s%N); "$@" >/dev/null 2>&1; e=$(date +%s%N)
    echo $(( (e - s) / 1000 ))
  done | sort -n | sed -n 6p | awk '{printf "%.1f", $1 / 1000}'
}
