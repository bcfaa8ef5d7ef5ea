#!/usr/bin/env bash
# Updates killed under Wine, then an ordinary run of the assistant, which
# puts the installation back by itself before its window shows; velmo-diag
# recover then finds nothing left to do. velmo-pack makes
# release 1.0.0 around a small program and 1.1.0 around a large one (so the
# copy into the install directory takes a while); each case installs 1.0.0,
# starts velmo-diag apply of 1.1.0, waits for one moment of the update by
# watching the install directory, and SIGKILLs every Windows process whose
# command line names the test's folder (velmo-diag, the environment helper
# that started it, an attrib.exe it started). Then the assistant must leave
# the old or the new program with its own manifest and nothing the update
# refuses, and the same update applied once more must succeed.
#
#   recover_update_test.sh RUNNER BUILD_DIR VELMO_PACK VELMO_DIAG ENV_RUN PROGRAM_EXE ASSISTANT_EXE
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

runner=$1 build=$2 pack=$3 diag=$4 env_run=$5 program=$6 assistant=$7
# shellcheck source=scripts/lib/window_probe.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../../scripts/lib/window_probe.sh"
probe_init "$build"
readonly assistant_title="Velmo Qen 工作台智能安装引导器"
readonly main_name="VelmoQen工作台.exe"
readonly program_backup="$main_name.velmo-update-backup"
readonly partial="$main_name.velmo-install-partial"
readonly large_mib=96
make_work_dir
trap 'kill_windows_programs_naming "$(win "$work")"; remove_work_dir' EXIT

release() {
  local version=$1 main=$2
  "$runner" "$pack" bundle --installer "$program" --main-program "$main" \
    --startup-helper "$program" --version "$version" -o "$work/setup-$version.exe" >/dev/null
}

# velmo-diag apply of VERSION into DIR, all in one data root: the verified
# copy of 1.1.0 made by the killed run is what recover compares against.
apply() {
  local version=$1 dir=$2 setup="$work/setup-$1.exe"
  "$runner" "$env_run" "ProgramData=$work/data" -- "$diag" apply --installer "$setup" \
    --install-dir "$(win "$dir")" --version "$version" \
    --sha256 "$(sha256sum "$setup" | cut -d' ' -f1)" --bytes "$(stat -c %s "$setup")" \
    --assistant "$assistant"
}

# The assistant as a user starts it, for the installation in DIR: it
# recovers before its window rates the installation, so once the window
# shows, the recovery is over; then it is closed the hard way.
assistant_run() {
  local what=$1 dir=$2
  "$runner" "$env_run" "ProgramData=$work/data" -- "$assistant" --install-dir "$(win "$dir")" \
    </dev/null >"$work/$what.assistant.out" 2>&1 &
  local job=$!
  probe_window "$assistant_title" 60 || fail "$what: the assistant's window never showed"
  kill_windows_programs_naming "$(win "$work")"
  wait "$job" || true
}

recover() {
  "$runner" "$env_run" "ProgramData=$work/data" -- "$diag" recover --install-dir "$(win "$1")"
}

# Polls with shell built-ins only (no process per try) for at most 60 s.
wait_for() {
  local deadline=$((SECONDS + 60))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
  done
}

# The Windows programs (their loader is a program named wine...) whose
# command line names WORD, among the processes naming the work folder
# (pgrep reads /proc in one process; a scan forking per process is too slow
# to find a run that lasts a second).
windows_pids_naming() {
  local word=$1 pid exe
  for pid in $(pgrep -f -- "${work##*/}"); do
    exe=$(readlink "/proc/$pid/exe" 2>/dev/null) || continue
    [[ ${exe##*/} == wine* ]] || continue
    if pid_cmdline_has "$pid" "$word"; then
      echo "$pid"
    fi
  done
}

# velmo-diag and the helper that started it, found once they run: the
# moments this test waits for are shorter than any search, so the kill
# itself is one built-in call on known pids.
update_pids() {
  local pid program
  mapfile -t pids < <(windows_pids_naming "$(win "$work")")
  for pid in "${pids[@]}"; do
    # The program itself, not the helper whose arguments name it.
    program=$(head -z -n 1 "/proc/$pid/cmdline" 2>/dev/null | tr -d '\0')
    [[ $program == *velmo-diag* ]] && return 0
  done
  return 1
}

backup_exists() { [ -e "$1/$program_backup" ]; }
copy_running() { [ -e "$1/$partial" ]; }
# The main program's name is empty from the backup rename until the copy is
# renamed into place; seen again after the backup was, it is the new one.
# The backup is looked for first: the other order can see the old program
# and then its fresh backup.
new_in_place() { [ -e "$1/$program_backup" ] && [ -e "$1/$main_name" ]; }

manifest_version() {
  python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["version"])' "$1/install-manifest.json"
}

# The old program with manifest 1.0.0 or the new one with 1.1.0.
expect_program_with_own_manifest() {
  local what=$1 dir=$2 version
  version=$(manifest_version "$dir" 2>/dev/null || echo none)
  case $version in
  1.0.0) expect_same_file "$what: old program with manifest 1.0.0" "$work/main-1.0.0.exe" "$dir/$main_name" ;;
  1.1.0) expect_same_file "$what: new program with manifest 1.1.0" "$work/main-1.1.0.exe" "$dir/$main_name" ;;
  *) fail "$what: manifest version $version" ;;
  esac
}

