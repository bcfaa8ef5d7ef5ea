#!/usr/bin/env bash
# Remakes the README's pictures of the window (docs/screenshots/*.png) from
# the real program under Wine: builds the Windows tree, brings up the Wine
# and network benches, and runs the end-to-end tests of the main window and
# of launch mode, which save the window of every screen they reach. Only
# passing runs replace the pictures.
#
#   scripts/readme-screenshots.sh
set -euo pipefail

root=$(realpath "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/..")
cd "$root"
readonly build="$root/build/windows"
readonly out="$root/docs/screenshots"
readonly names=(ready downloading installing finished failed waiting startup startup-failed)

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows

# shellcheck disable=SC2317 # called by trap
cleanup() {
  bash tests/network/net-bench.sh stop "$build" || true
  bash scripts/wine-bench.sh stop "$build" || true
  rm -rf "$shots"
}
shots=$(mktemp -d)
trap cleanup EXIT
bash scripts/wine-bench.sh start "$build"
bash tests/network/net-bench.sh start "$build"

VELMO_WINDOW_SHOTS=$shots bash tests/network/window_e2e_test.sh "$build"
VELMO_WINDOW_SHOTS=$shots bash tests/network/launch_e2e_test.sh "$build"
mkdir -p "$out"
for name in "${names[@]}"; do
  [ -f "$shots/$name.png" ] || {
    echo "readme-screenshots: the test saved no $name.png" >&2
    exit 1
  }
done
for name in "${names[@]}"; do
  mv -f "$shots/$name.png" "$out/$name.png"
done
echo "readme-screenshots: ${names[*]} in $out"
