#!/usr/bin/env bash
# Points are "X Y" words, split on purpose into two arguments:
# shellcheck disable=SC2086
# The real assistant's window under Wine, looked at and driven from outside
# the way a user's desktop does it (xdotool, screenshots, pixel probes),
# against a release on the network bench:
# - a fresh machine: Ready, hover fades on the primary and the close button,
#   a click that starts the download (nginx serves it slowly, 2 MB/s, so the
#   busy screens can be watched), the busy screens ignoring ×, "选择目录",
#   "重新检测", Esc and a drag that starts on the ×, then InstallInProgress,
#   Finished, and "打开程序" handing over to the launcher;
# - Ready on another folder: dragging by the title bar and by the name
#   badge moves the window, Esc closes it with exit code 0;
# - --resume installing without a click, --installer installing and handing
#   over to the launcher by itself, which then starts the workbench;
# - a policy the server refuses: Failed;
# - an update while the workbench runs: WaitingForExit, continued by itself
#   once the workbench exits (a build of the assistant that asks a process
#   scan who runs the workbench; Wine's Restart Manager never says).
# Probes sit at the layout's own coordinates, away from any text.
#
#   window_e2e_test.sh BUILD_DIR
#
# With VELMO_WINDOW_SHOTS=DIR, the window of each screen is saved there as
# ready.png, downloading.png, installing.png, finished.png, failed.png and
# waiting.png (scripts/readme-screenshots.sh makes the README's pictures so).
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=net_test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/net_test_lib.sh"
# shellcheck source=scripts/lib/window_probe.sh
source "$net_scripts_dir/lib/window_probe.sh"
net_test_init "$@"
probe_init "$net_build"

source_dir=$(realpath "$net_lib_dir/../..")
readonly source_dir
readonly assistant="$net_build/src/velmo-assistant.exe"
readonly scan_assistant="$net_build/tests/velmo_test_assistant.exe"
readonly prefix="$net_build/wine-bench/prefix"
shortcut="$prefix/drive_c/users/$(id -un)/Desktop/Velmo Qen 工作台.lnk"
readonly shortcut
readonly title="Velmo Qen 工作台智能安装引导器"
shots=${VELMO_WINDOW_SHOTS:-$work/shots}
mkdir -p "$shots"

# Colours of the layout (RRGGBB).
readonly background=1E1E1E title_bar=3C3C3C header_strip=252526
readonly primary_active=0E639C primary_hovered=1275B2 primary_inactive=244359
readonly close_idle=3C3C3C close_hovered=B22D28
readonly button_enabled=2D2D30 button_disabled=28282A
readonly progress_fill=007ACC progress_track=333333
readonly icon_ok=53D59C icon_pending=40A9FF icon_missing=FF8C70

# Client points inside the fills, clear of every text.
readonly at_background="12 300" at_title_bar="100 4" at_header="400 40"
readonly at_close="684 4" at_choose="582 167" at_secondary="472 540" at_primary="582 540"
readonly at_progress_start="56 473" at_progress_end="664 473"
readonly close_centre="700 17" choose_centre="623 179" secondary_centre="517 554"
readonly primary_centre="634 554" away="360 300"

reg() { "$wine_run" "$env_run" -- reg.exe "$@"; }

# Every Windows process this test started names a path under $work.
kill_test_processes() { kill_windows_programs_naming "$(win "$work")"; }

cleanup() {
  kill_test_processes
  forget_webview2_runtime "$wine_run" "$env_run"
  rm -f "$shortcut" "$VELMO_NET_WWW/policy.json" "$VELMO_NET_WWW/downloads.slow" \
    "$VELMO_NET_WWW/policy.status-500" "$probe_shot_tmp"
  remove_work_dir
}
trap cleanup EXIT

publish() { "$source_dir/scripts/publish-release.sh" "$net_build" "$1" "$2" >/dev/null; }
program_of() { echo "$VELMO_NET_DIR/releases/VelmoQen工作台-v$1.exe"; }

# A machine of the test's own, no runtime registered.
fresh_program_data
program_files_x86=$(mktemp -d "$work/pfx86.XXXXXX")
local_app_data=$(mktemp -d "$work/localappdata.XXXXXX")
forget_webview2_runtime "$wine_run" "$env_run"
rm -f "$shortcut"

