#!/usr/bin/env bash
# Launch mode under Wine, as the desktop shortcut runs it: the startup
# launcher of an installation made by velmo-diag apply, started with
# --launch-main, with the stand-in workbench as the installed program and
# the policy on the network bench. Looked at from outside (xdotool, pixel
# probes):
# - a normal launch: the startup window, then the workbench with exactly
#   "--main" in the install directory, then the startup window closes;
# - a workbench that exits with code 1 before any window: the startup window
#   stays with its failure layout until Esc;
# - a pending newer package: applied before the start, then gone;
# - a package of another digest: left alone, the installed version starts;
# - velmo-diag launch: the terminal event as a JSON line, and its exit code;
# - Esc while a large pending update is applied: the window stays, and the
#   workbench starts updated;
# - the preview (--preview-startup) shows the launching layout, ignores
#   clicks and drags by its title bar.
#
#   launch_e2e_test.sh BUILD_DIR
#
# With VELMO_WINDOW_SHOTS=DIR, the startup window is saved there as
# startup.png and startup-failed.png (scripts/readme-screenshots.sh).
# Points are "X Y" words, split on purpose into two arguments:
# shellcheck disable=SC2086
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
readonly prefix="$net_build/wine-bench/prefix"
shortcut="$prefix/drive_c/users/$(id -un)/Desktop/Velmo Qen 工作台.lnk"
readonly shortcut
readonly startup_title="Velmo Qen 工作台"
shots=${VELMO_WINDOW_SHOTS:-$work/shots}
mkdir -p "$shots"

cleanup() {
  kill_windows_programs_naming "$(win "$work")"
  rm -f "$shortcut" "$VELMO_NET_WWW/policy.json" "$probe_shot_tmp"
  remove_work_dir
}
trap cleanup EXIT

publish() { "$source_dir/scripts/publish-release.sh" "$net_build" "$1" "${2:-0}" >/dev/null; }
setup_of() { echo "$VELMO_NET_WWW/v1/downloads/VelmoQen工作台-Setup-v$1.exe"; }
program_of() { echo "$VELMO_NET_DIR/releases/VelmoQen工作台-v$1.exe"; }

fresh_program_data
ide="$work/IDE"
launcher="$ide/运行组件/VelmoQen工作台启动器.exe"
workbench_log="$work/workbench.log"

publish 1.0.0
setup=$(setup_of 1.0.0)
run_diag apply --installer "$setup" --install-dir "$(win "$ide")" --version 1.0.0 \
  --sha256 "$(upper_sha256 "$setup")" --bytes "$(stat -c %s "$setup")" --assistant "$assistant"
expect "installation for the launches" 0 "$code"

# launch BEHAVIOUR [ARGS...]: the launcher as the shortcut starts it, in the
# background; app is the pid of its runner (exit status: the launcher's).
launch() {
  local behaviour=$1
  shift
  probe_xdotool mousemove 0 0
  rm -f "$workbench_log"
  "$wine_run" "$env_run" "ProgramData=$(win "$program_data")" \
    "VELMO_WORKBENCH_STANDIN=$behaviour" -- "$launcher" "$@" </dev/null >"$work/launch.out" 2>&1 &
  app=$!
}

workbench_window_shows() {
  local found
  found=$(probe_xdotool search --onlyvisible --name "^VelmoQen工作台 $1\$" 2>/dev/null | head -n 1) || true
  [ -n "$found" ]
}

# Waits up to SECONDS for the workbench window of VERSION.
wait_for_workbench() {
  local tenths=$(($2 * 10))
  while [ "$tenths" -gt 0 ]; do
    workbench_window_shows "$1" && return 0
    sleep 0.1
    tenths=$((tenths - 1))
  done
  return 1
}

shot="$work/shot.png"

echo "== a normal launch"
launch "log=$(win "$workbench_log"),seconds=120" --launch-main
expect_true "the startup window shows" probe_window "$startup_title" 30
shown_at=$(date +%s%N)
expect_true "the workbench window shows" wait_for_workbench 1.0.0 30
expect_true "the startup window closes after the workbench shows" probe_gone 10
# At least 17 ticks of 45 ms; the polls above can only make it look longer,
# or shorter by one poll.
shown_ms=$((($(date +%s%N) - shown_at) / 1000000))
expect_true "the startup window stayed at least 0.6 s (${shown_ms} ms)" test "$shown_ms" -ge 600
await_exit 10
expect "launcher exit code" 0 "$app_exit"
expect "the workbench got --main in the install directory" "args=--main cwd=$(win "$ide")" \
  "$(tr -d '\r' <"$workbench_log" 2>/dev/null)"
kill_windows_programs_naming "VelmoQen工作台.exe --main"

echo "== a workbench that exits with code 1 before any window"
launch "exit=1" --launch-main
expect_true "the startup window shows" probe_window "$startup_title" 30
sleep 3
probe_grab "$shot"
expect "failed status dot" F48771 "$(probe_pixel "$shot" 153 112)"
expect "failed bar" 5A2B2B "$(probe_pixel "$shot" 300 181)"
expect "title bar" 3C3C3C "$(probe_pixel "$shot" 100 10)"
probe_crop "$shot" "$shots/startup-failed.png" 620 250
expect_true "the window stays after the failure" pid_alive "$app"
probe_key Escape
await_exit 10
expect "exit code after Esc" 0 "$app_exit"

