#!/usr/bin/env bash
# Builds the engine's libFuzzer targets with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer (the fuzz preset, in build/fuzz) and runs each
# one in turn for SECONDS (default 20) on a copy of its seed corpus in
# tests/fuzz/corpus/. Fails on any finding; the input that caused it is kept
# in build/fuzz/fuzz-findings/<target>/.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail

root=$(dirname "$(realpath "${BASH_SOURCE[0]}")")/..
cd "$root"

seconds=${1:-20}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]] || [ $# -gt 1 ]; then
  echo "usage: scripts/fuzz.sh [SECONDS]" >&2
  exit 2
fi

bash scripts/install-deps.sh
cmake --preset fuzz -DVELMO_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build --preset fuzz
echo "== ctest --preset fuzz (${seconds} s per target)"
ctest --preset fuzz
