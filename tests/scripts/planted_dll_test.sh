#!/usr/bin/env bash
# DLLs planted next to the shipped programs are never loaded. The assistant
# and velmo-diag are copied into a folder (as if downloaded) together with a
# marker DLL under the name of every system DLL they use that is not a
# KnownDLL: those they import themselves and those the system loads for
# them (a window's theme, file versions, TLS for WinHTTP). Wine is told to
# prefer a DLL found on the search path to its own, as Windows does for
# every DLL that is not a KnownDLL; a copy that is loaded leaves a marker
# file next to itself. Each program then does the work that needs those
# DLLs, and no marker may appear:
# - velmo-diag: a SHA-256 (bcrypt, which must give the right digest), the
#   in-use question (rstrtmgr), a policy fetch from a closed local port
#   (winhttp; never the bench's 443);
# - the assistant: its startup window, then its main window when it runs
#   from inside an archive (no policy fetch in either case); both ask dwmapi
#   for the window's corners and get themed by the system.
#
#   planted_dll_test.sh RUNNER BUILD_DIR ASSISTANT DIAG PLANTED_DLL
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"
# shellcheck source=scripts/lib/window_probe.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../../scripts/lib/window_probe.sh"

[ $# -eq 5 ] || usage_error "planted_dll_test.sh RUNNER BUILD_DIR ASSISTANT DIAG PLANTED_DLL"
runner=$1 build=$2 assistant=$3 diag=$4 planted=$5

# System DLLs that are not KnownDLLs, which the programs or the system
# libraries under them load. Not version.dll: Wine's own gdi32 imports it,
# and Wine resolves that import by the program's search path as the process
# starts, where Windows takes the dependencies of a KnownDLL (gdi32) from
# System32; under Wine a planted version.dll is loaded before any code of
# ours runs, whatever the program does.
readonly planted_names=(
  bcrypt winhttp rstrtmgr dwmapi uxtheme crypt32 secur32 comctl32
  iphlpapi dnsapi wintrust userenv cryptbase netapi32
)
# The policy fetch runs next to all of them but crypt32 and bcrypt: Wine's
# winhttp loads crypt32 (which imports bcrypt) through Wine's own delay
# imports, and those search by the path the process started with, ignoring
# the program's SetDefaultDllDirectories. Windows applies the process's
# default directories to every later load, the system's own included.
readonly fetch_names=(
  winhttp rstrtmgr dwmapi uxtheme secur32 comctl32
  iphlpapi dnsapi wintrust userenv cryptbase netapi32
)
names_csv=$(printf '%s,' "${planted_names[@]}")
export WINEDLLOVERRIDES="${names_csv%,}=n,b"

# Inside the build tree: the runner finds the bench from the program's path.
work=$(mktemp -d "$build/planted-dll.XXXXXX")
prefix="$build/wine-bench/prefix"
archive_dir=""
# shellcheck disable=SC2317 # called by trap
cleanup() {
  kill_windows_programs_naming "${work##*/}"
  [ -z "$archive_dir" ] || kill_windows_programs_naming "${archive_dir##*/}"
  [ -z "$archive_dir" ] || rm -rf "$archive_dir"
  rm -f "${probe_shot_tmp:-}"
  remove_work_dir
}
trap cleanup EXIT

# Copies the programs into DIR, and the planted DLL as NAME.dll for each
# NAME.
plant_into() {
  local dir=$1 name
  shift
  mkdir -p "$dir"
  cp "$assistant" "$dir/velmo-assistant.exe"
  cp "$diag" "$dir/velmo-diag.exe"
  for name in "$@"; do
    cp "$planted" "$dir/$name.dll"
  done
}

# The planted DLLs of DIR that some process loaded, one line. The marker
# takes the name as the loader spelled it (an import of "RstrtMgr.DLL").
loaded_in() {
  find "$1" -maxdepth 1 -iname '*.dll.loaded' -printf '%f\n' | sort | paste -sd' '
}

# Runs the assistant of DIR with ARGS until its window titled TITLE shows,
# then ends it. DIR's own name is unique to this run. The assistant gets a
# network of its own (an empty loopback): whatever it does, it cannot reach
# the network bench that other build trees share on this machine.
show_assistant() {
  local dir=$1 title=$2
  shift 2
  timeout 120 unshare --net "$runner" "$dir/velmo-assistant.exe" "$@" >/dev/null 2>&1 &
  local pid=$!
  expect_true "the assistant shows \"$title\" from ${dir##*/}" probe_window "$title" 60
  # Long enough for its first paints and ticks, which load what the window
  # needs.
  sleep 2
  kill_windows_programs_naming "${dir##*/}"
  wait "$pid" 2>/dev/null || true
}

# The prefix's temporary folder as the assistant finds it (GetTempPath reads
# TMP first), as a Linux path; nothing unless it is a folder on drive C:.
wine_temp_dir() {
  local temp dir
  temp=$(timeout 60 "$runner" "$prefix/drive_c/windows/system32/cmd.exe" /c 'echo %TMP%' | tr -d '\r')
  [[ $temp =~ ^[Cc]:\\ ]] || return 0
  dir="$prefix/drive_c/${temp:3}"
  dir=${dir//\\//}
  [ ! -d "$dir" ] || echo "$dir"
}

downloads="$work/Downloads"
plant_into "$downloads" "${planted_names[@]}"
fetch_dir="$work/fetch"
plant_into "$fetch_dir" "${fetch_names[@]}"

echo "== velmo-diag next to planted DLLs"
head -c $((1024 * 1024 + 5)) /dev/urandom >"$work/payload.bin"
out=$(timeout 120 "$runner" "$downloads/velmo-diag.exe" sha256 "$work/payload.bin" 2>&1) || true
expect "sha256 through the system's bcrypt" "{\"sha256\":\"$(upper_sha256 "$work/payload.bin")\"}" "$out"

exit_code_of timeout 120 "$runner" "$fetch_dir/velmo-diag.exe" policy --endpoint http://127.0.0.1:9 \
  >"$work/out" 2>"$work/err"
expect "a policy fetch from a closed port fails as a fetch" 1 "$code"
expect "the failed fetch says so on one line" 1 "$(wc -l <"$work/err")"
expect "the policy fetch loaded no planted DLL" "" "$(loaded_in "$fetch_dir")"

exit_code_of timeout 120 "$runner" "$downloads/velmo-diag.exe" in-use "$(win "$work/payload.bin")" \
  >"$work/out" 2>"$work/err"
expect_match "the in-use question is answered" "0 {\"inUse\":false,*}" "$code $(cat "$work/out")"
expect "velmo-diag loaded no planted DLL" "" "$(loaded_in "$downloads")"

echo "== the assistant next to planted DLLs"
probe_init "$build"
show_assistant "$downloads" "Velmo Qen 工作台" --preview-startup
expect "the startup window loaded no planted DLL" "" "$(loaded_in "$downloads")"
# The main window without a policy fetch: run from an archive's folder in
# the temporary folder. Anywhere else it would fetch from the built-in
# origin, the shared network bench.
temp_dir=$(wine_temp_dir)
if [ -z "$temp_dir" ]; then
  fail "the prefix's temporary folder was not found; the main window was not tried"
else
  archive_dir=$(mktemp -d "$temp_dir/planted-XXXXXX")
  plant_into "$archive_dir/release.zip" "${planted_names[@]}"
  show_assistant "$archive_dir/release.zip" "Velmo Qen 工作台智能安装引导器"
  expect "the main window loaded no planted DLL" "" "$(loaded_in "$archive_dir/release.zip")"
fi

test_finish
