#!/usr/bin/env bash
# Builds the assistant for Windows and runs it under Wine, against a demo
# release: nginx (the network bench, tests/network/net-bench.sh) serves the
# bootstrap policy and a workbench installer of version 1.0.0 packed around
# the stand-in workbench, on https://localhost, the origin development
# builds have built in. Every run starts on a fresh demo machine (its own
# ProgramData and runtime folders under build/windows/demo, the install
# directory C:\VelmoQen工作台 of the bench's prefix, no WebView2 runtime
# registered), so there is always something to install.
#
#   scripts/run.sh [--seconds N] [-- ASSISTANT_ARGS...]
#
# With a DISPLAY the window opens there and the script returns when it is
# closed. Without one the assistant runs on a private Xvfb display for at most
# N seconds (default 60); without ASSISTANT_ARGS it installs on its own
# (--installer, the download served at 2 MB/s so that every phase stays on
# screen a while) and a screenshot is saved every second into
# build/windows/screenshots/. Everything started is stopped again.
set -euo pipefail

root=$(realpath "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/..")
cd "$root"
# shellcheck source=scripts/lib/bench_helpers.sh
source scripts/lib/bench_helpers.sh

seconds=60
while [ $# -gt 0 ]; do
  case $1 in
    --seconds)
      if [ $# -lt 2 ] || ! [[ $2 =~ ^[0-9]+$ ]]; then
        echo "run.sh: --seconds needs a number" >&2
        exit 2
      fi
      seconds=$2
      shift 2
      ;;
    --)
      shift
      break
      ;;
    *)
      echo "usage: scripts/run.sh [--seconds N] [-- ASSISTANT_ARGS...]" >&2
      exit 2
      ;;
  esac
done

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target velmo-assistant velmo-pack velmo-workbench-standin \
  velmo_add_root_cert velmo_env_run
readonly build="$root/build/windows"
readonly assistant="$build/src/velmo-assistant.exe"
readonly env_run="$build/tests/network/velmo_env_run.exe"
readonly wine_run="$root/scripts/wine-run.sh"
readonly demo="$build/demo"
# The install directory lies on the prefix's drive C: like a real one, so
# that no folder above it is one other accounts may change, wherever the
# checkout is (the assistant refuses such a place).
readonly demo_install="$build/wine-bench/prefix/drive_c/VelmoQen工作台"
readonly www="$build/net-bench/www"

app=""
# shellcheck disable=SC2317 # called by trap
cleanup() {
  if [ -n "$app" ]; then
    kill -TERM "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
  fi
  rm -f "$www/downloads.slow"
  bash tests/network/net-bench.sh stop "$build" || true
  bash scripts/wine-bench.sh stop "$build" || true
}
trap cleanup EXIT

bash scripts/wine-bench.sh start "$build"
bash tests/network/net-bench.sh start "$build"
scripts/publish-release.sh "$build" 1.0.0 6

rm -rf "$demo" "$demo_install"
mkdir -p "$demo/ProgramData" "$demo/ProgramFiles(x86)" "$demo/LocalAppData"
forget_webview2_runtime "$wine_run" "$env_run"

# The machine's folders reach the assistant through a Windows parent (Wine
# sets them itself for a process started from Linux). The stand-in
# bootstrapper registers the runtime two seconds after it ends, as a real
# one takes its time.
run_assistant() {
  "$wine_run" "$env_run" "ProgramData=$(win "$demo/ProgramData")" \
    "ProgramFiles(x86)=$(win "$demo/ProgramFiles(x86)")" \
    "LOCALAPPDATA=$(win "$demo/LocalAppData")" "VELMO_WEBVIEW2_STANDIN=delay=2" -- \
    "$assistant" --install-dir 'C:\VelmoQen工作台' "$@"
}

if [ -n "${DISPLAY:-}" ]; then
  run_assistant "$@"
  exit 0
fi

if [ $# -eq 0 ]; then
  set -- --installer
  touch "$www/downloads.slow"
fi
shots="$build/screenshots"
mkdir -p "$shots"
rm -f "$shots"/*.png
run_assistant "$@" </dev/null &
app=$!

started=$SECONDS
shot=0
while [ $((SECONDS - started)) -lt "$seconds" ] && pid_alive "$app"; do
  sleep 1
  shot=$((shot + 1))
  scripts/screenshot.sh "$build" "$(printf '%s/shot-%03d.png' "$shots" "$shot")" || true
done
# What follows the assistant (the launcher it hands over to) is shown too.
for _ in 1 2 3; do
  sleep 1
  shot=$((shot + 1))
  scripts/screenshot.sh "$build" "$(printf '%s/shot-%03d.png' "$shots" "$shot")" || true
done
echo "run.sh: $shot screenshots in $shots"
