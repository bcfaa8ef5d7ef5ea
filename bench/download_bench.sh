#!/usr/bin/env bash
# Download throughput of velmo-diag download (the assistant's downloader,
# WinHTTP under Wine, saving the file and proving its SHA-256) against two
# peers measured in the same run on the same file from the same nginx over
# HTTPS on loopback:
#   - curl, then sha256sum: the same job natively;
#   - bench/reference/winhttp_download_reference.exe, started the same way
#     under Wine: the least a WinHTTP program does for the job (1 MiB reads,
#     the file written, BCrypt hashing on a second thread). Its time is the
#     platform's limit; "vs ref" is the ratio that tells our own cost.
# The tools take turns within each round, and each line shows the median of
# the rounds, so a machine busy for a moment slows all of them alike. Then
# velmo-diag's peak memory for a small and a large file, which must not grow
# with the file.
#
#   bench/download_bench.sh [SIZE_MIB ...]     (default 64 128 256; memory: 16 and 1024)
#
# Uses build/windows (the windows preset), or the already configured build
# tree VELMO_BUILD_DIR when that is set. Brings up the Wine bench and the
# network bench unless they are up already, and stops only what it started.
set -euo pipefail

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/bench_lib.sh"
enter_source_tree
usage="bench/download_bench.sh [SIZE_MIB ...]"
sizes_mib=()
for size in "$@"; do
  sizes_mib+=("$(mib_argument "$size" "$usage")")
done
[ ${#sizes_mib[@]} -gt 0 ] || sizes_mib=(64 128 256)
readonly memory_sizes_mib=(16 1024)
readonly rounds=${VELMO_BENCH_ROUNDS:-5}
bench_windows_build velmo-diag velmo_env_run velmo_add_root_cert winhttp_download_reference
diag="$build/tools/velmo-diag.exe"
reference="$build/bench/reference/winhttp_download_reference.exe"
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

# velmo-diag download of URL, expecting SHA256 and BYTES, into a fresh
# ProgramData. The digest is worked out beforehand: only the download is
# timed.
diag_download() {
  local url=$1 sha=$2 bytes=$3 program_data
  program_data=$(mktemp -d "$work/programdata.XXXXXX")
  "$wine_run" "$env_run" "ProgramData=$program_data" -- "$diag" download --url "$url" \
    --sha256 "$sha" --bytes "$bytes" --name bench.bin
  rm -rf "$program_data"
}

# The reference program on the same file, started through the same
# launcher as velmo-diag; extra arguments go to it (--no-write).
reference_download() {
  local path=$1
  shift
  "$wine_run" "$env_run" "ProgramData=$(win "$work")" -- "$reference" localhost \
    "$VELMO_NET_HTTPS_PORT" "$path" "$(win "$work/reference.bin")" "$@"
  rm -f "$work/reference.bin"
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

median_of() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# measure_size MIB: one line per tool, medians of interleaved rounds.
measure_size() {
  local mib=$1 file url path round
  file=$(make_file "$mib")
  path="/download-bench/${file##*/}"
  url="https://localhost$path"
  # A peer that does not do the whole job would make every ratio a lie.
  local expected reported
  expected=$(sha256sum "$file" | cut -d' ' -f1)
  reported=$(reference_download "$path" | tr -d '\r')
  [ "$reported" = "${expected^^}" ] || die "the reference program reported '$reported' for $path"
  local bytes
  bytes=$(stat -c %s "$file")
  diag_download "$url" "$expected" "$bytes" >/dev/null || die "velmo-diag download failed for $url"
  local -A times=()
  local tools=(curl curl_sha ref ref_nowrite ours)
  for ((round = 0; round < rounds; round++)); do
    times[curl]+="$(seconds_of curl_download "$url") "
    times[curl_sha]+="$(seconds_of curl_download_and_hash "$url") "
    times[ref]+="$(seconds_of reference_download "$path") "
    times[ref_nowrite]+="$(seconds_of reference_download "$path" --no-write) "
    times[ours]+="$(seconds_of diag_download "$url" "$expected" "$bytes") "
  done
  local -A median=()
  for tool in "${tools[@]}"; do
    # shellcheck disable=SC2086 # one number per word
    median[$tool]=$(printf '%s\n' ${times[$tool]} | median_of)
  done
  echo "$mib MiB of random data, https://localhost (nginx, loopback), median of $rounds interleaved rounds:"
  line() {
    awk -v n="$1" -v s="$2" -v m="$mib" -v c="${median[curl]}" -v h="${median[curl_sha]}" \
      -v r="${median[ref]}" 'BEGIN {
      printf "  %-40s %7.3f s %7.1f MiB/s   vs curl %5.2f  vs curl+sha256sum %5.2f  vs ref %5.2f\n",
             n, s, (s > 0 ? m / s : 0), s / c, s / h, s / r }'
  }
  line "curl --cacert" "${median[curl]}"
  line "curl --cacert, then sha256sum" "${median[curl_sha]}"
  line "reference WinHTTP program (Wine) = ref" "${median[ref]}"
  line "  the same without writing the file" "${median[ref_nowrite]}"
  line "velmo-diag download (Wine)" "${median[ours]}"
}

for mib in "${sizes_mib[@]}"; do
  measure_size "$mib"
done

echo "peak memory of velmo-diag.exe during a download:"
for mib in "${memory_sizes_mib[@]}"; do
  file=$(make_file "$mib")
  kib=$(peak_kib_of_wine_program velmo-diag.exe diag_download \
    "https://localhost/download-bench/${file##*/}" "$(sha256sum "$file" | cut -d' ' -f1)" \
    "$(stat -c %s "$file")")
  awk -v m="$mib" -v k="$kib" 'BEGIN { printf "  %5d MiB file: peak RSS %6.1f MiB\n", m, k / 1024 }'
  rm -f "$file"
done
