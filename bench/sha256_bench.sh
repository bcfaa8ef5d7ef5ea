#!/usr/bin/env bash
# Hashing throughput of velmo-diag's sha256 (the assistant's sha256_file)
# against the system's sha256sum on the same file, in the same run, with peak
# memory. Native build always; the Windows build under Wine when it exists.
#
#   bench/sha256_bench.sh [SIZE_MIB]     (default 512)
set -euo pipefail

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/bench_lib.sh"
enter_source_tree
size_mib=${1:-512}

cmake --preset host >/dev/null
cmake --build --preset host --target velmo-diag >/dev/null
native="$root/build/host/tools/velmo-diag"
build="$root/build/windows"
windows="$build/tools/velmo-diag.exe"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/data.bin"

report() {
  local name=$1 result=$2 peer=$3
  local seconds=${result%% *} kib=${result##* } peer_seconds=${peer%% *}
  awk -v n="$name" -v s="$seconds" -v k="$kib" -v p="$peer_seconds" -v m="$size_mib" 'BEGIN {
    printf "%-28s %7.2f s  %8.1f MiB/s  time ratio vs sha256sum %5.2f  peak RSS %6.1f MiB\n",
           n, s, (s > 0 ? m / s : 0), (p > 0 ? s / p : 0), k / 1024 }'
}

echo "file: ${size_mib} MiB of random data"
peer=$(best_of_three sha256sum "$work/data.bin")
report "sha256sum" "$peer" "$peer"
report "velmo-diag sha256 (native)" "$(best_of_three "$native" sha256 "$work/data.bin")" "$peer"
if [ -x "$windows" ]; then
  # Peak RSS is that of the largest process in the tree.
  start_wine_bench
  trap 'stop_started_benches; rm -rf "$work"' EXIT
  report "velmo-diag.exe (Wine)" "$(best_of_three scripts/wine-run.sh "$windows" sha256 "$work/data.bin")" "$peer"
fi
