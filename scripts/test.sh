#!/usr/bin/env bash
# Builds every preset and runs every test: the portable code natively (plain
# and under AddressSanitizer/UndefinedBehaviorSanitizer), the Windows program
# and its tests under Wine, then each fuzz target of the engine for a bounded
# time (scripts/fuzz.sh).
#
#   scripts/test.sh
set -euo pipefail

root=$(dirname "$(realpath "${BASH_SOURCE[0]}")")/..
cd "$root"

bash scripts/install-deps.sh

presets=(host host-asan windows)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
for preset in "${presets[@]}"; do
  echo "== ctest --preset $preset"
  ctest --preset "$preset"
done
# Fuzzing comes last: it is the slowest step (about 20 seconds per target),
# and a failing unit test above says more, sooner.
bash scripts/fuzz.sh