# start PROGRAM DIR [ARGS...]: the assistant (or its process-scan build) on install
# directory DIR in the background, with the machine's folders; app is the pid
# of its runner, whose exit status is the assistant's exit code. The stand-in
# bootstrapper takes five seconds to register the runtime, so the install
# screen stays long enough to be seen on a busy machine (its sweep tells it
# from the download's bar only after its first second).
start() {
  local program=$1 dir=$2
  shift 2
  # The pointer stays where the last run left it, maybe over a button.
  probe_xdotool mousemove 0 0
  "$wine_run" "$env_run" "ProgramData=$(win "$program_data")" \
    "ProgramFiles(x86)=$(win "$program_files_x86")" "LOCALAPPDATA=$(win "$local_app_data")" \
    "VELMO_WEBVIEW2_STANDIN=delay=5" -- "$program" --install-dir "$(win "$dir")" "$@" </dev/null \
    >"$work/app.out" 2>&1 &
  app=$!
  probe_window "$title" 60 || {
    fail "no window titled $title"
    test_finish
  }
}

# A click on a button, then the pointer leaves it: a hovered button has
# other colours than the probes expect.
press() {
  probe_click "$1" "$2"
  probe_move $away
}

# The arguments of the launcher of installation DIR once it runs (within
# 10 s), as its command line shows them.
launcher_arguments() {
  local launcher dir cmdline
  launcher="$(win "$1")\\运行组件\\VelmoQen工作台启动器.exe "
  for _ in $(seq 50); do
    for dir in /proc/[0-9]*; do
      cmdline=$(tr '\0' ' ' 2>/dev/null <"$dir/cmdline" | sed 's/ *$//') || continue
      if [[ $cmdline == "$launcher"* ]]; then
        echo "${cmdline#"$launcher"}"
        return
      fi
    done
    sleep 0.2
  done
}

shot="$work/shot.png"
grab() { probe_grab "$shot"; }
at() { probe_pixel "$shot" $1; }
icon_of_row() { probe_has_colour "$shot" 58 $((258 + 34 * $1 + 9)) 18 18 "$2"; }

# What the window shows, told by fills and icons only.
screen_is() {
  case $1 in
    Ready) [ "$(at "$at_primary")" = "$primary_active" ] && [ "$(at "$at_choose")" = "$button_enabled" ] &&
      ! icon_of_row 5 "$icon_ok" ;;
    Downloading) [ "$(at "$at_choose")" = "$button_disabled" ] &&
      [ "$(at "$at_progress_start")" = "$progress_fill" ] ;;
    Installing) [ "$(at "$at_choose")" = "$button_disabled" ] &&
      [ "$(at "$at_progress_start")" = "$progress_track" ] &&
      probe_has_colour "$shot" 54 473 612 1 "$progress_fill" ;;
    Busy) [ "$(at "$at_choose")" = "$button_disabled" ] ;;
    Finished) [ "$(at "$at_primary")" = "$primary_active" ] && icon_of_row 5 "$icon_ok" ;;
    Failed) [ "$(at "$at_primary")" = "$primary_inactive" ] && [ "$(at "$at_choose")" = "$button_enabled" ] &&
      icon_of_row 0 "$icon_ok" && [ "$(at "$at_progress_end")" = "$progress_track" ] ;;
    Waiting) [ "$(at "$at_primary")" = "$primary_inactive" ] && [ "$(at "$at_choose")" = "$button_enabled" ] &&
      icon_of_row 5 "$icon_pending" && [ "$(at "$at_progress_end")" = "$progress_fill" ] ;;
    *) return 1 ;;
  esac
}

# Waits up to SECONDS for SCREEN; the matching screenshot stays in $shot and
# the window alone is kept as $shots/NAME.png.
wait_screen() {
  local screen=$1 tenths=$(($2 * 10)) name=${3:-}
  while [ "$tenths" -gt 0 ]; do
    grab
    if screen_is "$screen"; then
      [ -z "$name" ] || probe_crop "$shot" "$shots/$name.png"
      pass "the window shows $screen"
      return 0
    fi
    sleep 0.2
    tenths=$((tenths - 4))
  done
  fail "the window did not show $screen within $2 s"
  probe_crop "$shot" "$shots/last-$screen.png" 2>/dev/null || true
  return 1
}

expect_fill() {
  local what=$1 point=$2 colour=$3
  expect "$what at ($point)" "$colour" "$(at "$point")"
}

# Hovers POINT, waits for the fade (8 steps of 16 ms; Wine's timers are
# coarser), and reads PROBE.
hovered_colour() {
  probe_move $1
  sleep 0.8
  grab
  at "$2"
}

