#!/usr/bin/env bash
# The Wine bench the Windows tests run on: an X display, a private Wine prefix
# inside the build tree and one persistent wineserver for that prefix, so that
# every test program shares the same server and desktop and the whole lot can
# be stopped by process id. All state lives in <build>/wine-bench/.
#
#   wine-bench.sh start  BUILD_DIR [--on-demand]
#   wine-bench.sh stop   BUILD_DIR
#   wine-bench.sh status BUILD_DIR   (exit 0 when the bench is up)
#   wine-bench.sh env    BUILD_DIR   (export lines for eval)
#
# --on-demand is for wine-run.sh: a bench it brings up is marked so that the
# last wine-run.sh to finish takes it down again; a plain `start` claims the
# bench for the caller, who then has to `stop` it.
set -euo pipefail

self=$(realpath "${BASH_SOURCE[0]}")
readonly self
# shellcheck source=scripts/lib/bench_helpers.sh
source "$(dirname "$self")/lib/bench_helpers.sh"
readonly dll_overrides='mscoree,mshtml=;winemenubuilder.exe=d'
readonly ready_marker='.wine-bench-ready'

usage() {
  usage_error "wine-bench.sh start|stop|status|env BUILD_DIR [--on-demand]"
}

xvfb_alive() {
  local pid
  pid=$(read_pid "$state/xvfb.pid")
  pid_named "$pid" Xvfb
}

# Debian's wrapper execs wineserver64 under the pid we recorded.
server_alive() {
  local pid
  pid=$(read_pid "$state/wineserver.pid")
  pid_named "$pid" wineserver64 && pid_has_wineprefix "$pid" "$prefix"
}

display_up() {
  [ -s "$state/display" ] || return 1
  if [ -f "$state/xvfb.pid" ]; then
    xvfb_alive
  fi
}

bench_up() {
  server_alive && display_up
}

# SIGINT is the wineserver's orderly shutdown: it kills every process of the
# prefix and then exits. SIGTERM would only end the server itself and leave
# its clients blocked forever on their reply pipes.
stop_server() {
  local pid
  local -a leftovers
  pid=$(read_pid "$state/wineserver.pid")
  if pid_named "$pid" wineserver64 && pid_has_wineprefix "$pid" "$prefix"; then
    kill -INT "$pid" 2>/dev/null || true
    if ! wait_while 50 pid_named "$pid" wineserver64; then
      echo "wine-bench: wineserver $pid ignored SIGINT, killing it" >&2
      kill -KILL "$pid" 2>/dev/null || true
      wait_while 20 pid_named "$pid" wineserver64 || die "wineserver $pid does not die"
    fi
  fi
  rm -f "$state/wineserver.pid"
  # Finds something only when the server died or had to be killed outright.
  mapfile -t leftovers < <(wine_prefix_pids "$prefix")
  if [ "${#leftovers[@]}" -gt 0 ]; then
    echo "wine-bench: killing processes left by the server: ${leftovers[*]}" >&2
    kill -KILL "${leftovers[@]}" 2>/dev/null || true
  fi
}

stop_xvfb() {
  local pid
  pid=$(read_pid "$state/xvfb.pid")
  if pid_named "$pid" Xvfb; then
    kill -TERM "$pid" 2>/dev/null || true
    if ! wait_while 50 pid_named "$pid" Xvfb; then
      kill -KILL "$pid" 2>/dev/null || true
      wait_while 20 pid_named "$pid" Xvfb || die "Xvfb $pid does not die"
    fi
  fi
  rm -f "$state/xvfb.pid" "$state/display"
}

# Xvfb picks a free display number itself and writes it to the -displayfd
# descriptor once it accepts connections.
start_xvfb() {
  local pid tries=100 number
  : >"$state/display.new"
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    3>"$state/display.new" </dev/null >"$state/xvfb.log" 2>&1 &
  pid=$!
  echo "$pid" >"$state/xvfb.pid"
  while [ "$tries" -gt 0 ]; do
    number=$(head -n 1 "$state/display.new")
    if [[ $number =~ ^[0-9]+$ ]] && [ "$(wc -l <"$state/display.new")" -ge 1 ]; then
      break
    fi
    pid_alive "$pid" || die "Xvfb exited; see $state/xvfb.log"
    sleep 0.1
    tries=$((tries - 1))
  done
  if ! [[ $number =~ ^[0-9]+$ ]]; then
    stop_xvfb
    die "Xvfb did not report its display; see $state/xvfb.log"
  fi
  rm -f "$state/display.new"
  echo ":$number" >"$state/display"
}

