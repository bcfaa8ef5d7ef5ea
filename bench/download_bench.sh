#!/usr/bin/env bash
# Download throughput of velmo-diag download (the assistant's downloader,
# WinHTTP under Wine) against curl on the same file from the same nginx over
# HTTPS on loopback, in the same run; then velmo-diag's peak memory for a
# small and a large file, which must not grow with the file.
#
#   bench/download_bench.sh [SIZE_MIB]     (default 256; memory: 16 and 1024)
#
# Uses build/windows (the windows preset), or the already configured build
# tree VELMO_BUILD_DIR when that is set. Brings up the Wine bench and the
# network bench unless they are up already, and stops only what it started.
# velmo-diag's time includes its SHA-256 check of the finished file, so curl
# is also shown followed by sha256sum.
set -euo pipefail

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/bench_lib.sh"
enter_source_tree
size_mib=$(mib_argument "${1:-256}" "bench/download_bench.sh [SIZE_MIB]")
readonly memory_sizes_mib=(16 1024)
readonly runs=3
bench_windows_build velmo-diag velmo_env_run velmo_add_root_cert
diag="$build/tools/velmo-diag.exe"
env_run="$build/tests/network/velmo_env_run.exe"
wine_run="$root/scripts/wine-run.sh"

work=""
served=""
# shellcheck disable=SC2317 # called by trap
cleanup() {
  [ -z "$work" ] || rm -rf "$work"
  [ -z "$served" ] || rm -rf "$served"
  stop_started_benches
}
trap cleanup EXIT
start_benches

work=$(mktemp -d)
served="$VELMO_NET_WWW/download-bench"
mkdir -p "$served"

# make_file MIB: a random file in the document root; prints its path.
make_file() {
  local file="$served/data-$1M.bin"
  [ -f "$file" ] || head -c "$(($1 * 1048576))" /dev/urandom >"$file"
  echo "$file"
}

# velmo-diag download of FILE (served as URL) into a fresh ProgramData.
diag_download() {
  local file=$1 url=$2 sha program_data
  sha=$(sha256sum "$file" | cut -d' ' -f1)
  program_data=$(mktemp -d "$work/programdata.XXXXXX")
  "$wine_run" "$env_run" "ProgramData=$program_data" -- "$diag" download --url "$url" \
    --sha256 "$sha" --bytes "$(stat -c %s "$file")" --name bench.bin
  rm -rf "$program_data"
}

curl_download() {
  curl --noproxy '*' --silent --show-error --fail --cacert "$VELMO_NET_CA_PEM" -o "$work/curl.bin" "$1"
  rm -f "$work/curl.bin"
}

curl_download_and_hash() {
  curl --noproxy '*' --silent --show-error --fail --cacert "$VELMO_NET_CA_PEM" -o "$work/curl.bin" "$1"
  sha256sum "$work/curl.bin"
  rm -f "$work/curl.bin"
}

report() {
  local name=$1 seconds=$2 peer=$3
  awk -v n="$name" -v s="$seconds" -v p="$peer" -v m="$size_mib" 'BEGIN {
    printf "%-34s median %7.3f s  %8.1f MiB/s  time ratio vs curl %5.2f\n",
           n, s, (s > 0 ? m / s : 0), (p > 0 ? s / p : 0) }'
}

file=$(make_file "$size_mib")
url="https://localhost/download-bench/${file##*/}"
echo "file: $size_mib MiB of random data, https://localhost (nginx, loopback), $runs runs each"
curl_median=$(median_seconds curl_download "$url")
report "curl --cacert" "$curl_median" "$curl_median"
report "curl --cacert, then sha256sum" "$(median_seconds curl_download_and_hash "$url")" "$curl_median"
report "velmo-diag download (Wine)" "$(median_seconds diag_download "$file" "$url")" "$curl_median"
# Where the time goes: the same over plain HTTP (no TLS), and the digest
# check alone.
report "  the same over plain HTTP" \
  "$(median_seconds diag_download "$file" "$VELMO_NET_HTTP_ORIGIN/download-bench/${file##*/}")" \
  "$curl_median"
report "  velmo-diag sha256 alone (Wine)" "$(median_seconds "$wine_run" "$diag" sha256 "$file")" \
  "$curl_median"

echo "peak memory of velmo-diag.exe during a download:"
for mib in "${memory_sizes_mib[@]}"; do
  file=$(make_file "$mib")
  kib=$(peak_kib_of_wine_program velmo-diag.exe diag_download "$file" \
    "https://localhost/download-bench/${file##*/}")
  awk -v m="$mib" -v k="$kib" 'BEGIN { printf "  %5d MiB file: peak RSS %6.1f MiB\n", m, k / 1024 }'
  rm -f "$file"
done
