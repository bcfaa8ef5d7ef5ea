#!/usr/bin/env bash
# Checks the network bench itself, before any test relies on it: nginx over
# HTTP and HTTPS with ranges, without ranges and with its status answers, the
# policy file switch, the access log's Range field, the fault server's
# faults, the test CA in the Wine prefix's ROOT store and WinHTTP's view of
# all that, and the Windows helpers (environment, quoting, exit codes).
#
#   net_bench_test.sh BUILD_DIR
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=net_test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/net_test_lib.sh"
net_test_init "$@"
http_get="$helpers/velmo_http_get.exe"
add_root_cert="$helpers/velmo_add_root_cert.exe"

# A file of a size that is no power of two, so that off-by-one ranges show.
sample="$VELMO_NET_WWW/bench-sample.bin"
head -c 300007 /dev/urandom >"$sample"
sample_size=300007
sample_url_path=/bench-sample.bin

# The HTTP status curl gets for ARGS (URL last); the body lands in $work/body.
fetch_status() {
  bench_curl -o "$work/body" -w '%{http_code}' "$@" || true
}

# --- nginx seen by curl -------------------------------------------------------

# name | curl arguments (URL last) | expected status | expected body: "all",
# "from:N" (the file from byte N), "empty" or "any"
nginx_cases=(
  "https full|--cacert $VELMO_NET_CA_PEM https://localhost$sample_url_path|200|all"
  "https range|--cacert $VELMO_NET_CA_PEM -H Range:bytes=120003- https://localhost$sample_url_path|206|from:120003"
  "http range|-H Range:bytes=1- $VELMO_NET_HTTP_ORIGIN$sample_url_path|206|from:1"
  "noranges ignores range|-H Range:bytes=120003- $VELMO_NET_HTTP_ORIGIN/noranges$sample_url_path|200|all"
  "range past the end|-H Range:bytes=$sample_size- $VELMO_NET_HTTP_ORIGIN$sample_url_path|416|any"
  "missing file|$VELMO_NET_HTTP_ORIGIN/no-such-file.bin|404|any"
  "status 204|$VELMO_NET_HTTP_ORIGIN/status/204|204|empty"
  "status 304|$VELMO_NET_HTTP_ORIGIN/status/304|304|empty"
  "status 416|$VELMO_NET_HTTP_ORIGIN/status/416|416|any"
)
for entry in "${nginx_cases[@]}"; do
  IFS='|' read -r name args want_status want_body <<<"$entry"
  read -r -a curl_args <<<"$args"
  expect "nginx $name: status" "$want_status" "$(fetch_status "${curl_args[@]}")"
  case $want_body in
    all) expect_same_file "nginx $name: body" "$sample" "$work/body" ;;
    from:*)
      if tail -c "+$((${want_body#from:} + 1))" "$sample" | cmp -s - "$work/body"; then
        pass "nginx $name: body is the file from byte ${want_body#from:}"
      else
        fail "nginx $name: body is not the file from byte ${want_body#from:}"
      fi
      ;;
    empty) expect "nginx $name: empty body" 0 "$(stat -c %s "$work/body")" ;;
  esac
done

status=$(bench_curl -o /dev/null -w '%{http_code}' "https://localhost$sample_url_path" 2>/dev/null || true)
expect "https without the test CA is refused" 000 "$status"

# The access log carries the Range header of each request, "-" without one.
mark=$(log_mark "$VELMO_NET_ACCESS_LOG")
bench_curl -o /dev/null -H 'Range: bytes=777-' "$VELMO_NET_HTTP_ORIGIN$sample_url_path"
bench_curl -o /dev/null "$VELMO_NET_HTTP_ORIGIN$sample_url_path"
logged=$(log_since "$VELMO_NET_ACCESS_LOG" "$mark")
expect "access log: range request" \
  "127.0.0.1 $VELMO_NET_HTTP_PORT \"GET $sample_url_path\" 206 range=\"bytes=777-\" sent=$((sample_size - 777))" \
  "$(sed -n 1p <<<"$logged")"