prefix_env() {
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="$dll_overrides"
  DISPLAY=$(cat "$state/display")
  export DISPLAY
}

# A new prefix links Desktop, Documents, Downloads, ... (and AppData's
# Templates) to the Linux home directory; tests would then write shortcuts
# into the home of whoever runs them. Every such link becomes an empty folder.
unlink_user_folders() {
  local link
  while IFS= read -r -d '' link; do
    rm -f "$link"
    mkdir "$link"
  done < <(find "$prefix/drive_c/users" -type l -print0)
}

setup_prefix() {
  local version started=$SECONDS out
  version=$(WINEDEBUG=-all wine --version)
  if [ -f "$prefix/$ready_marker" ] && [ "$(cat "$prefix/$ready_marker")" = "$version" ]; then
    return 0
  fi
  if [ -e "$prefix" ]; then
    echo "wine-bench: remaking the prefix (unfinished or made by another Wine)" >&2
    # A setup that was interrupted may have left its own server running.
    WINEPREFIX="$prefix" timeout 30 wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
  fi
  echo "wine-bench: creating the Wine prefix $prefix" >&2
  (
    prefix_env
    set -x
    timeout 300 wineboot -i
    timeout 60 wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f
    timeout 60 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
      /v 'Microsoft YaHei UI' /t REG_SZ /d 'WenQuanYi Micro Hei' /f
  ) >>"$state/prefix-setup.log" 2>&1 || die "prefix setup failed; see $state/prefix-setup.log"
  unlink_user_folders
  out=$(prefix_env && timeout 60 wine cmd /c ver 2>>"$state/prefix-setup.log") || true
  grep -q 'Windows 10\.0' <<<"$out" || die "the new prefix does not report Windows 10: $out"
  out=$(prefix_env && timeout 60 wine reg query 'HKCU\Software\Wine\Fonts\Replacements' \
    /v 'Microsoft YaHei UI' 2>>"$state/prefix-setup.log") || true
  grep -q 'WenQuanYi Micro Hei' <<<"$out" || die "the font replacement is missing in the new prefix: $out"
  # Let the setup's own server save the registry and exit before ours starts.
  (prefix_env && timeout 60 wineserver -w) || die "the setup's wineserver did not exit"
  echo "$version" >"$prefix/$ready_marker"
  echo "wine-bench: prefix ready in $((SECONDS - started)) s" >&2
}

listening() {
  local pid=$1 sockets
  sockets=$(ss -xlnp 2>/dev/null) || return 1
  grep -q "pid=$pid," <<<"$sockets"
}

start_server() {
  local pid tries=100
  WINEPREFIX="$prefix" setsid wineserver -f -p </dev/null >>"$state/wineserver.log" 2>&1 &
  pid=$!
  echo "$pid" >"$state/wineserver.pid"
  # A Wine process started before the socket listens would spawn a second server.
  while [ "$tries" -gt 0 ] && ! listening "$pid"; do
    pid_alive "$pid" || die "wineserver exited; see $state/wineserver.log"
    sleep 0.1
    tries=$((tries - 1))
  done
  if ! listening "$pid"; then
    stop_server
    die "wineserver $pid does not listen; see $state/wineserver.log"
  fi
}

explorer_running() {
  local pid
  for pid in $(wine_prefix_pids "$prefix"); do
    if pid_named "$pid" explorer.exe; then
      return 0
    fi
  done
  return 1
}

# The desktop process (explorer.exe) starts with the first window and inherits
# that process's stdio and process group, then exits when the last process
# leaves the desktop. Started from a test it would hold the test's output pipe
# open and die with the test's process group. So the bench starts it here,
# writing to a log, and keeps it alive with an idle cmd.exe that reads a FIFO
# nobody ever writes to.
start_desktop() {
  local tries=150
  rm -f "$state/keeper.fifo"
  mkfifo "$state/keeper.fifo"
  (
    prefix_env
    # Its working directory stays busy as long as the bench runs.
    cd "$state"
    setsid wine cmd.exe /k rundll32.exe user32.dll,GetDesktopWindow \
      0<>"$state/keeper.fifo" >>"$state/desktop.log" 2>&1 &
  )
  while [ "$tries" -gt 0 ] && ! explorer_running; do
    sleep 0.1
    tries=$((tries - 1))
  done
  explorer_running || echo "wine-bench: warning: the desktop process did not start; see $state/desktop.log" >&2
}

