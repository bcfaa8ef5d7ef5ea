#!/usr/bin/env bash
# The verified-installer steps (the whole installer against the release, the
# bundle and both payloads, the main program's cache copy and its final
# check) on a large bundle, timed against sha256sum of the same file in the
# same run, with peak memory. The bundle is made by velmo-pack around random
# programs; velmo-diag bundle runs the steps, natively and (when the Windows
# build exists) under Wine. Each run starts without a cache file, so the
# copy is included; a second line times the run that finds the cache valid,
# a third the whole apply (the steps, then the install of the main program,
# launcher and shortcut) into an empty install directory. Each line also
# shows the data read, counted by the kernel (rchar of /proc/PID/io, less a
# run that reads no data), in lengths of the bundle: the passes over it.
#
#   bench/bundle_bench.sh [BUNDLE_MIB] [MAIN_MIB]     (default 512 and 400)
set -euo pipefail

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/bench_lib.sh"
enter_source_tree
bundle_mib=${1:-512}
main_mib=${2:-400}
helper_mib=1
installer_mib=$((bundle_mib - main_mib - helper_mib))
if [ "$installer_mib" -lt 1 ]; then
  echo "usage: bench/bundle_bench.sh [BUNDLE_MIB] [MAIN_MIB] (MAIN_MIB + 2 <= BUNDLE_MIB)" >&2
  exit 2
fi

cmake --preset host >/dev/null
cmake --build --preset host --target velmo-diag velmo-pack >/dev/null
diag="$root/build/host/tools/velmo-diag"
pack="$root/build/host/tools/velmo-pack"
build="$root/build/windows"
windows_diag="$build/tools/velmo-diag.exe"
env_run="$build/tests/network/velmo_env_run.exe"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# An unsigned PE32+ image: DOS header, "PE\0\0", file header and an optional
# header with 16 empty data directories, then random filler.
make_program() {
  local path=$1 mib=$2
  python3 - "$path" <<'PY'
import struct, sys
image = bytearray(512)
image[0:2] = b"MZ"
struct.pack_into("<I", image, 60, 64)
image[64:68] = b"PE\0\0"
struct.pack_into("<HH", image, 68, 0x8664, 0)
struct.pack_into("<H", image, 84, 240)
struct.pack_into("<H", image, 88, 0x20B)
struct.pack_into("<I", image, 88 + 108, 16)
open(sys.argv[1], "wb").write(image)
PY
  head -c "$((mib * 1024 * 1024 - 512))" /dev/urandom >>"$path"
}

make_program "$work/setup.exe" "$installer_mib"
make_program "$work/main.exe" "$main_mib"
make_program "$work/helper.exe" "$helper_mib"
"$pack" bundle --installer "$work/setup.exe" --main-program "$work/main.exe" \
  --startup-helper "$work/helper.exe" --version 1.0.0 -o "$work/bundle.exe" >/dev/null
bytes=$(stat -c %s "$work/bundle.exe")
digest=$(sha256sum "$work/bundle.exe" | cut -d' ' -f1)
cache="$work/data/VelmoInstaller/downloads/embedded-core/VelmoQenWorkbench-Core-v1.0.0.exe"

# Best of three; with `fresh` the cache and the installation are removed
# before each run (the removal is timed too, and is negligible).
measure() {
  if [ "$1" = fresh ]; then
    shift
    # shellcheck disable=SC2016 # expanded by the inner shell
    best_of_three sh -c 'rm -rf "$0" "$1"; shift; exec "$@"' "$cache" "$work/install" "$@"
  else
    shift
    best_of_three "$@"
  fi
}

# read_passes fresh|keep BASELINE COMMAND...: the data COMMAND reads, less
# BASELINE, in lengths of the bundle; `fresh` starts without a cache and an
# installation.
read_passes() {
  local mode=$1 baseline=$2
  shift 2
  [ "$mode" = keep ] || rm -rf "$cache" "$work/install"
  passes "$(rchar_of "$@")" "$baseline"
}

# passes BYTES_READ BASELINE: the data read, in lengths of the bundle.
passes() {
  awk -v r="$1" -v b="$2" -v n="$bytes" 'BEGIN { printf "%.2f", (r - b) / n }'
}