expect "access log: plain request" \
  "127.0.0.1 $VELMO_NET_HTTP_PORT \"GET $sample_url_path\" 200 range=\"-\" sent=$sample_size" \
  "$(sed -n 2p <<<"$logged")"

# --- the policy switch ---------------------------------------------------------

policy_url="$VELMO_NET_HTTP_ORIGIN/v1/bootstrap?version=0.0.0&target=windows&arch=x86_64"
rm -f "$VELMO_NET_WWW"/policy.json "$VELMO_NET_WWW"/policy.status-*
printf '{"bench":%s}' "$RANDOM" >"$work/policy.json"
# expect_policy NAME STATUS [BODY_FILE]: what the policy address answers
# now; without BODY_FILE any body will do.
expect_policy() {
  local name=$1 want_status=$2 want_file=${3:-}
  expect "policy $name: status" "$want_status" "$(fetch_status "$policy_url")"
  if [ -n "$want_file" ]; then
    expect_same_file "policy $name: body" "$want_file" "$work/body"
  fi
}
expect_policy "no policy file" 404
cp "$work/policy.json" "$VELMO_NET_WWW/policy.json"
expect_policy "policy file" 200 "$work/policy.json"
touch "$VELMO_NET_WWW/policy.status-204"
expect_policy "204 marker wins" 204
mv "$VELMO_NET_WWW/policy.status-204" "$VELMO_NET_WWW/policy.status-304"
expect_policy "304 marker" 304
rm "$VELMO_NET_WWW/policy.status-304"
expect_policy "markers gone" 200 "$work/policy.json"
content_type=$(bench_curl -o /dev/null -w '%{content_type}' "$policy_url")
expect "policy content type" application/json "$content_type"
rm -f "$VELMO_NET_WWW/policy.json"

# --- the fault server ----------------------------------------------------------

fault_file=bench-sample.bin
status=$(fetch_status "$VELMO_NET_FAULT_ORIGIN/short/$fault_file?bytes=1000" 2>/dev/null)
expect "fault short: status" 200 "$status"
expect "fault short: bytes received before the close" 1000 "$(stat -c %s "$work/body")"
head -c 1000 "$sample" >"$work/start"
expect_same_file "fault short: the file's first bytes" "$work/start" "$work/body"

curl_code=0
bench_curl -o "$work/body" "$VELMO_NET_FAULT_ORIGIN/drop/$fault_file?bytes=100000" 2>/dev/null || curl_code=$?
expect "fault drop: curl sees a reset (56) or a short body (18)" yes \
  "$([ "$curl_code" = 56 ] || [ "$curl_code" = 18 ] && echo yes || echo "no, curl exit $curl_code")"
received=$(stat -c %s "$work/body")
expect "fault drop: part of the body arrived" yes "$([ "$received" -gt 0 ] && [ "$received" -le 100000 ] && echo yes || echo "no, $received bytes")"

headers=$(bench_curl -D - -o "$work/body" "$VELMO_NET_FAULT_ORIGIN/range206/$fault_file" | tr -d '\r')
expect_match "fault range206: 206 without a Range" "HTTP/1.1 206*" "$(head -n 1 <<<"$headers")"
expect "fault range206: Content-Range" "Content-Range: bytes 0-$((sample_size - 1))/$sample_size" \
  "$(grep -i '^Content-Range:' <<<"$headers")"
expect_same_file "fault range206: the whole file" "$sample" "$work/body"

bytes=$( (bench_curl --max-time 10 "$VELMO_NET_FAULT_ORIGIN/v1/bootstrap" 2>/dev/null || true) | head -c 1048576 | wc -c)
expect "fault endless policy: more than 1 MiB of body" 1048576 "$bytes"

