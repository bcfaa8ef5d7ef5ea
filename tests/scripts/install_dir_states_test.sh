#!/usr/bin/env bash
# Install directories as another account could leave them, fed to an
# install (velmo-diag apply) and a launch (velmo-diag launch) under Wine.
# Wine maps access lists onto mode bits, so "another account may change it"
# is a folder or file others may write (mode o+w), and a protected one is
# one they may not. Each case ends with a protected directory or a
# refusal, never with a program started from a place others could change.
#
#   install_dir_states_test.sh RUNNER BUILD_DIR VELMO_PACK VELMO_DIAG ENV_RUN PROGRAM_EXE ASSISTANT_EXE
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

runner=$1 pack=$3 diag=$4 env_run=$5 program=$6 assistant=$7
readonly main_name="VelmoQen工作台.exe"
readonly refused_location="其他账户可以更改所选的安装位置，已拒绝安装。请选择一个空文件夹或新建的文件夹作为安装目录。"
readonly refused_launch="VelmoQen工作台安装目录可被其他账户更改，已拒绝启动。请重新运行安装与更新助手修复安装后再试。"
make_work_dir
prefix="$2/wine-bench/prefix"
shortcut="$prefix/drive_c/users/$(id -un)/Desktop/Velmo Qen 工作台.lnk"
trap 'remove_work_dir; rm -f "$shortcut"' EXIT

cp "$program" "$work/main-1.0.0.exe"
"$runner" "$pack" bundle --installer "$program" --main-program "$work/main-1.0.0.exe" \
  --startup-helper "$program" --version 1.0.0 -o "$work/setup.exe" >/dev/null
# What another account puts in place of the program: any other program.
cp "$program" "$work/planted.exe"
printf 'planted' >>"$work/planted.exe"

# apply DIR: the exit status in $code, standard error in $err.
apply() {
  code=0
  err=$("$runner" "$env_run" "ProgramData=$work/data" -- "$diag" apply \
    --installer "$work/setup.exe" --install-dir "$(win "$1")" --version 1.0.0 \
    --sha256 "$(sha256sum "$work/setup.exe" | cut -d' ' -f1)" \
    --bytes "$(stat -c %s "$work/setup.exe")" --assistant "$assistant" 2>&1 >/dev/null) || code=$?
}

# launch DIR: the exit status in $code, the event line in $out, standard
# error in $err. The sleeper exits at once, so a launch that started it
# ends in "exited before showing a window", never in our refusal.
launch() {
  code=0
  out=$("$runner" "$env_run" "ProgramData=$work/data" -- "$diag" launch \
    --install-dir "$(win "$1")" 2>"$work/launch.err") || code=$?
  err=$(cat "$work/launch.err")
}

others_may_write() {
  local mode
  mode=$(stat -c %a "$1")
  if (((8#$mode & 8#002) != 0)); then echo yes; else echo no; fi
}

expect_protected_install() {
  local what=$1 dir=$2
  [ "$code" = 0 ] || echo "$what: $err"
  expect "$what: installed" 0 "$code"
  expect_same_file "$what: the verified program" "$work/main-1.0.0.exe" "$dir/$main_name"
  local folder
  for folder in "$dir" "$dir/运行组件"; do
    expect "$what: others cannot write ${folder#"$work"/}" no "$(others_may_write "$folder")"
  done
}

echo "== a writable folder that also holds the user's own file"
dir="$work/with-notes"
mkdir -p "$dir"
echo mine >"$dir/notes.txt"
chmod 0777 "$dir"
apply "$dir"
expect "user's folder: refused" 1 "$code"
expect_match "user's folder: the message" "*$refused_location*" "$err"
expect "user's folder: left writable as it was" yes "$(others_may_write "$dir")"
expect "user's folder: the user's file kept" mine "$(cat "$dir/notes.txt")"
expect_true "user's folder: nothing installed" test ! -e "$dir/$main_name"

echo "== an empty folder everyone may write"
dir="$work/empty"
mkdir -p "$dir"
chmod 0777 "$dir"
apply "$dir"
expect_protected_install "empty writable folder" "$dir"

echo "== a folder above that everyone may write"
dir="$work/shared/IDE"
mkdir -p "$dir"
chmod 0777 "$work/shared"
apply "$dir"
expect "writable parent: refused" 1 "$code"
expect_match "writable parent: the message" "*$refused_location*" "$err"
chmod 0755 "$work/shared"

echo "== missing folders above"
dir="$work/new/tools/IDE"
apply "$dir"
expect_protected_install "missing parents" "$dir"
for folder in "$work/new" "$work/new/tools"; do
  expect "missing parents: others cannot write ${folder#"$work"/}" no "$(others_may_write "$folder")"
done

echo "== a current-looking installation another account wrote"
dir="$work/planted"
apply "$dir"
chmod 0777 "$dir" "$dir/运行组件"
cp "$work/planted.exe" "$dir/$main_name.new" && mv -f "$dir/$main_name.new" "$dir/$main_name"
chmod 0666 "$dir/$main_name"
launch "$dir"
expect "planted program: launch refused" 1 "$code"
expect_match "planted program: the event" '{"event":"LaunchFailed"*' "$out"
expect "planted program: the message" "$refused_launch" "$err"
apply "$dir"
expect_protected_install "planted program" "$dir"
launch "$dir"
expect_match "planted program: launched once repaired" "*VelmoQen工作台尚未显示主窗口便已退出*" "$err"

echo "== a writable launcher folder in a protected directory"
dir="$work/runtime"
apply "$dir"
chmod 0777 "$dir/运行组件"
launch "$dir"
expect "writable launcher folder: launch refused" "$refused_launch" "$err"
apply "$dir"
expect_protected_install "writable launcher folder" "$dir"

echo "== a writable folder of verified copies"
cache="$work/data/VelmoInstaller/downloads/embedded-core"
expect_true "the cache folder exists" test -d "$cache"
chmod 0777 "$cache"
chmod 0666 "$cache"/*
dir="$work/cache"
apply "$dir"
expect_protected_install "writable cache folder" "$dir"
expect "writable cache folder: repaired" no "$(others_may_write "$cache")"

echo "== a main program with a second name"
dir="$work/linked"
apply "$dir"
ln "$dir/$main_name" "$work/second-name.exe"
launch "$dir"
expect "second name: launch refused" "$refused_launch" "$err"
apply "$dir"
expect_protected_install "second name" "$dir"
expect "second name: one name again" 1 "$(stat -c %h "$dir/$main_name")"
expect_same_file "second name: the other name's file untouched" "$work/main-1.0.0.exe" \
  "$work/second-name.exe"

test_finish
