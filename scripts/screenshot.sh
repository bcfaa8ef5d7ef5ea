#!/usr/bin/env bash
# Saves the whole X display of a running Wine bench as a PNG.
#
#   screenshot.sh BUILD_DIR OUT.png
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: screenshot.sh BUILD_DIR OUT.png" >&2
  exit 2
fi
build=$1
out=$2
bench="$(dirname "$(realpath "${BASH_SOURCE[0]}")")/wine-bench.sh"

if ! "$BASH" "$bench" status "$build"; then
  echo "screenshot: the Wine bench of $build is not running" >&2
  exit 1
fi
display=$(cat "$build/wine-bench/display")

# /usr/bin/convert by full path: the one earlier on PATH may not be ImageMagick.
# Written beside the target and renamed, so a failed capture leaves no
# truncated PNG behind.
tmp="$out.tmp.$$"
if ! xwd -root -silent -display "$display" | /usr/bin/convert xwd:- "png:$tmp"; then
  rm -f "$tmp"
  echo "screenshot: capturing display $display failed" >&2
  exit 1
fi
mv -f "$tmp" "$out"