echo "== a pending newer package is applied before the start"
publish 1.1.0
downloads_dir="$program_data/VelmoInstaller/downloads"
mkdir -p "$downloads_dir"
package="$downloads_dir/VelmoQenWorkbench-Update-v1.1.0.package"
cp "$(setup_of 1.1.0)" "$package"
launch "seconds=120" --launch-main
expect_true "the updated workbench shows" wait_for_workbench 1.1.0 90
expect_same_file "installed program is release 1.1.0" "$(program_of 1.1.0)" "$ide/VelmoQen工作台.exe"
expect_true "the package is gone" test ! -e "$package"
await_exit 20
expect "launcher exit code after the update" 0 "$app_exit"
kill_windows_programs_naming "VelmoQen工作台.exe --main"

echo "== a package of another digest is left alone"
publish 1.2.0
package="$downloads_dir/VelmoQenWorkbench-Update-v1.2.0.package"
cp "$(setup_of 1.2.0)" "$package"
printf 'X' | dd of="$package" bs=1 seek=100 conv=notrunc status=none
launch "seconds=120" --launch-main
expect_true "the installed workbench shows" wait_for_workbench 1.1.0 90
expect_same_file "installed program is still release 1.1.0" "$(program_of 1.1.0)" \
  "$ide/VelmoQen工作台.exe"
expect_true "the package is still there" test -f "$package"
await_exit 20
expect "launcher exit code" 0 "$app_exit"
kill_windows_programs_naming "VelmoQen工作台.exe --main"

echo "== velmo-diag launch prints the terminal event"
VELMO_WORKBENCH_STANDIN=seconds=60 run_diag launch --install-dir "$(win "$ide")" \
  --endpoint https://localhost
expect "velmo-diag launch exit code" 0 "$code"
expect "velmo-diag launch line" '{"event":"LaunchSucceeded"}' "$out"
kill_windows_programs_naming "VelmoQen工作台.exe --main"
VELMO_WORKBENCH_STANDIN=exit=1 run_diag launch --install-dir "$(win "$ide")" \
  --endpoint https://localhost
expect "velmo-diag launch exit code after a failure" 1 "$code"
expect "velmo-diag launch failure line" \
  '{"event":"LaunchFailed","message":"VelmoQen工作台尚未显示主窗口便已退出，错误码 1"}' "$out"
expect "velmo-diag launch failure message" "VelmoQen工作台尚未显示主窗口便已退出，错误码 1" "$err"

echo "== Esc while an update is applied does not close the startup window"
rm -f "$downloads_dir"/*.package
# Large enough that applying it takes seconds under Wine.
publish 1.3.0 300
package="$downloads_dir/VelmoQenWorkbench-Update-v1.3.0.package"
cp "$(setup_of 1.3.0)" "$package"
package_bytes=$(stat -c %s "$package")
launch "seconds=120" --launch-main
expect_true "the startup window shows" probe_window "$startup_title" 30
# The launch reads the package once to verify it, then tells the window it
# applies it; once it has read well beyond one pass, it is applying.
launcher_pid=""
for dir in /proc/[0-9]*; do
  cmdline=$(tr '\0' ' ' 2>/dev/null <"$dir/cmdline") || continue
  if [[ $cmdline == "$(win "$launcher")"* ]]; then
    launcher_pid=${dir#/proc/}
  fi
done
read_bytes() { awk '$1 == "rchar:" { print $2 }' "/proc/$launcher_pid/io" 2>/dev/null || echo 0; }
applying=no
for _ in $(seq 600); do
  if [ "$(read_bytes)" -gt $((package_bytes + 16 * 1024 * 1024)) ]; then
    applying=yes
    break
  fi
  sleep 0.1
done
expect "the launch reached the update step" yes "$applying"
probe_key Escape
sleep 0.3
probe_key Escape
sleep 0.5
expect_true "the startup window stays while the update is applied" probe_window_visible
expect_true "the updated workbench shows" wait_for_workbench 1.3.0 180
expect_same_file "installed program is release 1.3.0" "$(program_of 1.3.0)" "$ide/VelmoQen工作台.exe"
expect_true "the package is gone" test ! -e "$package"
await_exit 20
kill_windows_programs_naming "VelmoQen工作台.exe --main"

echo "== the preview shows the launching layout"
launch "" --preview-startup
expect_true "the preview window shows" probe_window "$startup_title" 30
sleep 1
probe_grab "$shot"
expect "status dot while launching" 007ACC "$(probe_pixel "$shot" 153 112)"
expect "track" 2A2A2B "$(probe_pixel "$shot" 300 177)"
probe_crop "$shot" "$shots/startup.png" 620 250
probe_click 300 150
sleep 0.5
expect_true "a click in the window changes nothing" probe_window_visible
origin_before="$probe_x $probe_y"
probe_drag 100 16 50 30
probe_origin
expect "the title bar drags the startup window" \
  "$((${origin_before% *} + 50)) $((${origin_before#* } + 30))" "$probe_x $probe_y"
probe_key Escape
await_exit 10
expect "exit code after Esc on the preview" 0 "$app_exit"

test_finish
