#!/usr/bin/env bash
# The configure-time check of the built-in policy origin: a release build
# refuses plain HTTP unless a test build asks for it; https and debug builds
# pass; a path or a missing scheme is refused in every build.
#
#   policy_origin_test.sh SOURCE_DIR
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

script="$1/cmake/PolicyOrigin.cmake"
make_work_dir

# check ORIGIN BUILD_TYPE [ALLOW]: prints the script's exit status; its
# messages land in $work/log.
check() {
  local status=0
  cmake -DORIGIN="$1" -DBUILD_TYPE="$2" -DALLOW_HTTP="${3:-OFF}" -P "$script" \
    >"$work/log" 2>&1 || status=$?
  echo "$status"
}

said() { tr -s ' \n' '  ' <"$work/log"; echo; }

while read -r origin type allow want; do
  expect "$origin in a $type build (allow=$allow)" "$want" "$(check "$origin" "$type" "$allow")"
done <<'CASES'
https://updates.example.com Release OFF 0
https://localhost:8443 RelWithDebInfo OFF 0
http://updates.example.com Release OFF 1
http://updates.example.com RelWithDebInfo OFF 1
http://updates.example.com MinSizeRel OFF 1
http://updates.example.com release OFF 1
http://localhost:8080 Debug OFF 0
http://localhost:8080 Release ON 0
https://updates.example.com/v1 Release OFF 1
https://updates.example.com/v1 Debug ON 1
updates.example.com Release OFF 1
CASES

# The rule velmo-diag's --endpoint gets from the configure step: the same
# build types refuse plain HTTP unless a test build asks for it.
printf 'include("%s")\nvelmo_plain_http_policy_allowed(allowed "${BUILD_TYPE}" "${ALLOW_HTTP}")\nmessage("${allowed}")\n' \
  "$script" >"$work/rule.cmake"
while read -r type allow want; do
  expect "plain HTTP allowed in a $type build (allow=$allow)" "$want" \
    "$(cmake -DBUILD_TYPE="$type" -DALLOW_HTTP="$allow" -P "$work/rule.cmake" 2>&1)"
done <<'CASES'
Release OFF OFF
RelWithDebInfo OFF OFF
MinSizeRel OFF OFF
release OFF OFF
Debug OFF ON
Release ON ON
CASES

check http://updates.example.com Release >/dev/null
expect "the refusal says why and how to build for tests" 1 \
  "$(said | grep -c "refuses the plain-HTTP policy origin .*VELMO_ALLOW_HTTP_POLICY_ORIGIN=ON")"
check http://localhost:8080 Release ON >/dev/null
expect "a test build with plain HTTP is marked as such" 1 "$(said | grep -c "a build for tests only")"
test_finish
