# shellcheck shell=bash
# Shared by the benchmarks (sourced, not run); brings in
# scripts/lib/bench_helpers.sh (win, the pid helpers, drop_proxies, ...).

bench_lib_dir=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
# shellcheck source=scripts/lib/bench_helpers.sh
source "$bench_lib_dir/../scripts/lib/bench_helpers.sh"

# Benchmarks run from the top of the source tree (build/, scripts/); sets
# `root` to it.
enter_source_tree() {
  root=$(realpath "$bench_lib_dir/..")
  cd "$root" || exit
}

# Prints VALUE when it is a positive whole number of MiB, else stops with
# the usage line USAGE.
mib_argument() {
  [[ $1 =~ ^[1-9][0-9]*$ ]] || usage_error "$2"
  echo "$1"
}

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

# Builds TARGETS in build/windows (the windows preset), or in the already
# configured build tree VELMO_BUILD_DIR when that is set; sets `build`.
bench_windows_build() {
  if [ -n "${VELMO_BUILD_DIR:-}" ]; then
    build=$(realpath "$VELMO_BUILD_DIR")
    cmake --build "$build" --target "$@" >/dev/null
  else
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target "$@" >/dev/null
    build="$(pwd)/build/windows"
  fi
}

bench_wine="$bench_lib_dir/../scripts/wine-bench.sh"
bench_net="$bench_lib_dir/../tests/network/net-bench.sh"

# Brings up the Wine bench of $build unless it is up already, and exports
# its variables; stop_started_benches stops only what was started here.
# Started before any measurement, so that only a program's own start under
# Wine is timed.
start_wine_bench() {
  bench_started_wine=0
  if ! "$BASH" "$bench_wine" status "$build"; then
    bench_started_wine=1
    "$BASH" "$bench_wine" start "$build" 2>/dev/null
  fi
  eval "$("$BASH" "$bench_wine" env "$build")"
}

# The same for the Wine bench and the network bench. Requests never go
# through a proxy.
start_benches() {
  drop_proxies
  start_wine_bench
  bench_started_net=0
  if ! "$BASH" "$bench_net" status "$build"; then
    bench_started_net=1
    "$BASH" "$bench_net" start "$build"
  fi
  eval "$("$BASH" "$bench_net" env "$build")"
}

stop_started_benches() {
  if [ "${bench_started_net:-0}" = 1 ]; then
    "$BASH" "$bench_net" stop "$build" || true
  fi
  if [ "${bench_started_wine:-0}" = 1 ]; then
    "$BASH" "$bench_wine" stop "$build" 2>/dev/null || true
  fi
}

# Prints the seconds COMMAND took.
seconds_of() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}

# Runs COMMAND $runs (default 3) times and prints the median seconds.
median_seconds() {
  local times=() _
  for _ in $(seq "${runs:-3}"); do
    times+=("$(seconds_of "$@")")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# Peak resident memory in KiB of the Windows program NAME (as Wine shows it,
# e.g. velmo-diag.exe) of this Wine prefix while COMMAND runs: VmHWM, the
# kernel's high-water mark, read every 50 ms. Wine starts the program as a
# child of nobody we wait for, so /usr/bin/time would not see it.
peak_kib_of_wine_program() {
  local name=$1 runner peak=0 pid hwm
  shift
  "$@" >/dev/null &
  runner=$!
  while pid_alive "$runner"; do
    for pid in $(pgrep -x "$name" || true); do
      pid_has_wineprefix "$pid" "$WINEPREFIX" || continue
      hwm=$(awk '$1 == "VmHWM:" { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
      if [ -n "$hwm" ] && [ "$hwm" -gt "$peak" ]; then
        peak=$hwm
      fi
    done
    sleep 0.05
  done
  wait "$runner"
  echo "$peak"
}

# Bytes read (rchar of /proc/PID/io) by COMMAND and every process it
# started, Wine's included: the kernel adds a process's counters to its
# parent's when the parent reaps it. Wine starts a Windows program detached
# (it forks twice), so this waiter makes itself the subreaper that inherits
# such orphans, and reaps them too.
rchar_of() {
  python3 - "$@" <<'PY'
import ctypes, os, subprocess, sys, time

PR_SET_CHILD_SUBREAPER = 36

def rchar():
    with open("/proc/self/io") as io:
        for line in io:
            if line.startswith("rchar:"):
                return int(line.split()[1])

ctypes.CDLL(None).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
before = rchar()
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, check=True)
deadline = time.monotonic() + 30
while time.monotonic() < deadline:
    try:
        pid, _ = os.waitpid(-1, os.WNOHANG)
    except ChildProcessError:
        break
    if pid == 0:
        time.sleep(0.01)
print(rchar() - before)
PY
}
