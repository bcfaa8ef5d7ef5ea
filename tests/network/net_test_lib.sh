# shellcheck shell=bash
# The network bench's part of the shell tests (sourced, not run); it brings
# in tests/lib/test_lib.sh (expect, expect_match, ..., test_finish, win,
# make_work_dir) as well:
#
#   net_test_init "$@"        takes the one argument BUILD_DIR, checks the
#                             benches are up, sets paths, the bench's
#                             VELMO_NET_* variables and the work folder $work
#   bench_curl ARGS...        curl against the bench, never through a proxy
#   log_mark FILE / log_since FILE MARK   request lines logged after a mark
#   run_diag ARGS...          velmo-diag under Wine with ProgramData pointed
#                             at $program_data; sets out, err, code
#   fresh_program_data        a new, empty $program_data (and $downloads)
#   require_diag_command CMD  stops the test when velmo-diag lacks CMD
#   await_exit SECONDS        app_exit := the exit status of the background
#                             job $app once it ended within SECONDS, else
#                             "running"
#
# The Wine bench and the network bench must be up (under CTest the "wine"
# and "net" fixtures bring them up).

net_lib_dir=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
net_scripts_dir=$(realpath "$net_lib_dir/../../scripts")
# shellcheck source=tests/lib/test_lib.sh
source "$net_lib_dir/../lib/test_lib.sh"

net_test_init() {
  local bench_env
  [ $# -eq 1 ] || usage_error "${0##*/} BUILD_DIR"
  net_build=$(build_dir_of "$1")
  wine_run="$net_scripts_dir/wine-run.sh"
  helpers="$net_build/tests/network"
  env_run="$helpers/velmo_env_run.exe"
  diag="$net_build/tools/velmo-diag.exe"
  bench_env=$("$BASH" "$net_lib_dir/net-bench.sh" env "$net_build") || {
    echo "the network bench is not up: run tests/network/net-bench.sh start $net_build" >&2
    exit 1
  }
  eval "$bench_env"
  drop_proxies
  make_work_dir
}

# Plain curl against the bench; never a proxy, never for long.
bench_curl() {
  curl --noproxy '*' --silent --show-error --max-time 30 "$@"
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
# shellcheck disable=SC2034 # out, err are read by the sourcing script
run_diag() {
  [ -n "${program_data:-}" ] || {
    echo "run_diag: program_data is not set" >&2
    exit 2
  }
  exit_code_of timeout 300 "$wine_run" "$env_run" "ProgramData=$program_data" -- "$diag" "$@" \
    >"$work/diag.out" 2>"$work/diag.err"
  out=$(tr -d '\r' <"$work/diag.out")
  err=$(tr -d '\r' <"$work/diag.err")
}

# A fresh, empty ProgramData folder (Linux path); downloads is where
# velmo-diag download puts its files (it makes the folder itself).
# shellcheck disable=SC2034 # downloads is read by the sourcing script
fresh_program_data() {
  program_data=$(mktemp -d "$work/programdata.XXXXXX")
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

# shellcheck disable=SC2154,SC2034 # app is set, app_exit read by the test
await_exit() {
  app_exit=0
  if ! wait_while $(($1 * 10)) pid_alive "$app"; then
    app_exit=running
    return
  fi
  wait "$app" || app_exit=$?
}
