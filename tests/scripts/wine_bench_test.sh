#!/usr/bin/env bash
# Checks the Wine bench end to end on BUILD_DIR: the prefix it makes, a window
# on its display, and that `stop` leaves nothing running.
#
#   wine_bench_test.sh BUILD_DIR
#
# It stops the bench at the end, so it must not share BUILD_DIR with tests
# that run at the same time.
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

[ $# -eq 1 ] || usage_error "wine_bench_test.sh BUILD_DIR"
mkdir -p "$1"
build=$(build_dir_of "$1")
scripts="$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../../scripts"
bench="$scripts/wine-bench.sh"
state="$build/wine-bench"

# shellcheck disable=SC2317 # called by trap
cleanup() {
  "$BASH" "$bench" stop "$build" >/dev/null 2>&1 || true
}
trap cleanup EXIT

# Without a display of the caller's the bench runs its own Xvfb, which the
# screenshot check below relies on.
unset DISPLAY
if ! "$BASH" "$bench" start "$build"; then
  fail "wine-bench.sh start failed"
  exit 1
fi

server_pid=$(cat "$state/wineserver.pid" 2>/dev/null || true)
xvfb_pid=$(cat "$state/xvfb.pid" 2>/dev/null || true)
display=$(cat "$state/display" 2>/dev/null || true)
if pid_named "$server_pid" wineserver64; then
  pass "wineserver runs as recorded (pid $server_pid)"
else
  fail "recorded wineserver pid '$server_pid' is not a running wineserver"
fi
if pid_named "$xvfb_pid" Xvfb && [[ $display =~ ^:[0-9]+$ ]]; then
  pass "Xvfb runs as recorded (pid $xvfb_pid, display $display)"
else
  fail "recorded Xvfb pid '$xvfb_pid' / display '$display' do not describe a running Xvfb"
fi

bench_env=$("$BASH" "$bench" env "$build") || fail "wine-bench.sh env failed"
eval "$bench_env"
if [ "${WINEPREFIX:-}" = "$state/prefix" ] && [ "${DISPLAY:-}" = "$display" ] &&
  [ "${WINEDEBUG:-}" = -all ] && [[ ${WINEDLLOVERRIDES:-} == *winemenubuilder.exe=d* ]]; then
  pass "env names the bench's prefix and display"
else
  fail "env printed: $bench_env"
fi

ver=$(timeout 60 wine cmd /c ver 2>&1 || true)
if grep -q '10\.0' <<<"$ver"; then
  pass "the prefix reports Windows 10"
else
  fail "wine cmd /c ver printed: $ver"
fi

font=$(timeout 60 wine reg query 'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft YaHei UI' 2>&1 || true)
if grep -q 'REG_SZ *WenQuanYi Micro Hei' <<<"$font"; then
  pass "Microsoft YaHei UI is replaced by WenQuanYi Micro Hei"
else
  fail "font replacement missing: $font"
fi

user=$(timeout 60 wine cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r' || true)
profile="$WINEPREFIX/drive_c/users/$user"
for folder in Desktop Documents Downloads Music Pictures Videos; do
  if [ -n "$user" ] && [ -d "$profile/$folder" ] && [ ! -L "$profile/$folder" ]; then
    pass "$folder of user '$user' is a real directory"
  else
    fail "$profile/$folder is missing or a symbolic link"
  fi
done
links=$(find "$WINEPREFIX/drive_c/users" -type l)
if [ -z "$links" ]; then
  pass "no symbolic link under drive_c/users"
else
  fail "symbolic links under drive_c/users: $links"
fi

if "$BASH" "$bench" start "$build" 2>/dev/null &&
  [ "$(cat "$state/wineserver.pid")" = "$server_pid" ] && [ "$(cat "$state/xvfb.pid")" = "$xvfb_pid" ]; then
  pass "a second start reuses the running Xvfb and wineserver"
else
  fail "a second start did not reuse the running bench"
fi

shot_before="$state/test-before.png"
shot_after="$state/test-notepad.png"
"$BASH" "$scripts/screenshot.sh" "$build" "$shot_before" || fail "screenshot.sh failed on the empty screen"
wine notepad >/dev/null 2>&1 &
notepad_pid=$!
window=""
for _ in $(seq 100); do
  window=$(xwininfo -root -tree -display "$DISPLAY" 2>/dev/null | grep '("notepad.exe"' || true)
  [ -z "$window" ] || break
  sleep 0.2
done
if [ -n "$window" ]; then
  pass "notepad opened a window on $DISPLAY"
else
  fail "no notepad window appeared on $DISPLAY"
fi
sleep 1
if "$BASH" "$scripts/screenshot.sh" "$build" "$shot_after"; then
  colours_before=$(/usr/bin/convert "$shot_before" -format '%k' info:)
  colours_after=$(/usr/bin/convert "$shot_after" -format '%k' info:)
  if [ "$colours_after" -gt "$colours_before" ]; then
    pass "the screenshot shows the window ($colours_before colours before, $colours_after with it)"
  else
    fail "the screenshot with notepad has $colours_after colours, the empty screen $colours_before"
  fi
else
  fail "screenshot.sh failed"
fi

"$BASH" "$bench" stop "$build" || fail "wine-bench.sh stop failed"
for named in "wineserver:$server_pid" "Xvfb:$xvfb_pid" "notepad:$notepad_pid"; do
  if pid_alive "${named#*:}"; then
    fail "${named%%:*} (pid ${named#*:}) still runs after stop"
  else
    pass "${named%%:*} (pid ${named#*:}) is gone after stop"
  fi
done
leftovers=""
for pid in $(wine_prefix_pids "$state/prefix"); do
  leftovers+=" $pid($(cat "/proc/$pid/comm" 2>/dev/null || true))"
done
if [ -z "$leftovers" ]; then
  pass "no Wine process of the prefix is left after stop"
else
  fail "Wine processes of the prefix left after stop:$leftovers"
fi
for file in wineserver.pid xvfb.pid display; do
  if [ -e "$state/$file" ]; then
    fail "$state/$file is left after stop"
  fi
done

test_finish
