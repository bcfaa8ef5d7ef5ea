#!/usr/bin/env bash
# velmo-diag download under Wine against the network bench: fresh, resumed,
# reused and refused downloads through the real WinHTTP stack, checked by the
# files left in the download folder, the output lines and the requests the
# servers logged (a Range header, or no request at all).
#
#   download_e2e_test.sh BUILD_DIR
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=net_test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/net_test_lib.sh"
net_test_init "$@"
require_diag_command download
hold_file="$helpers/velmo_hold_file.exe"

# The payload: a few MiB plus an odd tail, so offsets are not round numbers.
readonly name='VelmoQen工作台-Setup-v1.4.0.exe'
readonly partial_name='VelmoQen工作台-Setup-v1.4.0.partial'
served="$VELMO_NET_WWW/dl-e2e"
mkdir -p "$served"
payload="$served/payload.bin"
size=$((5 * 1048576 + 12345))
head -c "$size" /dev/urandom >"$payload"
sha=$(upper_sha256 "$payload")
forty=$((size * 2 / 5))
sixty=$((size * 3 / 5))
# The same size with one byte changed in the middle.
flipped="$served/flipped.bin"
python3 -c 'import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[int(sys.argv[3])] ^= 0x01
open(sys.argv[2], "wb").write(data)' "$payload" "$flipped" "$sixty"

readonly https_url=https://localhost/dl-e2e/payload.bin
readonly http_url="$VELMO_NET_HTTP_ORIGIN/dl-e2e/payload.bin"
readonly noranges_url="$VELMO_NET_HTTP_ORIGIN/noranges/dl-e2e/payload.bin"

# What the folder holds: the final file, the side file, or nothing.
final_file() { echo "$downloads/$name"; }
side_file() { echo "$downloads/$partial_name"; }

# The first COUNT bytes of the payload into FILE.
payload_prefix() {
  mkdir -p "$(dirname "$2")"
  head -c "$1" "$payload" >"$2"
}

download() {
  run_diag download --url "$1" --sha256 "${2:-$sha}" --bytes "$size" --name "$name"
}

# Reads velmo-diag's stdout: "progress=COUNT first=N last=N ordered=yes|no
# bounded=yes|no path=P" or "bad output: ...".
summarize_output() {
  python3 -c 'import json, sys
size = int(sys.argv[1])
lines = sys.stdin.read().splitlines()
try:
    objects = [json.loads(line) for line in lines]
    progress = [o["progress"] for o in objects[:-1]]
    assert all(len(o) == 1 for o in objects)
    path = objects[-1]["path"]
    print("progress=%d first=%s last=%s ordered=%s bounded=%s path=%s" % (
        len(progress), progress[0] if progress else "-", progress[-1] if progress else "-",
        "yes" if progress == sorted(progress) else "no",
        "yes" if all(0 <= p <= size for p in progress) else "no", path))
except Exception as error:
    print("bad output: %r (%s)" % (lines, error))' "$size"
}

# The requests since the marks, from nginx and the fault server, as
# "PORT METHOD URI STATUS RANGE".
requests_since() {
  {
    log_since "$VELMO_NET_ACCESS_LOG" "$access_mark"
    log_since "$VELMO_NET_FAULT_LOG" "$fault_mark"
  } | sed -E 's/^[^ ]+ ([0-9]+) "([A-Z]+) ([^"]*)" ([0-9]+) range="([^"]*)".*/\1 \2 \3 \4 \5/'
}

mark_logs() {
  access_mark=$(log_mark "$VELMO_NET_ACCESS_LOG")
  fault_mark=$(log_mark "$VELMO_NET_FAULT_LOG")
}

# A case of its own: a fresh download folder, only its own requests.
start_case() {
  case_name=$1
  fresh_program_data
  mark_logs
}

