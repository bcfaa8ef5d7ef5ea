#!/usr/bin/env bash
# Saves the whole X display of a running Wine bench as a PNG.
#
#   screenshot.sh BUILD_DIR OUT.png
set -euo pipefail

script_dir=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
# shellcheck source=scripts/lib/bench_helpers.sh
source "$script_dir/lib/bench_helpers.sh"
[ $# -eq 2 ] || usage_error "screenshot.sh BUILD_DIR OUT.png"
build=$1
out=$2
bench="$script_dir/wine-bench.sh"

"$BASH" "$bench" status "$build" || die "the Wine bench of $build is not running"
display=$(cat "$build/wine-bench/display")

# /usr/bin/convert by full path: the one earlier on PATH may not be ImageMagick.
# Written beside the target and renamed, so a failed capture leaves no
# truncated PNG behind.
tmp="$out.tmp.$$"
if ! xwd -root -silent -display "$display" | /usr/bin/convert xwd:- "png:$tmp"; then
  rm -f "$tmp"
  die "capturing display $display failed"
fi
mv -f "$tmp" "$out"
