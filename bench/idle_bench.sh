#!/usr/bin/env bash
# What the assistant costs while it waits for the user: the window on Ready
# with the pointer away, the CPU time its process (and the prefix's
# wineserver) used over 10 seconds. The peer, measured the same way in the
# same run, is the smallest window program of ours under Wine (the stand-in
# workbench: one window, no timer), so the figure says what the assistant
# adds to Wine's own idle cost. Then the assistant's size as built and
# stripped.
#
#   bench/idle_bench.sh [SECONDS]     (default 10)
#
# Uses build/windows (the windows preset), or VELMO_BUILD_DIR. Brings up the
# Wine bench and the network bench unless they are up already, and stops
# only what it started. Replaces the bench's www/policy.json.
set -euo pipefail

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/bench_lib.sh"
# shellcheck source=scripts/lib/window_probe.sh
source "$bench_lib_dir/../scripts/lib/window_probe.sh"
enter_source_tree
seconds=${1:-10}
[[ $seconds =~ ^[1-9][0-9]*$ ]] || usage_error "bench/idle_bench.sh [SECONDS]"
bench_windows_build velmo-assistant velmo-pack velmo-workbench-standin velmo_env_run \
  velmo_add_root_cert
assistant="$build/src/velmo-assistant.exe"
standin="$build/tools/standins/velmo-workbench-standin.exe"
env_run="$build/tests/network/velmo_env_run.exe"
wine_run="$root/scripts/wine-run.sh"
ticks_per_second=$(getconf CLK_TCK)
readonly ticks_per_second

work=""
runner=""
# shellcheck disable=SC2317 # called by trap
cleanup() {
  [ -z "$runner" ] || kill_windows_programs_naming "$(win "$work")"
  [ -z "$work" ] || rm -rf "$work"
  rm -f "${probe_shot_tmp:-}"
  stop_started_benches
}
trap cleanup EXIT
start_benches
work=$(mktemp -d)
probe_init "$build"
"$root/scripts/publish-release.sh" "$build" 1.0.0 >/dev/null

# The Unix pid of the Windows program whose command line names WORD (not
# the helper that started it, whose command line names it too).
windows_pid_of() {
  local dir exe cmdline
  for dir in /proc/[0-9]*; do
    exe=$(readlink "$dir/exe" 2>/dev/null) || continue
    [[ ${exe##*/} == wine* ]] || continue
    cmdline=$(tr '\0' ' ' 2>/dev/null <"$dir/cmdline") || continue
    if [[ $cmdline == *"$1"* && $cmdline != *velmo_env_run* ]]; then
      echo "${dir#/proc/}"
      return
    fi
  done
}

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# CPU milliseconds of PID and of the prefix's wineserver over $seconds.
idle_cost() {
  local pid=$1 server before server_before
  server=$(for candidate in $(pgrep -x wineserver64 || true); do
    if pid_has_wineprefix "$candidate" "$WINEPREFIX"; then
      echo "$candidate"
    fi
  done | head -n 1)
  [ -n "$server" ] || die "no wineserver of $WINEPREFIX"
  before=$(cpu_ticks "$pid")
  server_before=$(cpu_ticks "$server")
  sleep "$seconds"
  echo $((($(cpu_ticks "$pid") - before) * 1000 / ticks_per_second)) \
    $((($(cpu_ticks "$server") - server_before) * 1000 / ticks_per_second))
}

probe_xdotool mousemove 0 0

# The assistant on Ready: after the check, the policy and the intro glow.
mkdir -p "$work/data" "$work/IDE"
"$wine_run" "$env_run" "ProgramData=$(win "$work/data")" -- "$assistant" \
  --install-dir "$(win "$work/IDE")" </dev/null >/dev/null 2>&1 &
runner=$!
probe_window "Velmo Qen 工作台智能安装引导器" 60 || die "the assistant shows no window"
probe_wait 60 582 540 0E639C || die "the assistant did not reach Ready"
sleep 3
read -r ours ours_server < <(idle_cost "$(windows_pid_of "$(win "$work/IDE")")")
kill_windows_programs_naming "$(win "$work")"
wait "$runner" 2>/dev/null || true

cp "$standin" "$work/standin.exe"
"$wine_run" "$env_run" -- "$work/standin.exe" --main </dev/null >/dev/null 2>&1 &
runner=$!
probe_window "VelmoQen工作台 0.0.0" 60 || die "the stand-in shows no window"
sleep 3
read -r peer peer_server < <(idle_cost "$(windows_pid_of "$(win "$work/standin.exe")")")
kill_windows_programs_naming "$(win "$work")"
wait "$runner" 2>/dev/null || true
runner=""

x86_64-w64-mingw32-strip -o "$work/stripped.exe" "$assistant"
echo "idle for $seconds s, pointer away:"
echo "  assistant on Ready:           ${ours} ms CPU (wineserver ${ours_server} ms)"
echo "  minimal window program (peer): ${peer} ms CPU (wineserver ${peer_server} ms)"
awk -v a="$ours" -v s="$seconds" 'BEGIN { printf "  assistant CPU share: %.2f %% of one core\n", a / (s * 10) }'
echo "assistant size: $(stat -c %s "$assistant") bytes as built," \
  "$(stat -c %s "$work/stripped.exe") bytes stripped"
