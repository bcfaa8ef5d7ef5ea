#!/usr/bin/env bash
# The imports check on small programs linked each way it must tell apart:
# a system DLL that is not a KnownDLL imported at start (refused) or
# delay-loaded through the build's delay-import library (accepted), a DLL
# that does not ship with Windows either way (refused), and KnownDLLs only.
#
# Usage: check_imports_test.sh SOURCE_DIR C_COMPILER DLLTOOL BCRYPT_DELAY_LIB
set -euo pipefail

source_dir=$(realpath "$1")
cc=$2 dlltool=$3 bcrypt_delay=$4
# shellcheck source=tests/lib/test_lib.sh
source "$source_dir/tests/lib/test_lib.sh"
make_work_dir
readonly check="$source_dir/tests/scripts/check_imports.sh"

cat >"$work/hash.c" <<'EOF'
#include <windows.h>
#include <bcrypt.h>
int main(void) {
  BCRYPT_ALG_HANDLE algorithm;
  return BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, NULL, 0) != 0;
}
EOF
cat >"$work/foreign.c" <<'EOF'
__declspec(dllexport) int foreign_answer(void) { return 42; }
EOF
cat >"$work/uses_foreign.c" <<'EOF'
__declspec(dllimport) int foreign_answer(void);
int main(void) { return foreign_answer() != 42; }
EOF
cat >"$work/plain.c" <<'EOF'
#include <windows.h>
int main(void) { return GetTickCount() == 0; }
EOF
printf 'LIBRARY foreign.dll\nEXPORTS\n  foreign_answer\n' >"$work/foreign.def"
"$cc" -shared -o "$work/foreign.dll" "$work/foreign.c" -Wl,--out-implib,"$work/libforeign.a"
"$dlltool" --def "$work/foreign.def" --dllname foreign.dll --output-delaylib "$work/libforeign_delay.a"

# name | source | libraries | expected exit | FAIL lines expected (";" between)
cases=(
  "bcrypt at start|hash.c|-lbcrypt|1|imports at start only KnownDLLs (delay-load the others): expected [], got [bcrypt.dll]"
  "bcrypt delay-loaded|hash.c|$bcrypt_delay|0|"
  "foreign DLL at start|uses_foreign.c|$work/libforeign.a|1|imports only DLLs that ship with Windows: expected [], got [foreign.dll];imports at start only KnownDLLs (delay-load the others): expected [], got [foreign.dll]"
  "foreign DLL delay-loaded|uses_foreign.c|$work/libforeign_delay.a|1|imports only DLLs that ship with Windows: expected [], got [foreign.dll]"
  "KnownDLLs only|plain.c||0|"
)

for entry in "${cases[@]}"; do
  IFS='|' read -r name source libraries expected_code expected_failures <<<"$entry"
  exe="$work/${name// /_}.exe"
  # shellcheck disable=SC2086 # no library, or one
  "$cc" -static -o "$exe" "$work/$source" $libraries
  exit_code_of "$check" "$exe" >"$work/out" 2>&1
  expect "$name: exit code" "$expected_code" "$code"
  # Only the check's own failure lines, without the program's path.
  actual=$(sed -n "s|^FAIL: $exe ||p" "$work/out" | paste -sd';')
  expect "$name: failures" "$expected_failures" "$actual"
done

# The delay-loaded DLL is named by the check, so a build log shows it.
"$check" "$work/bcrypt_delay-loaded.exe" >"$work/out" 2>&1
expect_true "the delay-loaded DLL is listed" grep -qx "note: $work/bcrypt_delay-loaded.exe delay-loads bcrypt.dll" "$work/out"

test_finish
