#!/usr/bin/env bash
# Fails when a Windows executable imports a DLL that does not ship with
# Windows. The assistant is copied onto machines that have nothing else of
# ours, so a dependency on, say, the mingw C++ runtime DLL would stop it from
# starting at all.
#
# Usage: check_imports.sh EXE...
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}

# DLLs that every supported Windows has, in lower case.
allowed=(
  kernel32.dll user32.dll gdi32.dll dwmapi.dll shell32.dll ole32.dll
  oleaut32.dll advapi32.dll winhttp.dll rstrtmgr.dll bcrypt.dll msvcrt.dll
  ntdll.dll shlwapi.dll version.dll crypt32.dll uxtheme.dll comctl32.dll
)

is_allowed() {
  local dll=${1,,}
  local known
  for known in "${allowed[@]}"; do
    if [[ $dll == "$known" ]]; then
      return 0
    fi
  done
  # API sets are resolved by the loader itself, on every Windows 10 and later.
  [[ $dll == api-ms-win-crt-*.dll || $dll == api-ms-win-core-*.dll ]]
}

# Prints the name of every DLL that $1 imports, one per line.
imported_dlls() {
  local dump
  # objdump's own error is clearer than anything we could say.
  dump=$("$objdump" -p "$1") || return 1
  sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$dump" | tr -d '\r'
}

# Of the DLL names on stdin, prints those that do not ship with Windows.
foreign_dlls() {
  local dll
  while IFS= read -r dll; do
    is_allowed "$dll" || echo "$dll"
  done
}

[[ $# -gt 0 ]] || usage_error "check_imports.sh EXE..."

for exe in "$@"; do
  if ! dlls=$(imported_dlls "$exe"); then
    fail "cannot read $exe"
    continue
  fi
  # Every Windows program imports at least kernel32; nothing found means the
  # dump's format was not understood, which must not pass silently.
  if [[ -z $dlls ]]; then
    fail "found no imported DLL in $exe"
    continue
  fi
  expect "$exe imports only DLLs that ship with Windows" "" "$(foreign_dlls <<<"$dlls")"
done
test_finish
