# shellcheck shell=bash
# Shared by the benchmarks (sourced, not run).

# Runs a command three times: prints "seconds peak_kib" of the fastest run.
best_of_three() {
  local best="" line
  for _ in 1 2 3; do
    line=$(/usr/bin/time -f '%e %M' "$@" 2>&1 >/dev/null | tail -n 1)
    if [ -z "$best" ] || awk -v a="${line%% *}" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then
      best=$line
    fi
  done
  echo "$best"
}
