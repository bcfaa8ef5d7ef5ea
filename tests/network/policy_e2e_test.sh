#!/usr/bin/env bash
# velmo-diag policy under Wine against the network bench: the real WinHTTP
# stack, TLS with the test CA, nginx's and the fault server's answers. Each
# case sets what /v1/bootstrap answers, runs the command and checks its
# output, its exit code and the requests it made (from the servers' logs).
#
#   policy_e2e_test.sh BUILD_DIR
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=net_test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/net_test_lib.sh"
net_test_init "$@"
require_diag_command policy
fresh_program_data

readonly request_line='GET /v1/bootstrap?version=0.0.0&target=windows&arch=x86_64'
readonly encoded_name='VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v'
readonly installer_dir="$VELMO_NET_WWW/v1/downloads"
readonly transport='连接正式更新服务失败：'

# The installer the policies point to: a size no test would guess.
installer_version=1.4.0
installer="$installer_dir/VelmoQen工作台-Setup-v$installer_version.exe"
mkdir -p "$installer_dir"
installer_size=$((70000 + RANDOM))
head -c "$installer_size" /dev/urandom >"$installer"
installer_sha=$(upper_sha256 "$installer")
installer_sha_lower=$(tr 'A-F' 'a-f' <<<"$installer_sha")
# Version 9.0.2's size probe answers Content-Length: 0 (see net-bench.sh).
: >"$installer_dir/VelmoQen工作台-Setup-v9.0.2.exe"

installer_url() {
  echo "https://localhost/v1/downloads/$encoded_name$1.exe"
}

# policy_json VERSION INSTALLER_BYTES_MEMBER: a policy as the vendor's service
# sends it; the second argument is the whole "installerBytes" member (with its
# comma) or empty to leave it out.
policy_json() {
  local version=$1 bytes_member=$2
  printf '{"currentVersion":"0.0.0","minSupportedVersion":"1.0.0","latestVersion":"%s",' "$version"
  printf '"downloadUrl":"%s","updateSha256":"%s",%s' "$(installer_url "$version")" \
    "$installer_sha_lower" "$bytes_member"
  printf '"target":"windows","arch":"x86_64"}'
}

# What velmo-diag prints for a valid policy, as canonical JSON.
expected_release() {
  local version=$1 bytes=$2
  python3 -c 'import json, sys
print(json.dumps({"latestVersion": sys.argv[1], "downloadUrl": sys.argv[2],
                  "sha256": sys.argv[3], "installerBytes": int(sys.argv[4])}, sort_keys=True))' \
    "$version" "$(installer_url "$version")" "$installer_sha" "$bytes"
}

# One line of JSON, keys sorted; "not one JSON line" otherwise.
canonical_json() {
  python3 -c 'import json, sys
lines = sys.stdin.read().splitlines()
try:
    assert len(lines) == 1
    print(json.dumps(json.loads(lines[0]), sort_keys=True))
except Exception:
    print("not one JSON line: %r" % lines)'
}

# The policy body of exactly SIZE bytes: a valid policy, padded with blanks.
padded_policy() {
  local size=$1 body
  body=$(policy_json "$installer_version" "\"installerBytes\":$installer_size,")
  printf '%s' "$body"
  printf '%*s' "$((size - ${#body}))" ''
}

set_policy() {
  rm -f "$VELMO_NET_WWW"/policy.json "$VELMO_NET_WWW"/policy.status-*
  case $1 in
    none) ;;
    status-*) touch "$VELMO_NET_WWW/policy.$1" ;;
    empty) : >"$VELMO_NET_WWW/policy.json" ;;
    bytes) policy_json "$installer_version" "\"installerBytes\":$installer_size," >"$VELMO_NET_WWW/policy.json" ;;
    null) policy_json "$installer_version" '"installerBytes":null,' >"$VELMO_NET_WWW/policy.json" ;;
    absent) policy_json "$installer_version" '' >"$VELMO_NET_WWW/policy.json" ;;
    zero) policy_json "$installer_version" '"installerBytes":0,' >"$VELMO_NET_WWW/policy.json" ;;
    no-length) policy_json 9.0.1 '"installerBytes":null,' >"$VELMO_NET_WWW/policy.json" ;;
    length-0) policy_json 9.0.2 '"installerBytes":null,' >"$VELMO_NET_WWW/policy.json" ;;
    missing-installer) policy_json 1.4.9 '"installerBytes":null,' >"$VELMO_NET_WWW/policy.json" ;;
    limit) padded_policy 262144 >"$VELMO_NET_WWW/policy.json" ;;
    over-limit) padded_policy 262145 >"$VELMO_NET_WWW/policy.json" ;;
    not-json) printf '{"latestVersion":"1.4.0",' >"$VELMO_NET_WWW/policy.json" ;;
    *)
      echo "unknown policy setup $1" >&2
      exit 2
      ;;
  esac
}

# The requests a case must make, one per line, as "PORT METHOD URI STATUS";
# HEAD is the size probe of installer VERSION.
probe_line() {
  echo "443 HEAD /v1/downloads/$encoded_name$1.exe $2"
}