report() {
  local name=$1 result=$2 peer=$3 read_passes=${4:-}
  local seconds=${result%% *} kib=${result##* } peer_seconds=${peer%% *}
  awk -v n="$name" -v s="$seconds" -v k="$kib" -v p="$peer_seconds" -v f="$read_passes" 'BEGIN {
    printf "%-40s %7.2f s  vs sha256sum %5.2f  peak RSS %6.1f MiB  %s\n",
           n, s, (p > 0 ? s / p : 0), k / 1024, (f == "" ? "" : "read " f " × the bundle") }'
}

steps=(bundle --installer "$work/bundle.exe" --version 1.0.0 --sha256 "$digest" --bytes "$bytes")
apply=(apply --installer "$work/bundle.exe" --install-dir "$work/install" --version 1.0.0
  --sha256 "$digest" --bytes "$bytes" --assistant "$work/helper.exe")
echo "bundle: $((bytes / 1048576)) MiB, main program ${main_mib} MiB, installer image ${installer_mib} MiB"
peer=$(measure keep sha256sum "$work/bundle.exe")
report "sha256sum of the bundle" "$peer" "$peer" "$(passes "$(rchar_of sha256sum "$work/bundle.exe")" 0)"

native=(env ProgramData="$work/data" HOME="$work/home" "$diag")
mkdir -p "$work/home/Desktop"
baseline=$(rchar_of "${native[@]}" version)
report "velmo-diag bundle (native, new cache)" "$(measure fresh "${native[@]}" "${steps[@]}")" \
  "$peer" "$(read_passes fresh "$baseline" "${native[@]}" "${steps[@]}")"
# Where the native time goes: the same with the data directory in memory,
# where the cache's flush to the disk costs nothing.
if [ -d /dev/shm ]; then
  in_memory="/dev/shm/velmo-bundle-bench.$$"
  # shellcheck disable=SC2016 # expanded by the inner shell
  report "  the same, data directory in RAM" \
    "$(best_of_three sh -c 'rm -rf "$0"; exec env ProgramData="$0" "$@"' "$in_memory" "$diag" \
      "${steps[@]}")" "$peer"
  rm -rf "$in_memory"
fi
report "velmo-diag bundle (native, cache valid)" "$(measure keep "${native[@]}" "${steps[@]}")" \
  "$peer" "$(read_passes keep "$baseline" "${native[@]}" "${steps[@]}")"
report "velmo-diag apply (native, from scratch)" \
  "$(measure fresh "${native[@]}" "${apply[@]}")" "$peer" \
  "$(read_passes fresh "$baseline" "${native[@]}" "${apply[@]}")"

if [ -x "$windows_diag" ] && [ -x "$env_run" ]; then
  start_wine_bench
  trap 'stop_started_benches; rm -rf "$work"' EXIT
  wine_steps=(bundle --installer "$(win "$work/bundle.exe")" --version 1.0.0
    --sha256 "$digest" --bytes "$bytes")
  wine_apply=(apply --installer "$(win "$work/bundle.exe")" --install-dir "$(win "$work/install")"
    --version 1.0.0 --sha256 "$digest" --bytes "$bytes" --assistant "$(win "$work/helper.exe")")
  under_wine=(scripts/wine-run.sh "$env_run" "ProgramData=$work/data" -- "$windows_diag")
  wine_baseline=$(rchar_of "${under_wine[@]}" version)
  report "velmo-diag.exe bundle (Wine, new cache)" \
    "$(measure fresh "${under_wine[@]}" "${wine_steps[@]}")" "$peer" \
    "$(read_passes fresh "$wine_baseline" "${under_wine[@]}" "${wine_steps[@]}")"
  report "velmo-diag.exe bundle (Wine, cache valid)" \
    "$(measure keep "${under_wine[@]}" "${wine_steps[@]}")" "$peer" \
    "$(read_passes keep "$wine_baseline" "${under_wine[@]}" "${wine_steps[@]}")"
  report "velmo-diag.exe apply (Wine, from scratch)" \
    "$(measure fresh "${under_wine[@]}" "${wine_apply[@]}")" "$peer" \
    "$(read_passes fresh "$wine_baseline" "${under_wine[@]}" "${wine_apply[@]}")"
fi
