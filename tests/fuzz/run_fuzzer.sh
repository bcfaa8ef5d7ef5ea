#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time, starting from a copy of its
# seed corpus so that the inputs it discovers never land in the source tree.
# Exits nonzero on any finding (crash, sanitizer report, broken property,
# leak, slow input) and leaves the input that caused it in FINDINGS_DIR.
#
#   run_fuzzer.sh FUZZER SEED_CORPUS_DIR SECONDS FINDINGS_DIR
set -euo pipefail

if [ $# -ne 4 ]; then
  echo "usage: run_fuzzer.sh FUZZER SEED_CORPUS_DIR SECONDS FINDINGS_DIR" >&2
  exit 2
fi
fuzzer=$1
seeds=$2
seconds=$3
findings=$4

[ -x "$fuzzer" ] || { echo "run_fuzzer: not an executable: $fuzzer" >&2; exit 2; }
[ -d "$seeds" ] || { echo "run_fuzzer: no seed corpus folder: $seeds" >&2; exit 2; }
[[ $seconds =~ ^[1-9][0-9]*$ ]] || { echo "run_fuzzer: SECONDS must be a positive number" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$seeds/." "$work/"
# Findings of an earlier run would otherwise be taken for this run's.
rm -rf "$findings"
mkdir -p "$findings"

# -timeout: one input running this long is a hang, reported like a crash;
# without it a single slow input could outlast the time limit by far.
status=0
"$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$findings/" "$work" || status=$?

if [ "$status" -ne 0 ]; then
  echo "run_fuzzer: $(basename "$fuzzer") failed (exit $status); inputs in $findings:" >&2
  ls -l "$findings" >&2
  echo "reproduce with: $fuzzer $findings/<file>" >&2
fi
exit "$status"
