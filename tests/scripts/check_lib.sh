# shellcheck shell=bash
# Shared by the shell tests (sourced, not run): `check WHAT EXPECTED ACTUAL`
# prints ok or FAIL and counts failures; end a test with
# `[ "$failures" -eq 0 ]`.
failures=0
check() {
  local what=$1 expected=$2 actual=$3
  if [ "$expected" != "$actual" ]; then
    echo "FAIL: $what: expected [$expected], got [$actual]"
    failures=$((failures + 1))
  else
    echo "ok: $what"
  fi
}
