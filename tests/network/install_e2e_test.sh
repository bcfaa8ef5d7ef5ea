#!/usr/bin/env bash
# The whole installation run under Wine against the network bench: releases
# 1.0.0 and 1.1.0 made by velmo-pack around the stand-in workbench, the
# policy and installer served by nginx over HTTPS, and velmo-diag install
# doing what the assistant's install button does. The stand-in WebView2
# bootstrapper that the build carries installs the runtime into folders and
# registry keys of the test's own; its environment variable chooses how it
# behaves. Checked: the events and their order, the files and registry
# values left behind, and what nginx was asked for.
#
#   install_e2e_test.sh BUILD_DIR
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=net_test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/net_test_lib.sh"
net_test_init "$@"
require_diag_command install

source_dir=$(realpath "$net_lib_dir/../..")
readonly source_dir
readonly assistant="$net_build/src/velmo-assistant.exe"
readonly prefix="$net_build/wine-bench/prefix"
shortcut="$prefix/drive_c/users/$(id -un)/Desktop/Velmo Qen 工作台.lnk"
readonly shortcut
readonly policy_request='GET /v1/bootstrap?version=0.0.0&target=windows&arch=x86_64'

reg() { "$wine_run" "$env_run" -- reg.exe "$@"; }
forget_runtime() { forget_webview2_runtime "$wine_run" "$env_run"; }

cleanup() {
  forget_runtime
  rm -f "$shortcut" "$VELMO_NET_WWW/policy.json"
  remove_work_dir
}
trap cleanup EXIT
forget_runtime
rm -f "$shortcut"

# publish VERSION: the policy now offers that release (see
# scripts/publish-release.sh); program_of VERSION is its main program.
publish() {
  "$source_dir/scripts/publish-release.sh" "$net_build" "$1" >/dev/null
}
program_of() { echo "$VELMO_NET_DIR/releases/VelmoQen工作台-v$1.exe"; }

# A machine of the test's own: the data root and the two runtime folders
# the assistant looks in, all empty, and no runtime registered.
fresh_machine() {
  fresh_program_data
  program_files_x86=$(mktemp -d "$work/pfx86.XXXXXX")
  local_app_data=$(mktemp -d "$work/localappdata.XXXXXX")
  forget_runtime
}

# install DIR [STANDIN_BEHAVIOUR [WAIT_SECONDS]]: velmo-diag install with the
# machine's folders; sets out, err, code and events (one line per event:
# NAME COMPONENT, a run of Progress lines of one component shown once).
install() {
  local dir=$1 behaviour=${2:-} wait=${3:-}
  local extra=()
  [ -z "$wait" ] || extra=(--webview2-wait-seconds "$wait")
  exit_code_of timeout 600 "$wine_run" "$env_run" "ProgramData=$(win "$program_data")" \
    "ProgramFiles(x86)=$(win "$program_files_x86")" "LOCALAPPDATA=$(win "$local_app_data")" \
    "VELMO_WEBVIEW2_STANDIN=$behaviour" -- \
    "$diag" install --install-dir "$(win "$dir")" --endpoint https://localhost \
    --assistant "$assistant" "${extra[@]}" >"$work/install.out" 2>"$work/install.err"
  out=$(tr -d '\r' <"$work/install.out")
  err=$(tr -d '\r' <"$work/install.err")
  events=$(python3 -c 'import json, sys
last = None
for line in sys.stdin:
    event = json.loads(line)
    shown = event["event"] + " " + str(event.get("component", "-"))
    if shown != last or event["event"] != "Progress":
        print(shown)
    last = shown' <<<"$out")
}

# The message of the first event named NAME (and COMPONENT).
event_message() {
  python3 -c 'import json, sys
for line in sys.stdin:
    event = json.loads(line)
    if event["event"] == sys.argv[1] and str(event.get("component", "-")) == sys.argv[2]:
        print(event.get("message", ""))
        break' "$1" "$2" <<<"$out"
}

# "pv=V files=yes|no" for the machine scope of this machine.
machine_runtime() {
  local pv files=no
  pv=$(reg query "$webview2_machine_key" /v pv 2>/dev/null | tr -d '\r' | awk '$1 == "pv" { print $3 }') || true
  if [ -n "$pv" ] && [ -f "$program_files_x86/Microsoft/EdgeWebView/Application/$pv/msedge.dll" ] &&
    [ -f "$program_files_x86/Microsoft/EdgeWebView/Application/$pv/msedgewebview2.exe" ]; then
    files=yes
  fi
  echo "pv=${pv:--} files=$files"
}

manifest_version() {
  python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["version"])' "$1/install-manifest.json"
}

downloads_of() { log_since "$VELMO_NET_ACCESS_LOG" "$1" | grep -c 'GET /v1/downloads/' || true; }

publish 1.0.0

