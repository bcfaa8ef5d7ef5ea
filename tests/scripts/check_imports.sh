#!/usr/bin/env bash
# Fails when a Windows executable imports a DLL that does not ship with
# Windows. The assistant is copied onto machines that have nothing else of
# ours, so a dependency on, say, the mingw C++ runtime DLL would stop it from
# starting at all.
#
# Usage: check_imports.sh EXE...
set -euo pipefail

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

if [[ $# -eq 0 ]]; then
  echo "usage: $0 EXE..." >&2
  exit 2
fi

failed=0
for exe in "$@"; do
  if ! dlls=$(imported_dlls "$exe"); then
    echo "check_imports: cannot read $exe" >&2
    failed=1
    continue
  fi
  # Every Windows program imports at least kernel32; nothing found means the
  # dump's format was not understood, which must not pass silently.
  if [[ -z $dlls ]]; then
    echo "check_imports: found no imported DLL in $exe" >&2
    failed=1
    continue
  fi
  while IFS= read -r dll; do
    if ! is_allowed "$dll"; then
      echo "check_imports: $exe imports $dll, which does not ship with Windows" >&2
      failed=1
    fi
  done <<<"$dlls"
done

if [[ $failed -eq 0 ]]; then
  echo "check_imports: $# executable(s) import only system DLLs"
fi
exit "$failed"
