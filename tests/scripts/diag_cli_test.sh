#!/usr/bin/env bash
# velmo-diag as support engineers run it: through Wine, on a fresh file of
# several MiB, compared with the digest the system's sha256sum computes now;
# plus the exit-code contract for failures and usage errors.
set -euo pipefail

runner=$1
diag=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

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

head -c $((6 * 1024 * 1024 + 17)) /dev/urandom >"$work/payload.bin"
expected=$(sha256sum "$work/payload.bin" | cut -d' ' -f1 | tr 'a-f' 'A-F')

out=$("$runner" "$diag" sha256 "$work/payload.bin")
check "sha256 of a 6 MiB file" "{\"sha256\":\"$expected\"}" "$out"

out=$("$runner" "$diag" version)
check "version" '{"version":"1.0.0"}' "$out"

set +e
"$runner" "$diag" sha256 "$work/missing.bin" >"$work/out" 2>"$work/err"
code=$?
set -e
check "missing file exits 1" 1 "$code"
check "missing file prints nothing on stdout" "" "$(cat "$work/out")"
check "missing file message is one line" 1 "$(wc -l <"$work/err")"
case "$(cat "$work/err")" in
  读取校验文件失败：*"(os error 2)") echo "ok: missing file message" ;;
  *) echo "FAIL: missing file message: $(cat "$work/err")"; failures=$((failures + 1)) ;;
esac

set +e
"$runner" "$diag" no-such-command >"$work/out" 2>"$work/err"
code=$?
set -e
check "unknown command exits 2" 2 "$code"
if grep -q '^usage: velmo-diag' "$work/err"; then
  echo "ok: usage text"
else
  echo "FAIL: no usage text"
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ]
