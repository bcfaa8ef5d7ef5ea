# shellcheck shell=bash
# Shared by the Wine bench, the network bench, their run scripts, the
# benchmarks and the shell tests (sourced, not run): process ids, Windows
# paths, the proxy rule and the way a script gives up. The functions' local
# names stay clear of the scripts' read-only globals (prefix, state, build,
# name, ...), which a local of the same name cannot shadow.
#
#   pid_alive PID              the one meaning of "PID runs", see below
#   pid_named PID COMM         alive, and its command name is COMM
#   pid_cmdline_has PID WORD   alive, and its command line contains WORD
#   pid_has_wineprefix PID PREFIX   its environment has WINEPREFIX=PREFIX
#   wine_prefix_pids PREFIX    the Wine processes of PREFIX, one pid a line
#   kill_windows_programs_naming WORD
#                              SIGKILLs the Windows programs whose command
#                              line contains WORD (a crash, not a close)
#   read_pid FILE              the pid recorded in FILE, nothing without FILE
#   wait_while TENTHS COMMAND...   polls COMMAND until it fails
#   win PATH                   the Windows path of a Linux path under Wine
#   forget_webview2_runtime RUNNER ENV_RUN
#                              unregisters the WebView2 runtime in both scopes
#   drop_proxies               unsets the caller's proxy variables
#   build_dir_of DIR           the physical path of the build tree DIR
#   die MESSAGE / usage_error USAGE

# True when PID is a process id (digits) of a process that exists and is
# neither a zombie nor dead, whatever it runs. Orphans are reaped by whatever
# runs as pid 1, which may take its time, so a process that ended can linger
# as a zombie and must not count as running. Every "is it still there" of
# the scripts asks this.
pid_alive() {
  local pid=$1 run_state
  [[ $pid =~ ^[0-9]+$ ]] || return 1
  run_state=$(awk '$1 == "State:" { print $2 }' "/proc/$pid/status" 2>/dev/null) || return 1
  [ -n "$run_state" ] && [ "$run_state" != Z ] && [ "$run_state" != X ]
}

# Alive and its command name (/proc/PID/comm) is COMM: a recorded pid that
# was reused by an unrelated process must not be signalled.
pid_named() {
  local pid=$1 comm=$2 actual
  pid_alive "$pid" || return 1
  actual=$(cat "/proc/$pid/comm" 2>/dev/null) || return 1
  [ "$actual" = "$comm" ]
}

# Alive and its command line contains WORD; for programs whose command name
# says nothing (python3 may be a wrapper script that execs the real one).
pid_cmdline_has() {
  local pid=$1 word=$2 cmdline
  pid_alive "$pid" || return 1
  cmdline=$(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline") || return 1
  [[ $cmdline == *"$word"* ]]
}

pid_has_wineprefix() {
  local pid=$1 prefix_path=$2 environ
  # stderr first: a process that just ended makes the redirection fail.
  environ=$(tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ") || return 1
  grep -Fqx "WINEPREFIX=$prefix_path" <<<"$environ"
}

# Windows processes of the Wine prefix PREFIX, found by their loader (a
# program named wine...) and their environment.
wine_prefix_pids() {
  local prefix_path=$1 dir pid exe
  for dir in /proc/[0-9]*; do
    pid=${dir#/proc/}
    exe=$(readlink "$dir/exe" 2>/dev/null) || continue
    [[ ${exe##*/} == wine* ]] || continue
    if pid_has_wineprefix "$pid" "$prefix_path"; then
      echo "$pid"
    fi
  done
}

# Windows programs only (their loader is a program named wine...), so the
# shell jobs that started them end by themselves.
kill_windows_programs_naming() {
  local word=$1 dir exe
  for dir in /proc/[0-9]*; do
    exe=$(readlink "$dir/exe" 2>/dev/null) || continue
    [[ ${exe##*/} == wine* ]] || continue
    if tr '\0' ' ' 2>/dev/null <"$dir/cmdline" | grep -qF "$word"; then
      kill -KILL "${dir#/proc/}" 2>/dev/null || true
    fi
  done
}

read_pid() {
  local file=$1
  [ -f "$file" ] || return 0
  head -n 1 "$file"
}

# Runs COMMAND every tenth of a second while it succeeds, at most TENTHS
# times; true when it stopped succeeding (a process went away, say).
wait_while() {
  local tries=$1
  shift
  while [ "$tries" -gt 0 ] && "$@"; do
    sleep 0.1
    tries=$((tries - 1))
  done
  ! "$@"
}

# Wine maps the Linux root to drive Z:, so /a/b is Z:\a\b.
win() { printf 'Z:%s' "${1//\//\\}"; }

# Where the WebView2 runtime is registered (the stand-in bootstrapper writes
# there too). The bench's prefix is shared by the tests and the demo run: none may
# leave a runtime behind for the next.
readonly webview2_client='{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}'
readonly webview2_machine_key="HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\$webview2_client"
readonly webview2_user_key="HKCU\\SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\$webview2_client"

forget_webview2_runtime() {
  local forget_runner=$1 forget_env_run=$2 key
  for key in "$webview2_machine_key" "$webview2_user_key"; do
    "$forget_runner" "$forget_env_run" -- reg.exe delete "$key" /f >/dev/null 2>&1 || true
  done
}

# The benches listen on loopback only: a proxy of the caller's must never
# see their requests (Wine's WinHTTP reads http_proxy too).
drop_proxies() {
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
}

# The benches keep their state in the build tree and compare paths, so
# they need it without symbolic links; a missing tree is the caller's error.
build_dir_of() {
  [ -d "$1" ] || die "no such build directory: $1"
  (cd "$1" && pwd -P)
}

# Messages name the script that gives up (wine-bench.sh says "wine-bench: ").
die() {
  local script=${0##*/}
  echo "${script%.sh}: $*" >&2
  exit 1
}

usage_error() {
  echo "usage: $*" >&2
  exit 2
}
