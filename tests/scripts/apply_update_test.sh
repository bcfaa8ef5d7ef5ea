#!/usr/bin/env bash
# A first install and then an update, as the assistant does them, under
# Wine on real programs: velmo-pack makes releases 1.0.0 and 1.1.0 around a
# real Windows program, velmo-diag apply installs each into a fresh data
# root and install directory of the test's own. Checks the installed files,
# the hidden launcher folder and the desktop shortcut (its target arguments
# and the elevation bit in byte 21).
#
#   apply_update_test.sh RUNNER BUILD_DIR VELMO_PACK VELMO_DIAG ENV_RUN PROGRAM_EXE ASSISTANT_EXE
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

runner=$1 build=$2 pack=$3 diag=$4 env_run=$5 program=$6 assistant=$7
make_work_dir
install_dir="$work/IDE"
prefix="$build/wine-bench/prefix"
desktop="$prefix/drive_c/users/$(id -un)/Desktop"
shortcut="$desktop/Velmo Qen 工作台.lnk"
trap 'remove_work_dir; rm -f "$shortcut"' EXIT
rm -f "$shortcut"

release() {
  local version=$1 main=$2
  "$runner" "$pack" bundle --installer "$program" --main-program "$main" \
    --startup-helper "$program" --version "$version" -o "$work/setup-$version.exe" >/dev/null
}

apply() {
  local version=$1 setup="$work/setup-$1.exe"
  "$runner" "$env_run" "ProgramData=$work/data" -- "$diag" apply --installer "$setup" \
    --install-dir "$(win "$install_dir")" --version "$version" \
    --sha256 "$(sha256sum "$setup" | cut -d' ' -f1)" --bytes "$(stat -c %s "$setup")" \
    --assistant "$assistant"
}

# Two main programs that differ: the second is the first with bytes appended.
cp "$program" "$work/main-1.0.0.exe"
cp "$program" "$work/main-1.1.0.exe"
printf 'release 1.1.0' >>"$work/main-1.1.0.exe"
release 1.0.0 "$work/main-1.0.0.exe"
release 1.1.0 "$work/main-1.1.0.exe"

# Another account made the data folders and the install directory first,
# writable by everyone, and left a file: the folders are repaired in place
# (Wine maps the new access list onto the mode bits) before anything in them
# is used, and the file is kept.
others_may_write() {
  local mode
  mode=$(stat -c %a "$1")
  if (( (8#$mode & 8#002) != 0 )); then echo yes; else echo no; fi
}
mkdir -p "$work/data/VelmoInstaller/downloads" "$install_dir"
echo planted >"$work/data/VelmoInstaller/downloads/left.txt"
chmod 0777 "$work/data/VelmoInstaller" "$work/data/VelmoInstaller/downloads" "$install_dir"

expect "first install" "{\"installDir\":\"$(win "$install_dir" | sed 's/\\/\\\\/g')\"}" "$(apply 1.0.0)"
expect "installed program is release 1.0.0" "$(sha256sum <"$work/main-1.0.0.exe")" \
  "$(sha256sum <"$install_dir/VelmoQen工作台.exe")"
for folder in "$work/data/VelmoInstaller" "$work/data/VelmoInstaller/downloads" "$install_dir"; do
  expect "others can no longer write ${folder#"$work"/}" no "$(others_may_write "$folder")"
done
expect "the file found in the download folder is kept" planted \
  "$(cat "$work/data/VelmoInstaller/downloads/left.txt")"
expect "manifest version" '"1.0.0"' \
  "$(python3 -c 'import json,sys; print(json.dumps(json.load(open(sys.argv[1]))["version"]))' \
    "$install_dir/install-manifest.json")"
expect "launcher is the assistant" "$(sha256sum <"$assistant")" \
  "$(sha256sum <"$install_dir/运行组件/VelmoQen工作台启动器.exe")"

apply 1.1.0 >/dev/null
expect "updated program is release 1.1.0" "$(sha256sum <"$work/main-1.1.0.exe")" \
  "$(sha256sum <"$install_dir/VelmoQen工作台.exe")"
leftovers=$(find "$install_dir" -maxdepth 1 \( -name '*backup*' -o -name '*partial*' -o -name '*.recovery-*' \) | wc -l)
expect "no backups or temporary files left" 0 "$leftovers"

hidden=$("$runner" "$prefix/drive_c/windows/system32/attrib.exe" "$(win "$install_dir/运行组件")" \
  2>/dev/null | head -c 12 || true)
expect_match "launcher folder hidden" "*H*" "$hidden"

if [ -f "$shortcut" ]; then
  expect "shortcut byte 21 has the elevation bit" 32 $(($(od -An -tu1 -j21 -N1 "$shortcut") & 32))
  # The shell stores the arguments as UTF-16 text.
  if strings -el "$shortcut" | grep -q -- '^--launch-main$'; then
    pass "shortcut carries --launch-main"
  else
    fail "shortcut without --launch-main"
  fi
else
  fail "no shortcut at $shortcut"
fi

test_finish