echo "== a fresh machine: runtime and workbench missing"
fresh_machine
ide="$work/IDE"
bootstrapper_log="$work/bootstrapper.log"
mark=$(log_mark "$VELMO_NET_ACCESS_LOG")
install "$ide" "log=$(win "$bootstrapper_log")"
expect "fresh install exit code" 0 "$code"
expect "fresh install events" "Progress 4
ComponentDownloaded 4
Progress 5
ComponentDownloaded 5
Installing 4
ComponentInstalled 4
Installing 5
ComponentInstalled 5
InstallCompleted -" "$events"
expect "bootstrapper ready message" "微软 WebView2 Evergreen 引导器已准备完成。" "$(event_message Progress 4)"
expect_match "download message" "正在下载 VelmoQen工作台 v1.0.0 · *% · *.* MB" "$(event_message Progress 5)"
expect "install action" "正在安装VelmoQen工作台到 $(win "$ide")。" "$(event_message Installing 5)"
expect "bootstrapper ran silently" "/silent /install" "$(tr -d '\r' <"$bootstrapper_log" 2>/dev/null)"
expect "runtime present" "pv=120.0.2210.91 files=yes" "$(machine_runtime)"
expect_same_file "installed program is release 1.0.0" "$(program_of 1.0.0)" "$ide/VelmoQen工作台.exe"
expect "manifest version" 1.0.0 "$(manifest_version "$ide")"
expect_same_file "launcher is the assistant" "$assistant" "$ide/运行组件/VelmoQen工作台启动器.exe"
expect_true "desktop shortcut written" test -f "$shortcut"
expect "one installer download" 1 "$(downloads_of "$mark")"
expect_same_file "bootstrapper written out" "$net_build/tools/standins/velmo-webview2-standin.exe" \
  "$downloads/MicrosoftEdgeWebview2Setup.exe"

echo "== run again: nothing missing"
rm -f "$shortcut" "$bootstrapper_log"
mark=$(log_mark "$VELMO_NET_ACCESS_LOG")
install "$ide" "log=$(win "$bootstrapper_log")"
expect "second run exit code" 0 "$code"
expect "second run events" "InstallCompleted -" "$events"
expect "only the policy was asked for" "$policy_request" \
  "$(log_since "$VELMO_NET_ACCESS_LOG" "$mark" | sed -n 's/^[^"]*"\([^"]*\)".*/\1/p')"
expect_true "shortcut refreshed" test -f "$shortcut"
expect_true "bootstrapper not run again" test ! -e "$bootstrapper_log"

echo "== a newer policy: update to 1.1.0"
publish 1.1.0
install "$ide"
expect "update exit code" 0 "$code"
expect "update events" "Progress 5
ComponentDownloaded 5
Installing 5
ComponentInstalled 5
InstallCompleted -" "$events"
expect "update action" "正在更新VelmoQen工作台到 $(win "$ide")。" "$(event_message Installing 5)"
expect_same_file "updated program is release 1.1.0" "$(program_of 1.1.0)" "$ide/VelmoQen工作台.exe"
expect "manifest version after update" 1.1.0 "$(manifest_version "$ide")"
expect "no backups or partial files left" "" \
  "$(cd "$ide" && find . -maxdepth 1 \( -name '*backup*' -o -name '*partial*' -o -name '*.recovery-*' \))"

echo "== the bootstrapper's exit codes"
fresh_machine
install "$ide" "exit=3010"
expect "3010 counts as success" 0 "$code"
expect "3010 run completes" "InstallCompleted -" "$(tail -n1 <<<"$events")"
fresh_machine
install "$ide" "exit=1"
expect "exit 1 fails" 1 "$code"
expect "exit 1 message" "安装程序执行失败，错误码 1。" "$err"
expect "exit 1 ends the run" "InstallFailed -" "$(tail -n1 <<<"$events")"

echo "== the runtime appearing late, or never"
fresh_machine
started=$SECONDS
install "$ide" "delay=4"
expect "late runtime waited for" 0 "$code"
expect "late runtime run completes" "InstallCompleted -" "$(tail -n1 <<<"$events")"
expect_true "waited for the runtime" test $((SECONDS - started)) -ge 4
fresh_machine
install "$ide" "none" 3
expect "missing runtime fails" 1 "$code"
expect "missing runtime message" \
  "微软 WebView2 安装服务已经结束，但未检测到完整运行环境，已停止打开 IDE 安装程序。" "$err"

echo "== a download failing its digest while the runtime is missing"
fresh_machine
publish 1.2.0
python3 -c 'import json, sys
policy = json.load(open(sys.argv[1]))
policy["updateSha256"] = "0" * 64
json.dump(policy, open(sys.argv[1], "w"))' "$VELMO_NET_WWW/policy.json"
rm -f "$bootstrapper_log"
install "$ide" "log=$(win "$bootstrapper_log")"
expect "digest failure exit code" 1 "$code"
expect "digest failure ends in phase one" "Progress 4
ComponentDownloaded 4
Progress 5
InstallFailed -" "$events"
expect_true "bootstrapper written" test -f "$downloads/MicrosoftEdgeWebview2Setup.exe"
expect_true "bootstrapper never ran" test ! -e "$bootstrapper_log"
expect "runtime still missing" "pv=- files=no" "$(machine_runtime)"
expect_same_file "installation untouched" "$(program_of 1.1.0)" "$ide/VelmoQen工作台.exe"

test_finish
