#!/usr/bin/env bash
# Builds the assistant for Windows and runs it under Wine, against a demo
# release: nginx (the network bench, tests/network/net-bench.sh) serves the
# bootstrap policy and a workbench installer of version 1.0.0 packed around
# the stand-in workbench, on https://localhost, the origin development
# builds have built in.
#
#   scripts/run.sh [--seconds N] [-- ASSISTANT_ARGS...]
#
# With a DISPLAY the window opens there and the script returns when it is
# closed. Without one the assistant runs on a private Xvfb display for N
# seconds (default 20), a screenshot is saved every few seconds into
# build/windows/screenshots/. Everything started is stopped again.
set -euo pipefail

root=$(dirname "$(realpath "${BASH_SOURCE[0]}")")/..
cd "$root"
# shellcheck source=scripts/lib/bench_helpers.sh
source scripts/lib/bench_helpers.sh

seconds=20
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
  velmo_add_root_cert
readonly build="$root/build/windows"
readonly assistant="$build/src/velmo-assistant.exe"

app=""
# shellcheck disable=SC2317 # called by trap
cleanup() {
  if [ -n "$app" ]; then
    kill -TERM "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
  fi
  bash tests/network/net-bench.sh stop "$build" || true
  bash scripts/wine-bench.sh stop "$build" || true
}
trap cleanup EXIT

if [ -n "${DISPLAY:-}" ]; then
  bash tests/network/net-bench.sh start "$build"
  scripts/publish-release.sh "$build" 1.0.0
  scripts/wine-run.sh "$assistant" "$@"
  exit 0
fi

shots="$build/screenshots"
mkdir -p "$shots"
rm -f "$shots"/*.png
bash scripts/wine-bench.sh start "$build"
bash tests/network/net-bench.sh start "$build"
scripts/publish-release.sh "$build" 1.0.0

scripts/wine-run.sh "$assistant" "$@" </dev/null &
app=$!

elapsed=0
shot=0
while [ "$elapsed" -lt "$seconds" ] && pid_alive "$app"; do
  sleep 3
  elapsed=$((elapsed + 3))
  shot=$((shot + 1))
  scripts/screenshot.sh "$build" "$(printf '%s/shot-%02d.png' "$shots" "$shot")" || true
done
echo "run.sh: screenshots in $shots"