echo "== a fresh machine: Ready"
publish 1.0.0 6
ide="$work/IDE"
mkdir -p "$ide"
start "$assistant" "$ide"
wait_screen Ready 60 ready || test_finish
expect_fill "background" "$at_background" "$background"
expect_fill "title bar" "$at_title_bar" "$title_bar"
expect_fill "header strip" "$at_header" "$header_strip"
expect_fill "close button" "$at_close" "$close_idle"
expect_fill "choose-directory button" "$at_choose" "$button_enabled"
expect_fill "secondary button" "$at_secondary" "$button_enabled"
expect_fill "progress bar after the check" "$at_progress_start" "$progress_fill"
expect_true "row 0 (the system) is ok" icon_of_row 0 "$icon_ok"
expect_true "row 4 (the runtime) is missing" icon_of_row 4 "$icon_missing"

echo "== hover fades in and out"
expect "primary hovered" "$primary_hovered" "$(hovered_colour "$primary_centre" "$at_primary")"
expect "primary after the pointer left" "$primary_active" "$(hovered_colour "$away" "$at_primary")"
expect "close hovered" "$close_hovered" "$(hovered_colour "$close_centre" "$at_close")"
expect "close after the pointer left" "$close_idle" "$(hovered_colour "$away" "$at_close")"

echo "== a click on 开始安装 starts the download"
touch "$VELMO_NET_WWW/downloads.slow"
mark=$(log_mark "$VELMO_NET_ACCESS_LOG")
press $primary_centre
wait_screen Downloading 30 downloading || true
expect_fill "primary while downloading" "$at_primary" "$primary_inactive"
expect_fill "secondary while downloading" "$at_secondary" "$button_disabled"
expect "close while downloading, hovered" "$close_idle" "$(hovered_colour "$close_centre" "$at_close")"

echo "== while downloading: ×, 选择目录, 重新检测, Esc and a drag on the × change nothing"
windows_before=$(probe_xdotool search --onlyvisible --name . | sort | tr '\n' ' ')
origin_before="$probe_x $probe_y"
probe_click $close_centre
probe_click $choose_centre
probe_click $secondary_centre
probe_key Escape
probe_drag $close_centre 80 60
sleep 1
expect_true "assistant still running" pid_alive "$app"
expect "no new window (no folder dialog)" "$windows_before" \
  "$(probe_xdotool search --onlyvisible --name . | sort | tr '\n' ' ')"
probe_origin
expect "the × strip does not drag" "$origin_before" "$probe_x $probe_y"
grab
expect_true "still busy (no re-check)" screen_is Busy

echo "== InstallInProgress, then Finished"
wait_screen Installing 60 installing || true
wait_screen Finished 90 finished || true
expect_fill "primary on Finished" "$at_primary" "$primary_active"
expect_true "row 4 (the runtime) is ok" icon_of_row 4 "$icon_ok"
expect_same_file "installed program is release 1.0.0" "$(program_of 1.0.0)" "$ide/VelmoQen工作台.exe"
expect "one installer download, as the click asked" 1 \
  "$(log_since "$VELMO_NET_ACCESS_LOG" "$mark" | grep -c '"GET /v1/downloads/VelmoQen' || true)"

echo "== 打开程序 hands over to the launcher and quits"
press $primary_centre
await_exit 20
expect "exit code after 打开程序" 0 "$app_exit"
expect_match "the launcher's arguments" "--wait-for-process [1-9]* --launch-main" \
  "$(launcher_arguments "$ide")"
kill_test_processes

echo "== Ready elsewhere: the title bar drags, Esc closes with exit code 0"
rm -f "$VELMO_NET_WWW/downloads.slow"
other="$work/Other"
mkdir -p "$other"
start "$assistant" "$other"
wait_screen Ready 60 || true
origin_before="$probe_x $probe_y"
probe_drag 100 17 60 40
probe_origin
expect "dragged by the title bar" "$((${origin_before% *} + 60)) $((${origin_before#* } + 40))" \
  "$probe_x $probe_y"
probe_drag 360 17 -60 -40
probe_origin
expect "dragged back by the name badge" "$origin_before" "$probe_x $probe_y"
probe_key Escape
await_exit 20
expect "exit code after Esc on Ready" 0 "$app_exit"

