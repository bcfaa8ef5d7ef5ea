#!/usr/bin/env bash
# stamp-workbench-standin.sh makes a release's main program: the stand-in's
# bytes unchanged, the zero padding, the version trailer last; and the
# result still starts under Wine, padding and all. What the program reads
# from the trailer is checked by velmo_windows_tests.
#
#   workbench_stamp_test.sh RUNNER STAMP_SCRIPT STANDIN_EXE ENV_RUN
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

runner=$1 stamp=$2 standin=$3 env_run=$4
make_work_dir

size=$(stat -c %s "$standin")
trailer=$'\nvelmo-standin-version=1.1.0\n'

# PAD_MIB as given | padding in bytes ("08" is eight, not bad octal)
cases=("|0" "0|0" "08|$((8 * 1024 * 1024))" "100|$((100 * 1024 * 1024))")
for entry in "${cases[@]}"; do
  IFS='|' read -r pad_mib pad_bytes <<<"$entry"
  out="$work/pad${pad_mib:-none}/VelmoQen工作台.exe"
  mkdir -p "$(dirname "$out")"
  "$stamp" "$standin" 1.1.0 "$out" ${pad_mib:+"$pad_mib"}
  expect "[$pad_mib] size" $((size + pad_bytes + ${#trailer})) "$(stat -c %s "$out")"
  expect "[$pad_mib] program bytes unchanged" same \
    "$(cmp -s -n "$size" "$standin" "$out" && echo same || echo differ)"
  expect "[$pad_mib] padding is zeros" 0 \
    "$(tail -c +$((size + 1)) "$out" | head -c "$pad_bytes" | tr -d '\0' | wc -c)"
  expect "[$pad_mib] trailer last" "$(printf '%s' "$trailer" | od -An -c)" \
    "$(tail -c ${#trailer} "$out" | od -An -c)"
  expect "[$pad_mib] no partial file left" 1 "$(find "$(dirname "$out")" -type f | wc -l)"
done

exit_code_of "$runner" "$env_run" VELMO_WORKBENCH_STANDIN=exit=5 -- "$work/pad100/VelmoQen工作台.exe" --main
expect "a padded release still runs" 5 "$code"

# Refused without writing anything: a version the program would not show,
# a padding that is not a count, a missing argument, a missing program.
refusals=("$standin|1.x|0|2" "$standin|1.1.0|-1|2" "$standin|1.1.0|1M|2" "$standin||0|2"
  "$work/missing.exe|1.1.0|0|1")
for entry in "${refusals[@]}"; do
  IFS='|' read -r program version pad_mib expected <<<"$entry"
  exit_code_of "$stamp" "$program" "$version" "$work/refused.exe" "$pad_mib" 2>/dev/null
  expect "refused [$version] [$pad_mib] $(basename "$program")" "$expected" "$code"
  expect "refused [$version] [$pad_mib]: nothing written" "" "$(find "$work" -maxdepth 1 -name 'refused.exe*')"
done
exit_code_of "$stamp" "$standin" 1.1.0 2>/dev/null
expect "no OUT is a usage error" 2 "$code"

test_finish
