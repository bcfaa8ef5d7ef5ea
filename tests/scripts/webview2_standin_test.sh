#!/usr/bin/env bash
# The WebView2 bootstrapper stand-in under Wine, as the assistant runs it
# ("/silent /install", waited for) and as the assistant then looks for the
# runtime: the "pv" value through the prefix's reg.exe and the two runtime
# files under the folders that ProgramFiles(x86) and LOCALAPPDATA name. Those
# two point at fresh folders of each case (handed over by velmo_env_run, as
# Wine ignores the Linux values). The full 32-bit exit code is read through
# cmd.exe, which waits for a GUI program and prints it; Linux would see only
# its low byte.
#
# Run it through CTest, whose wine fixture keeps the bench up: a bench that
# wine-run.sh brings up for a single run stops when the stand-in ends, and
# takes the stand-in's delayed copy with it.
#
#   webview2_standin_test.sh RUNNER STANDIN_EXE ENV_RUN
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

runner=$1 standin=$2 env_run=$3
make_work_dir

reg() { "$runner" "$env_run" -- reg.exe "$@"; }
forget_runtime() { forget_webview2_runtime "$runner" "$env_run"; }
trap 'forget_runtime; remove_work_dir' EXIT
forget_runtime

# cmd.exe takes its command line as it is: the program path must not need
# quotes, which a build tree's path does not.
case "$standin" in
  *' '*) fail "the test needs a program path without spaces: $standin"; exit 1 ;;
esac

# Prints the stand-in's exit code, run with VARIABLE=VALUE... in its
# environment. cmd.exe passes the code on as its own: only what it prints
# counts.
run_with() {
  { "$runner" "$env_run" "$@" -- \
    cmd.exe /v:on /c "$(win "$standin") /silent /install & echo !ERRORLEVEL!" || true; } |
    tr -d '\r'
}

# The same with SETTINGS, in a fresh pair of folders of the case.
run_standin() {
  local case_dir=$1 settings=$2
  run_with "ProgramFiles(x86)=$case_dir/Program Files (x86)" "LOCALAPPDATA=$case_dir/Local" \
    "VELMO_WEBVIEW2_STANDIN=$settings"
}

# "pv=V files=V" for one scope: the registered version ("-" without one) and
# every version folder holding both runtime files as regular files ("-" for
# none, "?" for a folder missing one of them).
runtime_of() {
  local key=$1 base=$2 pv folders="" folder
  if pv=$(reg query "$key" /v pv 2>/dev/null); then
    pv=$(awk '$1 == "pv" { print $3 }' <<<"$pv" | tr -d '\r')
  else
    pv=-
  fi
  for folder in "$base"/Microsoft/EdgeWebView/Application/*/; do
    [ -d "$folder" ] || continue
    if [ -f "$folder/msedgewebview2.exe" ] && [ -f "$folder/msedge.dll" ] &&
      [ ! -L "$folder/msedgewebview2.exe" ] && [ ! -L "$folder/msedge.dll" ]; then
      folders+="${folders:+,}$(basename "$folder")"
    else
      folders+="${folders:+,}?"
    fi
  done
  printf 'pv=%s files=%s' "$pv" "${folders:--}"
}

machine_runtime() { runtime_of "$webview2_machine_key" "$1/Program Files (x86)"; }
user_runtime() { runtime_of "$webview2_user_key" "$1/Local"; }

default_version=120.0.2210.91
none='pv=- files=-'
at() { printf 'pv=%s files=%s' "$1" "$1"; }

# SETTINGS | exit code | machine runtime | user runtime
cases=(
  "|0|$(at $default_version)|$none"
  "scope=machine,version=121.0.2277.83|0|$(at 121.0.2277.83)|$none"
  "scope=user|0|$none|$(at $default_version)"
  "exit=3010|3010|$(at $default_version)|$none"
  "exit=1,scope=user|1|$none|$(at $default_version)"
  "exit=2359302|2359302|$(at $default_version)|$none"
  "exit=-1073741819|-1073741819|$(at $default_version)|$none"
  "none|0|$none|$none"
  "none,exit=3010|3010|$none|$none"
  # Not understood: nothing is written, and the code says why.
  "scope=both|87|$none|$none"
  "exit=3010x|87|$none|$none"
  "exit=2147483648|87|$none|$none"
  "delay=-1|87|$none|$none"
  "version=120..0|87|$none|$none"
  'version=..\..\x|87|'"$none|$none"
  "none=1|87|$none|$none"
  "silent|87|$none|$none"
  "scope=user,,exit=1|87|$none|$none"
  "scope=user,|87|$none|$none"
  "log=|87|$none|$none"
)
n=0
for entry in "${cases[@]}"; do
  IFS='|' read -r settings code machine user <<<"$entry"
  n=$((n + 1))
  forget_runtime
  expect "[$settings] exit code" "$code" "$(run_standin "$work/case$n" "$settings")"
  expect "[$settings] machine runtime" "$machine" "$(machine_runtime "$work/case$n")"
  expect "[$settings] user runtime" "$user" "$(user_runtime "$work/case$n")"
done

# The arguments it was given, one line per run; nothing from a run that
# refused its settings.
forget_runtime
log=$work/arguments.log
run_standin "$work/log" "log=$(win "$log")" >/dev/null
run_standin "$work/log" "log=$(win "$log"),scope=both" >/dev/null
run_standin "$work/log" "none,log=$(win "$log")" >/dev/null
expect "logged arguments" "$(printf '/silent /install\n/silent /install')" "$(cat "$log")"

# The runtime files come before the version value: when they cannot be
# written, the runtime is not registered either.
forget_runtime
printf 'a file, not a folder' >"$work/blocked"
code=$(run_with "ProgramFiles(x86)=$work/blocked/Program Files (x86)")
expect "unwritable runtime folder exit code" 1603 "$code"
expect "unwritable runtime folder not registered" "$none" "$(runtime_of "$webview2_machine_key" "$work/blocked")"

# A delayed runtime appears only after the stand-in has ended, as with a
# bootstrapper that hands the install over to an updater.
forget_runtime
started=$(date +%s%N)
code=$(run_standin "$work/delay" "delay=3,exit=3010")
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
expect "delayed: exit code" 3010 "$code"
expect "delayed: ended before the delay" yes "$([ "$elapsed_ms" -lt 3000 ] && echo yes || echo "no, ${elapsed_ms} ms")"
expect "delayed: no runtime when it ended" "$none" "$(machine_runtime "$work/delay")"
# The files come first, so a look in between may see them unregistered.
state=$none
for _ in $(seq 1 30); do
  state=$(machine_runtime "$work/delay")
  [ "$state" != "$(at $default_version)" ] || break
  sleep 0.5
done
expect "delayed: runtime appears later" "$(at $default_version)" "$state"

test_finish