# A successful run: exit 0, nothing on stderr, progress lines ordered and
# ending at the size, the final path printed, the payload under the final
# name and no side file left.
expect_success() {
  local summary
  expect "$case_name: exit code" 0 "$code"
  expect "$case_name: nothing on stderr" "" "$err"
  summary=$(summarize_output <<<"$out")
  expect_match "$case_name: progress ordered, within the size, ending at it" \
    "progress=* first=* last=$size ordered=yes bounded=yes path=*" "$summary"
  expect "$case_name: printed path" "path=$(win "$(final_file)")" "${summary##* }"
  expect_same_file "$case_name: the final file is the payload" "$payload" "$(final_file)"
  expect "$case_name: no side file left" no "$([ -e "$(side_file)" ] && echo yes || echo no)"
}

expect_failure() {
  local message_glob=$1
  expect "$case_name: exit code" 1 "$code"
  expect_match "$case_name: message" "$message_glob" "$err"
  expect "$case_name: message is one line" 1 "$(grep -c . <<<"$err")"
}

expect_requests() {
  expect "$case_name: requests" "$1" "$(requests_since)"
}

expect_no_final_file() {
  expect "$case_name: no final file" no "$([ -e "$(final_file)" ] && echo yes || echo no)"
}

# The attempt after a failed one, in the same download folder: it must
# succeed over HTTPS, from whatever the failure left.
next_attempt() {
  case_name=$1
  mark_logs
  download "$https_url"
  expect_success
}

# --- fresh, resumed and restarted downloads -------------------------------------

start_case "fresh over HTTPS"
download "$https_url"
expect_success
expect_match "$case_name: several progress lines" "progress=[2-9]*" "$(summarize_output <<<"$out")"
expect_requests "443 GET /dl-e2e/payload.bin 200 -"

