# shellcheck shell=bash
# The shell tests' common part (sourced, not run). One way to assert, each
# printing "ok: WHAT" or "FAIL: WHAT ..." and counting:
#
#   expect WHAT EXPECTED ACTUAL      ACTUAL is EXPECTED, to the letter
#   expect_match WHAT GLOB ACTUAL    ACTUAL matches the shell pattern GLOB
#   expect_same_file WHAT EXPECTED_FILE ACTUAL_FILE
#   expect_true WHAT COMMAND...      COMMAND succeeds
#   pass WHAT / fail WHAT            a check the test decided itself
#   test_finish                      prints the tally; exits 1 after any failure
#
# and what several tests need:
#
#   make_work_dir                    $work: a fresh folder (in build/test-work,
#                                    which only its owner may change); remove_work_dir
#                                    (the EXIT trap it sets) removes it
#   exit_code_of COMMAND...          runs COMMAND, its exit status in $code
#   upper_sha256 FILE                the SHA-256 as velmo-diag prints it
#
# From scripts/lib/bench_helpers.sh: forget_webview2_runtime RUNNER ENV_RUN
# (unregisters the runtime in both scopes), win PATH (a Linux path as Wine's Windows
# programs see it), pid_alive PID (the process runs and is no zombie) and the
# other process helpers.

# shellcheck source=scripts/lib/bench_helpers.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../../scripts/lib/bench_helpers.sh"

test_checks=0
test_failures=0

pass() {
  echo "ok: $*"
  test_checks=$((test_checks + 1))
}

fail() {
  echo "FAIL: $*"
  test_checks=$((test_checks + 1))
  test_failures=$((test_failures + 1))
}

expect() {
  local what=$1 expected=$2 actual=$3
  if [ "$expected" = "$actual" ]; then
    pass "$what"
  else
    fail "$what: expected [$expected], got [$actual]"
  fi
}

expect_match() {
  local what=$1 glob=$2 actual=$3
  # shellcheck disable=SC2053 # the pattern is meant to match
  if [[ $actual == $glob ]]; then
    pass "$what"
  else
    fail "$what: expected something like [$glob], got [$actual]"
  fi
}

# Both files must exist and be equal byte for byte.
expect_same_file() {
  local what=$1 expected=$2 actual=$3
  if [ -f "$expected" ] && [ -f "$actual" ] && cmp -s "$expected" "$actual"; then
    pass "$what"
  else
    fail "$what: $actual differs from $expected"
  fi
}

expect_true() {
  local what=$1
  shift
  if "$@"; then
    pass "$what"
  else
    fail "$what"
  fi
}

# The last line of every test: CTest sees the failure in the exit status.
test_finish() {
  echo "$test_checks check(s), $test_failures failed"
  [ "$test_failures" -eq 0 ] || exit 1
}

# shellcheck disable=SC2317 # called by trap
remove_work_dir() {
  [ -z "${work:-}" ] || rm -rf "$work"
}

# Inside the build tree, not /tmp: the assistant refuses to install below a
# folder that others may write (Wine shows /tmp's mode 1777 as such a
# folder, without its sticky bit), as it should on Windows. A checkout that
# itself lies below such a folder uses a root-owned folder of the system.
work_root() {
  local root dir
  root=$(realpath -m "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../../build/test-work")
  dir=$(dirname "$root")
  while [ "$dir" != / ]; do
    if [ -d "$dir" ] && [ -n "$(find "$dir" -maxdepth 0 -perm -o+w)" ]; then
      echo /var/lib/velmo-test-work
      return
    fi
    dir=$(dirname "$dir")
  done
  echo "$root"
}

make_work_dir() {
  local root
  root=$(work_root)
  mkdir -p "$root"
  chmod 0755 "$root"
  work=$(mktemp -d -p "$root")
  trap remove_work_dir EXIT
}

# Under set -e a command that fails would end the test before its status is
# checked; redirections given to exit_code_of apply to COMMAND.
# shellcheck disable=SC2034 # code is read by the sourcing test
exit_code_of() {
  code=0
  "$@" || code=$?
}

upper_sha256() {
  sha256sum "$1" | cut -d' ' -f1 | tr 'a-f' 'A-F'
}