# name | origin | policy setup | expected result: "ok:VERSION:BYTES" or the
# message on stderr | expected requests (";"-separated, as probe_line prints)
cases=(
  "installerBytes given|https|bytes|ok:$installer_version:$installer_size|443 $request_line 200"
  "installerBytes null: HEAD probe|https|null|ok:$installer_version:$installer_size|443 $request_line 200;$(probe_line "$installer_version" 200)"
  "installerBytes absent: HEAD probe|https|absent|ok:$installer_version:$installer_size|443 $request_line 200;$(probe_line "$installer_version" 200)"
  "over plain HTTP|http|bytes|ok:$installer_version:$installer_size|$VELMO_NET_HTTP_PORT $request_line 200"
  "status 204|https|status-204|${transport}更新策略服务器返回 HTTP 204。|443 $request_line 204"
  "status 304|http|status-304|${transport}更新策略服务器返回 HTTP 304。|$VELMO_NET_HTTP_PORT $request_line 304"
  "status 404|https|none|${transport}更新策略服务器返回 HTTP 404。|443 $request_line 404"
  "status 500|http|status-500|${transport}更新策略服务器返回 HTTP 500。|$VELMO_NET_HTTP_PORT $request_line 500"
  "empty body|https|empty|${transport}更新策略服务器返回了空响应。|443 $request_line 200"
  "body of exactly 262144 bytes|https|limit|ok:$installer_version:$installer_size|443 $request_line 200"
  "body of 262145 bytes|https|over-limit|${transport}更新策略响应过大。|443 $request_line 200"
  "format error|https|not-json|正式更新策略格式无效，已停止当前操作。|443 $request_line 200"
  "validation error: size 0|https|zero|正式安装包大小无效。|443 $request_line 200"
  "probe without Content-Length|https|no-length|读取正式安装包大小失败：安装包服务器没有返回有效文件大小。|443 $request_line 200;$(probe_line 9.0.1 200)"
  "probe with Content-Length 0|https|length-0|读取正式安装包大小失败：安装包服务器没有返回有效文件大小。|443 $request_line 200;$(probe_line 9.0.2 200)"
  "probe of a missing installer|https|missing-installer|读取正式安装包大小失败：安装包服务器返回 HTTP 404。|443 $request_line 200;$(probe_line 1.4.9 404)"
)

# The requests nginx logged since MARK, as "PORT METHOD URI STATUS".
requests_since() {
  log_since "$VELMO_NET_ACCESS_LOG" "$1" |
    sed -E 's/^[^ ]+ ([0-9]+) "([A-Z]+) ([^"]*)" ([0-9]+) .*/\1 \2 \3 \4/'
}

check_result() {
  local name=$1 want=$2
  if [[ $want == ok:* ]]; then
    IFS=: read -r _ version bytes <<<"$want"
    expect "$name: exit code" 0 "$code"
    expect "$name: the release" "$(expected_release "$version" "$bytes")" "$(canonical_json <<<"$out")"
    expect "$name: nothing on stderr" "" "$err"
  else
    expect "$name: exit code" 1 "$code"
    expect "$name: message" "$want" "$err"
    expect "$name: nothing on stdout" "" "$out"
  fi
}

for entry in "${cases[@]}"; do
  IFS='|' read -r name origin setup want want_requests <<<"$entry"
  case $origin in
    https) origin_url=$VELMO_NET_HTTPS_ORIGIN ;;
    http) origin_url=$VELMO_NET_HTTP_ORIGIN ;;
  esac
  set_policy "$setup"
  mark=$(log_mark "$VELMO_NET_ACCESS_LOG")
  run_diag policy --endpoint "$origin_url"
  check_result "$name" "$want"
  expect "$name: requests" "$(tr ';' '\n' <<<"$want_requests")" "$(requests_since "$mark")"
done

# A body that never ends: refused once it passes the limit, not read on.
set_policy none
mark=$(log_mark "$VELMO_NET_FAULT_LOG")
started=$SECONDS
run_diag policy --endpoint "$VELMO_NET_FAULT_ORIGIN"
check_result "endless body" "${transport}更新策略响应过大。"
logged=$(log_since "$VELMO_NET_FAULT_LOG" "$mark")
expect "endless body: one request" 1 "$(grep -c . <<<"$logged")"
sent=$(sed -nE 's/.* sent=([0-9]+)$/\1/p' <<<"$logged")
expect "endless body: the client stopped reading long before the server's 64 MiB" yes \
  "$([ "${sent:-0}" -lt 67108864 ] && echo yes || echo "no, $sent bytes sent")"
expect "endless body: done within 60 s" yes "$([ $((SECONDS - started)) -le 60 ] && echo yes || echo no)"

# Without --endpoint the built-in origin is used; test builds have
# https://localhost, the bench's own HTTPS server.
built_in=$(sed -n 's/^VELMO_POLICY_ORIGIN:STRING=//p' "$net_build/CMakeCache.txt")
if [ "$built_in" = https://localhost ]; then
  set_policy bytes
  mark=$(log_mark "$VELMO_NET_ACCESS_LOG")
  run_diag policy
  check_result "built-in endpoint" "ok:$installer_version:$installer_size"
  expect "built-in endpoint: requests" "443 $request_line 200" "$(requests_since "$mark")"
else
  echo "note: built-in endpoint $built_in is not the bench's; that case is left out"
fi

set_policy none
rm -f "$installer" "$installer_dir/VelmoQen工作台-Setup-v9.0.2.exe"
test_finish