# The size probe's faults behind nginx on 443, under the reserved versions.
installer_path="/v1/downloads/VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v9.0"
headers=$(bench_curl --cacert "$VELMO_NET_CA_PEM" -I "https://localhost${installer_path}.1.exe" | tr -d '\r')
expect_match "HEAD 9.0.1: 200" "HTTP/1.1 200*" "$(head -n 1 <<<"$headers")"
expect "HEAD 9.0.1: no Content-Length" "" "$(grep -i '^Content-Length:' <<<"$headers" || true)"
headers=$(bench_curl --cacert "$VELMO_NET_CA_PEM" -I "https://localhost${installer_path}.2.exe" | tr -d '\r')
expect "HEAD 9.0.2: Content-Length 0" "Content-Length: 0" "$(grep -i '^Content-Length:' <<<"$headers")"

mark=$(log_mark "$VELMO_NET_FAULT_LOG")
bench_curl -o /dev/null -H 'Range: bytes=5-' "$VELMO_NET_FAULT_ORIGIN/range206/$fault_file"
expect "fault log: the Range header" \
  "127.0.0.1 $VELMO_NET_FAULT_PORT \"GET /range206/$fault_file\" 206 range=\"bytes=5-\" sent=$sample_size" \
  "$(log_since "$VELMO_NET_FAULT_LOG" "$mark")"

# --- the Windows side ------------------------------------------------------------

exit_code_of timeout 120 "$wine_run" "$add_root_cert" --check "$VELMO_NET_CA_DER"
expect "the test CA is in the prefix's ROOT store" 0 "$code"
# The check must be able to say no: a certificate nobody added.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/other.key" -out "$work/other.pem" \
  -subj '/CN=not trusted' -days 1 >/dev/null 2>&1
openssl x509 -in "$work/other.pem" -outform der -out "$work/other.der"
exit_code_of timeout 120 "$wine_run" "$add_root_cert" --check "$work/other.der"
expect "an unknown certificate is not in the ROOT store" 1 "$code"

# name | velmo_http_get arguments | expected output line
winhttp_cases=(
  "https full|https://localhost$sample_url_path|status=200 length=$sample_size body=$sample_size"
  "https range|--range 100000 https://localhost$sample_url_path|status=206 length=$((sample_size - 100000)) body=$((sample_size - 100000))"
  "noranges|--range 100000 $VELMO_NET_HTTP_ORIGIN/noranges$sample_url_path|status=200 length=$sample_size body=$sample_size"
  "HEAD without length|--head https://localhost${installer_path}.1.exe|status=200 length=none body=0"
)
for entry in "${winhttp_cases[@]}"; do
  IFS='|' read -r name args want <<<"$entry"
  read -r -a get_args <<<"$args"
  got=$(timeout 120 "$wine_run" "$http_get" "${get_args[@]}" | tr -d '\r' || true)
  expect "WinHTTP $name" "$want" "$got"
done

out=$(timeout 120 "$wine_run" "$env_run" "ProgramData=$work/pd" VELMO_PLAIN=plain -- \
  "$env_run" --print-env ProgramData | tr -d '\r')
expect "env_run: a Linux path value becomes a Z: path" "$(win "$work/pd")" "$out"
out=$(timeout 120 "$wine_run" "$env_run" VELMO_PLAIN='a b/c' -- "$env_run" --print-env VELMO_PLAIN | tr -d '\r')
expect "env_run: other values pass unchanged" "a b/c" "$out"

# Arguments that need quoting per CommandLineToArgvW: blanks, quotes,
# backslashes before a quote and at the end, an empty one, non-ASCII.
# shellcheck disable=SC1003 # backslashes at the end are the point
quoting_args=('a b' 'x"y' 'c:\dir\' '' 'tail\\"q' '\\server\share' '工作台' '"' 'plain')
out=$(timeout 120 "$wine_run" "$env_run" -- "$env_run" --print-args "${quoting_args[@]}" | tr -d '\r')
expect "env_run: arguments arrive unchanged" "$(printf '%s\n' "${quoting_args[@]}")" "$out"

exit_code_of timeout 120 "$wine_run" "$env_run" -- cmd.exe /c exit 7
expect "env_run: the child's exit code comes back" 7 "$code"
exit_code_of timeout 120 "$wine_run" "$env_run" -- "$work/no-such-program.exe" 2>/dev/null
expect "env_run: a program that cannot start" 122 "$code"

rm -f "$sample"
test_finish
