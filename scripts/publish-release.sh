#!/usr/bin/env bash
# Publishes a workbench release on the network bench (tests/network/net-bench.sh),
# as the vendor would on its download server: the stand-in workbench stamped
# with VERSION (and PAD_MIB MiB of padding, to give it a real program's size)
# is packed by velmo-pack into the installer
# www/v1/downloads/VelmoQen工作台-Setup-v{VERSION}.exe, and www/policy.json
# then offers that release. The stamped program is kept as
# net-bench/releases/VelmoQen工作台-v{VERSION}.exe for comparisons.
#
#   publish-release.sh BUILD_DIR VERSION [PAD_MIB]
#
# BUILD_DIR is the Windows build tree; its Wine bench and network bench must
# be up (or startable, for the Wine bench).
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: publish-release.sh BUILD_DIR VERSION [PAD_MIB]" >&2
  exit 2
fi
build=$(realpath "$1")
version=$2
pad_mib=${3:-0}
scripts=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
root=$(dirname "$scripts")
wine_run="$scripts/wine-run.sh"
pack="$build/tools/velmo-pack.exe"
standin="$build/tools/standins/velmo-workbench-standin.exe"
www="$build/net-bench/www"
releases="$build/net-bench/releases"
setup="$www/v1/downloads/VelmoQen工作台-Setup-v$version.exe"
program="$releases/VelmoQen工作台-v$version.exe"

for file in "$pack" "$standin"; do
  [ -f "$file" ] || {
    echo "publish-release: $file is not built" >&2
    exit 1
  }
done
[ -d "$www" ] || {
  echo "publish-release: the network bench of $build is not up" >&2
  exit 1
}

mkdir -p "$releases" "$www/v1/downloads"
"$root/tools/standins/stamp-workbench-standin.sh" "$standin" "$version" "$program" "$pad_mib"
# The stand-in also serves as the installer the bundle is appended to and as
# the startup helper: both only need to be Windows programs here.
rm -f "$setup"
"$wine_run" "$pack" bundle --installer "$standin" --main-program "$program" \
  --startup-helper "$standin" --version "$version" -o "$setup" >/dev/null
"$wine_run" "$pack" policy --installer "$setup" --version "$version" \
  --base-url https://localhost -o "$www/policy.json.new" --force >/dev/null
mv -f "$www/policy.json.new" "$www/policy.json"
echo "publish-release: $version at https://localhost/v1/downloads/$(basename "$setup") ($(stat -c %s "$setup") bytes)"
