#!/usr/bin/env bash
# Shared by the network bench's test scripts (sourced, not run):
#
#   net_test_init BUILD_DIR   checks the benches are up, sets paths, the
#                             bench's VELMO_NET_* variables and a work folder
#   expect WHAT EXPECTED ACTUAL / expect_match WHAT GLOB ACTUAL / fail WHAT
#   log_mark FILE / log_since FILE MARK   request lines logged after a mark
#   run_diag ARGS...          velmo-diag under Wine with ProgramData pointed
#                             at $program_data; sets out, err, code
#   net_test_finish           prints the tally, exits 1 after any failure
#
# The Wine bench and the network bench must be up (under CTest the "wine"
# and "net" fixtures bring them up).

net_lib_dir=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
net_scripts_dir=$(realpath "$net_lib_dir/../../scripts")
net_failures=0
net_checks=0

fail() {
  echo "FAIL: $*"
  net_failures=$((net_failures + 1))
  net_checks=$((net_checks + 1))
}

pass() {
  echo "ok: $*"
  net_checks=$((net_checks + 1))
}

expect() {
  local what=$1 expected=$2 actual=$3
  if [ "$expected" = "$actual" ]; then
    pass "$what"
  else
    fail "$what: expected [$expected], got [$actual]"
  fi
}

# ACTUAL must match the shell pattern GLOB.
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

# shellcheck disable=SC2317 # called by trap
net_test_cleanup() {
  [ -z "${net_work:-}" ] || rm -rf "$net_work"
}

net_test_init() {
  local build_arg=$1 bench_env
  [ -d "$build_arg" ] || {
    echo "no such build directory: $build_arg" >&2
    exit 2
  }
  net_build=$(cd "$build_arg" && pwd -P)
  wine_run="$net_scripts_dir/wine-run.sh"
  helpers="$net_build/tests/network"
  env_run="$helpers/velmo_env_run.exe"
  diag="$net_build/tools/velmo-diag.exe"
  bench_env=$("$BASH" "$net_lib_dir/net-bench.sh" env "$net_build") || {
    echo "the network bench is not up: run tests/network/net-bench.sh start $net_build" >&2
    exit 1
  }
  eval "$bench_env"
  # Loopback only: a proxy of the caller's must not see the requests (Wine's
  # WinHTTP reads http_proxy too).
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
  net_work=$(mktemp -d)
  trap net_test_cleanup EXIT
}

# Plain curl against the bench; never a proxy, never for long.
bench_curl() {
  curl --noproxy '*' --silent --show-error --max-time 30 "$@"
}

upper_sha256() {
  sha256sum "$1" | cut -d' ' -f1 | tr 'a-f' 'A-F'
}

# Number of lines FILE has now; log_since prints the lines after that. nginx
# writes a request's line when the request ends, which is before the client
# has finished reading, so after a finished client the log is complete.
log_mark() {
  if [ -f "$1" ]; then
    wc -l <"$1"
  else
    echo 0
  fi
}

log_since() {
  local file=$1 mark=$2
  [ -f "$file" ] || return 0
  tail -n "+$((mark + 1))" "$file"
}

# velmo-diag through velmo_env_run.exe, so that ProgramData is ours (Wine
# ignores the Linux value for a process it starts from Linux). stdout, stderr
# and the exit code land in out, err and code; CR from Windows line ends is
# dropped.
# shellcheck disable=SC2034 # out, err, code are read by the sourcing script
run_diag() {
  [ -n "${program_data:-}" ] || {
    echo "run_diag: program_data is not set" >&2
    exit 2
  }
  code=0
  timeout 300 "$wine_run" "$env_run" "ProgramData=$program_data" -- "$diag" "$@" \
    >"$net_work/diag.out" 2>"$net_work/diag.err" || code=$?
  out=$(tr -d '\r' <"$net_work/diag.out")
  err=$(tr -d '\r' <"$net_work/diag.err")
}

# A fresh, empty ProgramData folder (Linux path); downloads is where
# velmo-diag download puts its files (it makes the folder itself).
# shellcheck disable=SC2034 # downloads is read by the sourcing script
fresh_program_data() {
  program_data=$(mktemp -d "$net_work/programdata.XXXXXX")
  downloads="$program_data/VelmoInstaller/downloads"
}

# Stops the script with a clear message when velmo-diag lacks COMMAND.
require_diag_command() {
  local command=$1 usage_text
  [ -f "$diag" ] || {
    echo "FAIL: $diag is not built" >&2
    exit 1
  }
  usage_text=$(timeout 120 "$wine_run" "$diag" 2>&1 || true)
  if ! grep -q "^  $command" <<<"$usage_text"; then
    echo "FAIL: velmo-diag has no '$command' command yet; its usage says:" >&2
    echo "$usage_text" >&2
    exit 1
  fi
}

net_test_finish() {
  echo "$net_checks check(s), $net_failures failed"
  [ "$net_failures" -eq 0 ]
}