# resume_case NAME URL STATUS: 40 % of the payload is in the side file; the
# download asks URL for the rest, and the server answers STATUS.
resume_case() {
  local url=$2 want_status=$3 port=443
  start_case "$1"
  payload_prefix "$forty" "$(side_file)"
  download "$url"
  expect_success
  [[ $url == https://* ]] || port=$VELMO_NET_HTTP_PORT
  expect_requests "$port GET /${url#*://*/} $want_status bytes=$forty-"
}
resume_case "40 % present, server honours Range" "$https_url" 206
resume_case "40 % present, plain HTTP" "$http_url" 206
resume_case "40 % present, server ignores Range" "$noranges_url" 200

start_case "206 to a request without Range"
download "$VELMO_NET_FAULT_ORIGIN/range206/dl-e2e/payload.bin"
expect_success
expect_requests "$VELMO_NET_FAULT_PORT GET /range206/dl-e2e/payload.bin 206 -"

# --- files already there ---------------------------------------------------------

start_case "complete side file, right digest"
payload_prefix "$size" "$(side_file)"
download "$https_url"
expect_success
expect "$case_name: one progress line" "progress=1" "$(summarize_output <<<"$out" | cut -d' ' -f1)"
expect_requests ""

start_case "complete side file, wrong digest"
mkdir -p "$downloads"
cp "$flipped" "$(side_file)"
download "$https_url"
expect_success
expect_requests "443 GET /dl-e2e/payload.bin 200 -"

start_case "final file present and verified"
payload_prefix "$size" "$(final_file)"
touch -d '2001-02-03 04:05:06' "$(final_file)"
download "$https_url"
expect_success
expect "$case_name: exactly one progress line, the size" "{\"progress\":$size}" "$(head -n 1 <<<"$out")"
expect "$case_name: two lines in all" 2 "$(grep -c . <<<"$out")"
expect "$case_name: the file was left alone" "2001-02-03 04:05:06" \
  "$(date -r "$(final_file)" '+%Y-%m-%d %H:%M:%S')"
expect_requests ""

# --- failures, and the attempt after them -------------------------------------------

start_case "short body"
download "$VELMO_NET_FAULT_ORIGIN/short/dl-e2e/payload.bin?bytes=$sixty"
expect_failure "$name 下载不完整：应为 $size 字节，实际 $sixty 字节。"
payload_prefix "$sixty" "$work/expected-side"
expect_same_file "$case_name: the side file keeps what arrived" "$work/expected-side" "$(side_file)"
expect_no_final_file
expect_requests "$VELMO_NET_FAULT_PORT GET /short/dl-e2e/payload.bin?bytes=$sixty 200 -"
next_attempt "short body, next attempt"
expect_requests "443 GET /dl-e2e/payload.bin 206 bytes=$sixty-"

start_case "connection reset mid-transfer"
download "$VELMO_NET_FAULT_ORIGIN/drop/dl-e2e/payload.bin?bytes=$sixty"
expect_failure "?*"
kept=$(stat -c %s "$(side_file)" 2>/dev/null || echo 0)
expect "$case_name: some of the body kept, not all" yes \
  "$([ "$kept" -gt 0 ] && [ "$kept" -le "$sixty" ] && echo yes || echo "no, $kept bytes")"
payload_prefix "$kept" "$work/expected-side"
expect_same_file "$case_name: the side file is the payload's start" "$work/expected-side" "$(side_file)"
next_attempt "connection reset, next attempt"
expect_requests "443 GET /dl-e2e/payload.bin 206 bytes=$kept-"

start_case "one byte changed"
download "$VELMO_NET_HTTP_ORIGIN/dl-e2e/flipped.bin"
expect_failure "$name 校验失败，已停止继续处理。"
expect_no_final_file
expect_same_file "$case_name: the side file stays as received" "$flipped" "$(side_file)"
next_attempt "one byte changed, next attempt"
expect_requests "443 GET /dl-e2e/payload.bin 200 -"

# refused_case NAME PATH STATUS: 40 % of the payload is in the side file;
# the HTTP origin answers PATH with STATUS, which leaves the side file alone.
refused_case() {
  local path=$2 status=$3
  start_case "$1"
  payload_prefix "$forty" "$(side_file)"
  cp "$(side_file)" "$work/expected-side"
  download "$VELMO_NET_HTTP_ORIGIN$path"
  expect_failure "下载服务器返回 HTTP $status。"
  expect_same_file "$case_name: the side file is untouched" "$work/expected-side" "$(side_file)"
  expect_no_final_file
  expect_requests "$VELMO_NET_HTTP_PORT GET $path $status bytes=$forty-"
}
refused_case "404 with a partial file" /dl-e2e/no-such-file.bin 404
refused_case "416 with a partial file" /status/416 416

# An old final file held open by another program (without FILE_SHARE_DELETE,
# as a running installer would be) cannot be replaced.
start_case "old final file held open"
mkdir -p "$downloads"
head -c 1000 /dev/urandom >"$(final_file)"
cp "$(final_file)" "$work/old-final"
mkfifo "$work/hold.fifo"
timeout 120 "$wine_run" "$hold_file" "$(final_file)" 100 <"$work/hold.fifo" >"$work/hold.out" 2>&1 &
hold_pid=$!
exec {hold_fd}>"$work/hold.fifo"
for _ in $(seq 100); do
  grep -q held "$work/hold.out" 2>/dev/null && break
  sleep 0.1
done
expect "$case_name: the holder has the file open" held "$(tr -d '\r' <"$work/hold.out")"
download "$https_url"
exec {hold_fd}>&-
hold_code=0
wait "$hold_pid" || hold_code=$?
expect "$case_name: the holder ended when told" 0 "$hold_code"
expect_failure "替换旧下载文件失败：*"
expect_same_file "$case_name: the old final file is unchanged" "$work/old-final" "$(final_file)"
expect_same_file "$case_name: the verified side file stays" "$payload" "$(side_file)"
expect_requests "443 GET /dl-e2e/payload.bin 200 -"
next_attempt "old final file released, next attempt"
expect_requests ""

rm -rf "$served"
test_finish