locked_start() {
  local mode=$1
  # Marked before anything is launched, so that the caller also takes down
  # what a failed start left running.
  if [ "$mode" = on-demand ]; then
    bench_up || : >"$state/on-demand"
  else
    rm -f "$state/on-demand"
  fi
  if [ -f "$state/xvfb.pid" ] && [ -s "$state/display" ] && xvfb_alive; then
    : # our Xvfb from an earlier start
  elif [ ! -f "$state/xvfb.pid" ] && [ -s "$state/display" ] && server_alive; then
    : # a display the caller gave at an earlier start
  else
    # The server's desktop process is bound to the display that went away.
    stop_server
    stop_xvfb
    if [ -n "${DISPLAY:-}" ]; then
      echo "$DISPLAY" >"$state/display"
    else
      start_xvfb
    fi
  fi
  if ! server_alive; then
    # Also clears whatever a server that died left behind.
    stop_server
    # Re-checked at every start: a Wine upgrade remakes the prefix.
    setup_prefix
    start_server
    start_desktop
  fi
  echo "wine-bench: up: DISPLAY=$(cat "$state/display") wineserver=$(read_pid "$state/wineserver.pid") prefix=$prefix" >&2
}

locked_stop() {
  stop_server
  stop_xvfb
  rm -f "$state/on-demand" "$state/keeper.fifo" "$state/display" "$state/display.new"
}

print_env() {
  bench_up || die "the bench is not running; run: wine-bench.sh start $build"
  printf 'export WINEPREFIX=%q\n' "$prefix"
  printf 'export WINEDEBUG=%q\n' -all
  printf 'export WINEDLLOVERRIDES=%q\n' "$dll_overrides"
  printf 'export DISPLAY=%q\n' "$(cat "$state/display")"
}

# Runs this script's SUBCOMMAND while holding the bench's lock, so parallel
# starts and stops take turns. With -o the lock is not inherited by the
# servers started under it, which would otherwise hold it for their lifetime.
locked() {
  local subcommand=$1 status=0
  shift
  flock -o -w 900 -E 75 "$state/lock" "$BASH" "$self" "$subcommand" "$build" "$@" || status=$?
  [ "$status" -ne 75 ] || die "gave up waiting for another start or stop of this bench"
  return "$status"
}

# Cleans up after a wine-run.sh that was killed outright. It tells us on
# stdin the process group of its program ("group N") and "done" when it ends
# normally; input that ends without "done" means it was killed.
watch_run() {
  local word value group="" users_fd
  while read -r word value; do
    case $word in
      group) group=$value ;;
      done) return 0 ;;
    esac
  done
  if [[ $group =~ ^[0-9]+$ ]]; then
    kill -KILL -- "-$group" 2>/dev/null || true
  fi
  [ -f "$state/on-demand" ] || return 0
  # The same rule as in wine-run.sh: only the last user stops the bench. The
  # killed run may close our pipe a moment before its lock, hence the wait;
  # if a live run still holds the lock after it, that run stops the bench.
  exec {users_fd}>>"$state/users.lock"
  if flock -x -w 10 "$users_fd" && [ -f "$state/on-demand" ]; then
    locked _locked-stop {users_fd}>&-
  fi
}

[ $# -ge 2 ] || usage
command=$1
build=$(build_dir_of "$2")
readonly build
readonly state="$build/wine-bench"
readonly prefix="$state/prefix"

case $command in
  start)
    mode=claim
    if [ $# -ge 3 ]; then
      [ "$3" = --on-demand ] || usage
      mode=on-demand
    fi
    mkdir -p "$state"
    locked _locked-start "$mode"
    ;;
  stop)
    [ -d "$state" ] || exit 0
    locked _locked-stop
    ;;
  status)
    bench_up
    ;;
  env)
    print_env
    ;;
  _locked-start)
    locked_start "$3"
    ;;
  _locked-stop)
    locked_stop
    ;;
  _watch)
    watch_run
    ;;
  *)
    usage
    ;;
esac
