#!/usr/bin/env bash
# velmo-diag as support engineers run it: through Wine, on a fresh file of
# several MiB, compared with the digest the system's sha256sum computes now;
# plus the exit-code contract for failures and usage errors, and the
# environment commands against a data root and an installation of the test's
# own (ProgramData is handed over by a Windows parent, as Wine ignores the
# Linux value).
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

runner=$1 diag=$2 env_run=$3
make_work_dir

head -c $((6 * 1024 * 1024 + 17)) /dev/urandom >"$work/payload.bin"
expected=$(upper_sha256 "$work/payload.bin")

out=$("$runner" "$diag" sha256 "$work/payload.bin")
expect "sha256 of a 6 MiB file" "{\"sha256\":\"$expected\"}" "$out"

out=$("$runner" "$diag" version)
expect "version" '{"version":"1.0.0"}' "$out"

exit_code_of "$runner" "$diag" sha256 "$work/missing.bin" >"$work/out" 2>"$work/err"
expect "missing file exits 1" 1 "$code"
expect "missing file prints nothing on stdout" "" "$(cat "$work/out")"
expect "missing file message is one line" 1 "$(wc -l <"$work/err")"
case "$(cat "$work/err")" in
  读取校验文件失败：*"(os error 2)") pass "missing file message" ;;
  *) fail "missing file message: $(cat "$work/err")" ;;
esac

exit_code_of "$runner" "$diag" no-such-command >"$work/out" 2>"$work/err"
expect "unknown command exits 2" 2 "$code"
expect_true "usage text" grep -q '^usage: velmo-diag' "$work/err"

# An installation as the installer writes it, under a Windows path.
mkdir -p "$work/data/VelmoInstaller" "$work/IDE"
printf 'MZ' >"$work/IDE/VelmoQen工作台.exe"
install_dir=$(win "$work/IDE")
json_dir=${install_dir//\\/\\\\}
printf '{\n  "commandLibraryPath": "embedded://frontend-bundle",\n  "executablePath": "%s\\\\VelmoQen工作台.exe",\n  "installPath": "%s",\n  "product": "VelmoQen工作台",\n  "version": "1.4.0"\n}' \
  "$json_dir" "$json_dir" >"$work/IDE/install-manifest.json"
diag_in_data() { "$runner" "$env_run" "ProgramData=$work/data" -- "$diag" "$@"; }

out=$(diag_in_data discover)
expect "discover without a record" '{"installDir":"C:\\Program Files\\VelmoQen工作台"}' "$out"

printf '%s\r\n' "$install_dir" >"$work/data/VelmoInstaller/install-location.txt"
out=$(diag_in_data discover)
expect "discover a record with a line break" "{\"installDir\":\"$json_dir\"}" "$out"

out=$(diag_in_data manifest "$install_dir")
expect "manifest" "{\"commandLibraryPath\":\"embedded://frontend-bundle\",\"executablePath\":\"$json_dir\\\\VelmoQen工作台.exe\",\"installPath\":\"$json_dir\",\"product\":\"VelmoQen工作台\",\"version\":\"1.4.0\"}" "$out"

out=$(diag_in_data env)
case "$out" in
  '{"osLabel":"Windows 10 x64 · Build '*'","verdict":"正常版","supported":true,"present":[true,true,true,'*',false],"ready":['*'],"workbenchStatus":1}')
    pass "env of the recorded installation" ;;
  *) fail "env: $out" ;;
esac

exit_code_of diag_in_data manifest "$(win "$work/data")" >"$work/out" 2>"$work/err"
expect "manifest of a foreign directory exits 1" 1 "$code"
expect "manifest of a foreign directory message" "工作台安装清单或主程序不完整，无法安全启动。" "$(cat "$work/err")"

test_finish
