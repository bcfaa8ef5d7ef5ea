#!/usr/bin/env bash
# The build's pinning of the carried WebView2 bootstrapper: Microsoft's file
# is refused unless size and SHA-256 are exactly the published ones, and a
# stand-in is pinned with its own size and digest in the generated header.
#
#   bootstrapper_pin_test.sh SOURCE_DIR
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

source_dir=$1
script="$source_dir/cmake/pin_bootstrapper.cmake"
make_work_dir

readonly microsoft_bytes=1691856
readonly microsoft_sha256=0223FA1E8D5BD5E4344FB8734E60D088E79F262C0A24444D01F240BC996F04E5

# pin FILE KIND [EXPECT]: runs the script; prints its exit status, its
# messages land in $work/pin.log.
pin() {
  local file=$1 kind=$2 extra=()
  if [ "${3:-}" = expect ]; then
    extra=("-DEXPECTED_BYTES=$microsoft_bytes" "-DEXPECTED_SHA256=$microsoft_sha256")
  fi
  rm -f "$work/pin.h" "$work/data.S"
  local status=0
  cmake -DINPUT="$file" -DKIND="$kind" -DOUT_HEADER="$work/pin.h" -DOUT_ASSEMBLY="$work/data.S" \
    "${extra[@]}" -P "$script" >"$work/pin.log" 2>&1 || status=$?
  echo "$status"
}

# The script's messages on one line (CMake wraps them).
said() { tr -s ' \n' '  ' <"$work/pin.log"; echo; }

# Microsoft's size with other bytes, and another size: both refused, nothing
# generated.
head -c "$microsoft_bytes" /dev/zero >"$work/same-size.exe"
expect "right size, wrong digest refused" 1 "$(pin "$work/same-size.exe" microsoft expect)"
expect "the refusal names the digest" 1 "$(said | grep -c "SHA-256 .*expected $microsoft_sha256")"
expect "nothing generated for a refused file" "no" "$([ -e "$work/pin.h" ] && echo yes || echo no)"
head -c 1000 /dev/urandom >"$work/small.exe"
expect "wrong size refused" 1 "$(pin "$work/small.exe" microsoft expect)"
expect "the refusal names the size" 1 "$(said | grep -c "1000 bytes, expected $microsoft_bytes")"
expect "a missing file refused" 1 "$(pin "$work/absent.exe" microsoft expect)"

# A stand-in: pinned as it is, and said to be a stand-in.
expect "stand-in pinned" 0 "$(pin "$work/small.exe" standin)"
digest=$(upper_sha256 "$work/small.exe")
expect "header has the stand-in's size" 1 "$(grep -c 'kBootstrapperBytes = 1000;' "$work/pin.h")"
expect "header has the stand-in's digest" 1 "$(grep -c "kBootstrapperSha256\[\] = \"$digest\"" "$work/pin.h")"
expect "header says stand-in" 1 "$(grep -c 'kBootstrapperIsStandIn = true;' "$work/pin.h")"
expect "assembly carries the file" 1 "$(grep -c ".incbin \"$work/small.exe\"" "$work/data.S")"
expect "the build output says stand-in" 1 "$(grep -c 'stand-in for the WebView2 bootstrapper' "$work/pin.log")"

test_finish
