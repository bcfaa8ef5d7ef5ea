#!/usr/bin/env bash
# Runs a Windows program of the build tree under Wine, on the build's bench
# (scripts/wine-bench.sh). CMake uses it as CMAKE_CROSSCOMPILING_EMULATOR, so
# CTest calls it with the Linux path of a test .exe; it also works by hand.
#
#   wine-run.sh PROGRAM.exe [ARGS...]
#
# stdin, stdout, stderr and the caller's environment reach the program. The
# program's exit status comes back unchanged (Wine hands on the low 8 bits of
# the Windows exit code); 125 means the bench itself could not be used.
# If the bench is down, it is brought up for this run and taken down again by
# the last run that used it.
set -euo pipefail

script_dir=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
readonly bench="$script_dir/wine-bench.sh"
# shellcheck source=scripts/lib/bench_helpers.sh
source "$script_dir/lib/bench_helpers.sh"

fail() {
  echo "wine-run: $*" >&2
  exit 125
}

[ $# -ge 1 ] || fail "usage: wine-run.sh PROGRAM.exe [ARGS...]"
[ -f "$1" ] || fail "no such program: $1"
program=$(realpath "$1")
shift

build=$(dirname "$program")
while [ ! -f "$build/CMakeCache.txt" ]; do
  [ "$build" != / ] || fail "no CMakeCache.txt in any directory above $program"
  build=$(dirname "$build")
done
readonly build
readonly state="$build/wine-bench"
mkdir -p "$state"

# Each run holds a shared lock on users.lock while its program runs, so a run
# that brought the bench up can tell at its end whether others still use it.
exec {users_fd}>>"$state/users.lock"
flock -s "$users_fd"

# CTest and execute_process end a run that ran out of time with SIGKILL to it
# and its descendants, which no trap sees; and Wine double-forks the processes
# a program starts, so those are nobody's descendants. A watcher outside our
# process tree (wine-bench.sh _watch) reads what we write to this pipe; if the
# pipe closes before "done", it ends the program's process group and, for a
# bench brought up on demand, stops the bench when no other run uses it.
exec {watch_fd}> >(setsid "$BASH" "$bench" _watch "$build" <&0 {users_fd}>&- >/dev/null 2>&1 &)

child=""
finished=0

# shellcheck disable=SC2317 # called by trap
finish() {
  [ "$finished" = 0 ] || return 0
  finished=1
  trap '' PIPE
  printf '%s\n' 'done' 1>&"$watch_fd" 2>/dev/null || true
  [ -f "$state/on-demand" ] || return 0
  # Whoever gets the lock exclusively is the last user: at least one of the
  # runs finishing together gets it, and later runs wait for the stop to end.
  flock -u "$users_fd"
  if flock -x -n "$users_fd" && [ -f "$state/on-demand" ]; then
    "$BASH" "$bench" stop "$build" {users_fd}>&- >&2 || true
  fi
}
trap finish EXIT

# timeout(1) and Ctrl-C stop us with SIGTERM or SIGINT; the Windows program
# and anything it started (they share its process group) must not outlive us.
# shellcheck disable=SC2317 # called by trap
on_signal() {
  local name=$1 code=$2
  if [ -n "$child" ]; then
    kill -TERM -- "-$child" 2>/dev/null || true
    wait_while 30 pid_alive "$child" || true
    kill -KILL -- "-$child" 2>/dev/null || true
  fi
  echo "wine-run: SIG$name received, stopped $program" >&2
  exit "$code"
}
trap 'on_signal TERM 143' TERM
trap 'on_signal INT 130' INT
trap 'on_signal HUP 129' HUP

if ! "$BASH" "$bench" status "$build"; then
  "$BASH" "$bench" start "$build" --on-demand {users_fd}>&- {watch_fd}>&- >&2 ||
    fail "the Wine bench did not start; see the logs in $state"
fi

# A WINEDEBUG of the caller's own is kept: it is how one debugs a test. DLL
# overrides of the caller's own are added to the bench's: a test uses them to
# make Wine search for a DLL the way Windows does (native first).
caller_winedebug=${WINEDEBUG:-}
caller_dll_overrides=${WINEDLLOVERRIDES:-}
bench_env=$("$BASH" "$bench" env "$build") || fail "the Wine bench is not usable"
eval "$bench_env"
if [ -n "$caller_winedebug" ]; then
  export WINEDEBUG="$caller_winedebug"
fi
if [ -n "$caller_dll_overrides" ]; then
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$caller_dll_overrides"
fi

# `wine` picks Debian's 64-bit loader when wine32 is absent. setsid makes the
# program a process group of its own; a background job's stdin would be
# /dev/null unless it is given explicitly.
setsid -w wine "$program" "$@" <&0 {users_fd}>&- {watch_fd}>&- &
child=$!
# A watcher that is gone must not turn into a SIGPIPE for us (the program has
# its own signal dispositions already).
trap '' PIPE
printf 'group %s\n' "$child" 1>&"$watch_fd" 2>/dev/null || true

status=0
wait "$child" || status=$?
child=""
exit "$status"