echo "== --resume and --installer continue without a click"
resumed="$work/Resumed"
mkdir -p "$resumed"
start "$assistant" "$resumed" --resume
wait_screen Finished 90 || true
expect_same_file "--resume installed release 1.0.0" "$(program_of 1.0.0)" "$resumed/VelmoQen工作台.exe"
probe_key Escape
await_exit 20
expect "exit code after Esc on a resumed run" 0 "$app_exit"
handed="$work/Handed"
mkdir -p "$handed"
start "$assistant" "$handed" --installer
await_exit 90
expect "--installer ends by itself with exit code 0" 0 "$app_exit"
expect_same_file "--installer installed release 1.0.0" "$(program_of 1.0.0)" "$handed/VelmoQen工作台.exe"
expect_match "--installer hands over to the launcher" "--wait-for-process [1-9]* --launch-main" \
  "$(launcher_arguments "$handed")"
expect_true "the launcher then starts the installed workbench" probe_window "VelmoQen工作台 1.0.0" 30
kill_windows_programs_naming "$(win "$handed")"

echo "== the launcher comes from the file the assistant started as, held from its start"
# Another account may own the Downloads folder the assistant runs from: while
# the assistant waits for a process, its file is renamed and another put
# under its name. The launcher written afterwards is still the assistant.
downloads="$work/Downloads"
held="$work/Held"
mkdir -p "$downloads" "$held"
cp "$assistant" "$downloads/assistant.exe"
"$wine_run" "$net_build/tests/velmo_test_sleeper.exe" 120000 "$(win "$work/sleeper.pid")" \
  </dev/null >/dev/null 2>&1 &
wait_while 300 test ! -s "$work/sleeper.pid" || true
"$wine_run" "$env_run" "ProgramData=$(win "$program_data")" \
  "ProgramFiles(x86)=$(win "$program_files_x86")" "LOCALAPPDATA=$(win "$local_app_data")" \
  "VELMO_WEBVIEW2_STANDIN=delay=5" -- "$downloads/assistant.exe" --install-dir "$(win "$held")" \
  --wait-for-process "$(cat "$work/sleeper.pid")" --installer </dev/null >"$work/app.out" 2>&1 &
app=$!
# It holds its file first thing; give a loaded machine time to get there.
sleep 5
mv "$downloads/assistant.exe" "$downloads/renamed.exe"
cp "$net_build/tests/velmo_test_sleeper.exe" "$downloads/assistant.exe"
kill_windows_programs_naming "$(win "$work/sleeper.pid")"
await_exit 120
expect "the held run ends with exit code 0" 0 "$app_exit"
expect_same_file "the launcher is the assistant it started as" "$assistant" \
  "$held/运行组件/VelmoQen工作台启动器.exe"
kill_windows_programs_naming "$(win "$held")"

echo "== a policy the server refuses: Failed"
touch "$VELMO_NET_WWW/policy.status-500"
start "$assistant" "$other"
wait_screen Failed 60 failed || true
expect_fill "close button on Failed" "$at_close" "$close_idle"
expect_fill "secondary button on Failed" "$at_secondary" "$button_enabled"
probe_click $close_centre
await_exit 20
expect "exit code after × on Failed" 0 "$app_exit"
rm -f "$VELMO_NET_WWW/policy.status-500"

echo "== an update while the workbench runs: WaitingForExit, then on by itself"
publish 1.1.0 6
touch "$VELMO_NET_WWW/downloads.slow"
"$wine_run" "$env_run" VELMO_WORKBENCH_STANDIN=seconds=120 -- "$ide/VelmoQen工作台.exe" --main \
  </dev/null >/dev/null 2>&1 &
workbench=$!
probe_window "VelmoQen工作台 1.0.0" 30 || fail "the running workbench shows no window"
start "$scan_assistant" "$ide"
wait_screen Ready 60 || true
press $primary_centre
wait_screen Waiting 20 waiting || true
sleep 3
grab
expect_true "still waiting while the workbench runs" screen_is Waiting
expect_same_file "the running program is untouched" "$(program_of 1.0.0)" "$ide/VelmoQen工作台.exe"
kill_windows_programs_naming "VelmoQen工作台.exe --main"
wait "$workbench" 2>/dev/null || true
wait_screen Busy 20 || true
rm -f "$VELMO_NET_WWW/downloads.slow"
wait_screen Finished 90 || true
expect_same_file "updated program is release 1.1.0" "$(program_of 1.1.0)" "$ide/VelmoQen工作台.exe"
probe_key Escape
await_exit 20
expect "exit code after Esc on Finished" 0 "$app_exit"

test_finish
