#!/usr/bin/env bash
# Fails when a Windows executable imports a DLL the way a shipped program of
# ours must not:
#
# - Every DLL, imported at start or delay-loaded, ships with Windows. The
#   assistant is copied onto machines that have nothing else of ours, so a
#   dependency on, say, the mingw C++ runtime DLL would stop it from running.
# - Only KnownDLLs are imported at start. The loader resolves those imports
#   before the program's first instruction, and for any other DLL it looks in
#   the program's own folder first: a bcrypt.dll left in Downloads next to
#   the assistant would run as administrator. Everything else is delay-loaded,
#   after the program has limited the DLL search to System32.
#
# The build runs this on every shipped program, and CTest runs it again.
#
# Usage: check_imports.sh EXE...
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
nm=${NM:-x86_64-w64-mingw32-nm}

# DLLs that every supported Windows has, in lower case.
shipped=(
  kernel32.dll user32.dll gdi32.dll dwmapi.dll shell32.dll ole32.dll
  oleaut32.dll advapi32.dll winhttp.dll rstrtmgr.dll bcrypt.dll msvcrt.dll
  ntdll.dll shlwapi.dll version.dll crypt32.dll uxtheme.dll comctl32.dll
)

# The KnownDLLs of Windows 10 and 11 (HKLM\SYSTEM\CurrentControlSet\Control\
# Session Manager\KnownDLLs) that a program of ours could import, in lower
# case. The loader maps these from System32 whatever folder the program is
# in. ntdll is in every process before the program's imports are looked at.
known=(
  advapi32.dll clbcatq.dll combase.dll comdlg32.dll gdi32.dll gdiplus.dll
  imagehlp.dll imm32.dll kernel32.dll msctf.dll msvcrt.dll normaliz.dll
  nsi.dll ole32.dll oleaut32.dll psapi.dll rpcrt4.dll sechost.dll
  setupapi.dll shcore.dll shell32.dll shlwapi.dll user32.dll wldap32.dll
  ws2_32.dll ntdll.dll
)

# True when the lower-case form of $1 is one of the remaining arguments.
listed() {
  local dll=${1,,} entry
  shift
  for entry in "$@"; do
    if [[ $dll == "$entry" ]]; then
      return 0
    fi
  done
  return 1
}

# API sets are resolved by the loader itself, on every Windows 10 and later,
# never by a search of the program's folder.
api_set() {
  [[ ${1,,} == api-ms-win-crt-*.dll || ${1,,} == api-ms-win-core-*.dll ]]
}

ships_with_windows() { listed "$1" "${shipped[@]}" || api_set "$1"; }
loads_from_system32() { listed "$1" "${known[@]}" || api_set "$1"; }

# Prints the name of every DLL that $1 imports at start, one per line: the
# "DLL Name" lines of objdump's import tables only, so that a delay-import
# table in the same dump (printed by newer binutils) is never taken for them.
static_dlls() {
  local dump
  # objdump's own error is clearer than anything we could say.
  dump=$("$objdump" -p "$1") || return 1
  awk '
    /^The Import Tables/ { inside = 1; next }
    /^The / || /^There is/ || /^PE File/ { inside = 0 }
    inside && /^[[:space:]]*DLL Name:/ { sub(/^[[:space:]]*DLL Name:[[:space:]]*/, ""); print }
  ' <<<"$dump" | tr -d '\r'
}

# LEN bytes of $1 at virtual address VMA, as one hex string in file order.
bytes_at() {
  local exe=$1 vma=$2 len=$3
  "$objdump" -s --start-address="$vma" --stop-address=$((vma + len)) "$exe" |
    awk '/^ [0-9a-f]+ / { sub(/^ [0-9a-f]+ /, ""); split($0, part, "  "); gsub(/ /, "", part[1]); printf "%s", part[1] }'
}

# The little-endian 32-bit number at the start of a hex string.
le32() {
  local hex=$1
  echo $((16#${hex:6:2}${hex:4:2}${hex:2:2}${hex:0:2}))
}

# The NUL-terminated text at the start of a hex string.
c_string() {
  local hex=$1 text="" pair
  while [ -n "$hex" ]; do
    pair=${hex:0:2}
    hex=${hex:2}
    [ "$pair" != 00 ] || break
    text+=$(printf '%b' "\\x$pair")
  done
  printf '%s\n' "$text"
}

# Prints the name of every DLL that $1 delay-loads, one per line. GNU ld
# leaves the PE's delay-import directory empty (objdump then shows none), so
# the descriptors are found by the symbols the delay-import libraries give
# them; the descriptor's second field is the RVA of the DLL's name.
delay_dlls() {
  local exe=$1 base vma descriptor name_rva
  base=$("$objdump" -p "$exe" | awk '$1 == "ImageBase" { print $2 }') || return 1
  [ -n "$base" ] || return 1
  "$nm" "$exe" 2>/dev/null | awk '$3 ~ /^__DELAY_IMPORT_DESCRIPTOR_/ { print $1 }' |
    while IFS= read -r vma; do
      descriptor=$(bytes_at "$exe" $((16#$vma)) 8)
      name_rva=$(le32 "${descriptor:8:8}")
      c_string "$(bytes_at "$exe" $((16#$base + name_rva)) 64)"
    done
}

# Of the DLL names on stdin, prints those for which "$1 NAME" fails.
failing() {
  local test=$1 dll
  while IFS= read -r dll; do
    [ -z "$dll" ] || "$test" "$dll" || echo "$dll"
  done
}

[[ $# -gt 0 ]] || usage_error "check_imports.sh EXE..."

for exe in "$@"; do
  if ! at_start=$(static_dlls "$exe") || ! delayed=$(delay_dlls "$exe"); then
    fail "cannot read $exe"
    continue
  fi
  # Every Windows program imports at least kernel32; nothing found means the
  # dump's format was not understood, which must not pass silently.
  if [[ -z $at_start ]]; then
    fail "found no imported DLL in $exe"
    continue
  fi
  expect "$exe imports only DLLs that ship with Windows" "" \
    "$(failing ships_with_windows <<<"$at_start"$'\n'"$delayed" | sort -u | paste -sd' ')"
  expect "$exe imports at start only KnownDLLs (delay-load the others)" "" \
    "$(failing loads_from_system32 <<<"$at_start" | paste -sd' ')"
  if [[ -n $delayed ]]; then
    echo "note: $exe delay-loads $(sort -u <<<"$delayed" | paste -sd' ')"
  fi
done
test_finish
