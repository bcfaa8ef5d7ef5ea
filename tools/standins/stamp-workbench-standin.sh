#!/usr/bin/env bash
# Makes a release main program out of velmo-workbench-standin.exe: a copy
# with PAD_MIB MiB of zero bytes (default 0) and then the version trailer
# "\nvelmo-standin-version=VERSION\n" appended. Windows loads only what the
# PE headers describe, so the copy still runs, and shows VERSION in its
# window title; the padding gives a release the size of a real one.
#
#   stamp-workbench-standin.sh STANDIN_EXE VERSION OUT [PAD_MIB]
#
# VERSION is dot-separated decimal numbers ("1.1.0"); the program ignores
# anything else, so it is refused here. OUT is written beside itself first and
# renamed when complete.
set -euo pipefail

usage() {
  echo "usage: stamp-workbench-standin.sh STANDIN_EXE VERSION OUT [PAD_MIB]" >&2
  exit 2
}

if [ $# -lt 3 ] || [ $# -gt 4 ]; then
  usage
fi
standin=$1
version=$2
out=$3
pad_mib=${4:-0}

if ! [[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] || [ ${#version} -gt 64 ]; then
  usage
fi
[[ $pad_mib =~ ^[0-9]{1,5}$ ]] || usage
# "08" is a count of MiB, not a bad octal number.
pad_mib=$((10#$pad_mib))
if [ ! -f "$standin" ]; then
  echo "stamp-workbench-standin: no such program: $standin" >&2
  exit 1
fi

partial="$out.stamp-partial"
trap 'rm -f "$partial"' EXIT
cp "$standin" "$partial"
if [ "$pad_mib" -gt 0 ]; then
  head -c $((pad_mib * 1024 * 1024)) /dev/zero >>"$partial"
fi
printf '\nvelmo-standin-version=%s\n' "$version" >>"$partial"
mv -f "$partial" "$out"