# One case: a fresh installation of 1.0.0, the update killed when MOMENT is
# seen (CHECK then says whether the kill really caught it), recover, the
# update again.
killed_update_case() {
  local what=$1 moment=$2 check=$3 dir="$work/$1" output status
  apply 1.0.0 "$dir" >/dev/null
  apply 1.1.0 "$dir" >"$work/$what.out" 2>&1 &
  local job=$! pids=()
  wait_for update_pids || fail "$what: velmo-diag apply not found"
  if wait_for "$moment" "$dir"; then
    kill -KILL "${pids[@]}" 2>/dev/null || true
  else
    fail "$what: the moment was never seen"
  fi
  # Whatever they had started (attrib.exe of the launcher step).
  kill_windows_programs_naming "$(win "$work")"
  wait "$job" || true
  echo "$what: killed with $(find "$dir" -maxdepth 1 -printf '%f(%s) ' | sort)"
  "$check" "$what" "$dir"

  assistant_run "$what" "$dir"
  expect_program_with_own_manifest "$what" "$dir"
  status=0
  output=$(recover "$dir" 2>"$work/$what.err") || status=$?
  echo "$output"
  expect "$what: recover exits 0" 0 "$status"
  expect_match "$what: nothing left for velmo-diag recover" \
    '{"action":"none"}'$'\n''{"state":"installed","version":"1.'[01]'.0"}' "$output"
  expect "$what: no backup or partial left" 0 \
    "$(find "$dir" -maxdepth 1 \( -name '*.velmo-update-backup' -o -name '*.velmo-install-partial' \) | wc -l)"

  status=0
  apply 1.1.0 "$dir" >/dev/null 2>"$work/$what.next.err" || status=$?
  expect "$what: the next update succeeds" 0 "$status"
  expect_same_file "$what: the update is installed" "$work/main-1.1.0.exe" "$dir/$main_name"
  rm -rf "$dir"
}

# What each moment must really have caught.
check_backup_taken() { expect_true "$1: backup present when killed" test -e "$2/$program_backup"; }
check_copy_running() {
  local size
  size=$(stat -c %s "$2/$partial" 2>/dev/null || echo none)
  expect_true "$1: partial copy shorter than the program ($size bytes)" \
    test "$size" != none -a "$size" -lt "$(stat -c %s "$work/main-1.1.0.exe")"
}
check_new_in_place() {
  expect_same_file "$1: new program in place" "$work/main-1.1.0.exe" "$2/$main_name"
  expect_true "$1: backup still present" test -e "$2/$program_backup"
}

cp "$program" "$work/main-1.0.0.exe"
cp "$program" "$work/main-1.1.0.exe"
head -c "${large_mib}M" /dev/zero >>"$work/main-1.1.0.exe"
release 1.0.0 "$work/main-1.0.0.exe"
release 1.1.0 "$work/main-1.1.0.exe"

killed_update_case backup-taken backup_exists check_backup_taken
killed_update_case during-copy copy_running check_copy_running
killed_update_case new-in-place new_in_place check_new_in_place

# An installation that needs nothing: a line that says so, nothing moved.
healthy="$work/healthy"
apply 1.0.0 "$healthy" >/dev/null
before=$(find "$healthy" -printf '%p %s %T@\n' | sort)
expect "healthy directory: nothing done" \
  '{"action":"none"}
{"state":"installed","version":"1.0.0"}' "$(recover "$healthy")"
expect "healthy directory: unchanged" "$before" "$(find "$healthy" -printf '%p %s %T@\n' | sort)"

test_finish
