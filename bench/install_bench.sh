#!/usr/bin/env bash
# Wall time of a fresh end-to-end installation under Wine: velmo-diag install
# on a machine with neither the WebView2 runtime nor the workbench (the
# policy request, the embedded bootstrapper written out and run, the release
# downloaded over HTTPS from nginx on loopback and verified, the bundle
# proven, the program cached, copied, verified and moved into place, the
# launcher and shortcut written). The peer, measured in the same run, is the
# least byte work the same result needs: curl downloading the installer,
# sha256sum over it, and cp of the main program. Then the peak memory of
# velmo-diag.exe during one installation.
#
#   bench/install_bench.sh [RELEASE_MIB]     (default 100: the main program's
#                                            padding, and so about the
#                                            installer's size)
#
# Uses build/windows (the windows preset), or VELMO_BUILD_DIR. Brings up the
# Wine bench and the network bench unless they are up already, and stops
# only what it started. Replaces the bench's www/policy.json.
set -euo pipefail

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/bench_lib.sh"
enter_source_tree
release_mib=$(mib_argument "${1:-100}" "bench/install_bench.sh [RELEASE_MIB]")
readonly runs=3
readonly version=7.0.0
readonly machine_key='HKLM\SOFTWARE\WOW6432Node\Microsoft\EdgeUpdate\Clients\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}'
bench_windows_build velmo-diag velmo-pack velmo-assistant velmo-workbench-standin velmo_env_run \
  velmo_add_root_cert
diag="$build/tools/velmo-diag.exe"
assistant="$build/src/velmo-assistant.exe"
env_run="$build/tests/network/velmo_env_run.exe"
wine_run="$root/scripts/wine-run.sh"

# Every installation starts without the runtime, and none is left behind.
forget_runtime() {
  "$wine_run" "$env_run" -- reg.exe delete "$machine_key" /f >/dev/null 2>&1 || true
}

work=""
# shellcheck disable=SC2317 # called by trap
cleanup() {
  forget_runtime
  [ -z "$work" ] || rm -rf "$work"
  stop_started_benches
}
trap cleanup EXIT
start_benches
work=$(mktemp -d)

"$root/scripts/publish-release.sh" "$build" "$version" "$release_mib"
setup="$VELMO_NET_WWW/v1/downloads/VelmoQen工作台-Setup-v$version.exe"
program="$VELMO_NET_DIR/releases/VelmoQen工作台-v$version.exe"
url="https://localhost/v1/downloads/VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v$version.exe"

# One installation on a fresh machine: nothing downloaded, no runtime, no
# workbench. Fails loudly unless it ends with InstallCompleted.
fresh_install() {
  local machine
  machine=$(mktemp -d "$work/machine.XXXXXX")
  mkdir -p "$machine/data" "$machine/pfx86" "$machine/local"
  forget_runtime
  "$wine_run" "$env_run" "ProgramData=$(win "$machine/data")" \
    "ProgramFiles(x86)=$(win "$machine/pfx86")" "LOCALAPPDATA=$(win "$machine/local")" -- \
    "$diag" install --install-dir "$(win "$machine/IDE")" --endpoint https://localhost \
    --assistant "$assistant" >"$work/install.out"
  grep -q '"event":"InstallCompleted"' "$work/install.out"
  rm -rf "$machine"
}

peer() {
  curl --noproxy '*' --silent --show-error --fail --cacert "$VELMO_NET_CA_PEM" -o "$work/peer.exe" "$url"
  sha256sum "$work/peer.exe" >/dev/null
  cp "$program" "$work/peer-program.exe"
  rm -f "$work/peer.exe" "$work/peer-program.exe"
}

echo "release: main program $(stat -c %s "$program") bytes, installer $(stat -c %s "$setup") bytes; $runs runs each"
peer_median=$(median_seconds peer)
install_median=$(median_seconds fresh_install)
awk -v s="$peer_median" 'BEGIN { printf "%-44s median %7.3f s\n", "peer: curl + sha256sum + cp", s }'
awk -v s="$install_median" -v p="$peer_median" 'BEGIN {
  printf "%-44s median %7.3f s  time ratio vs peer %5.2f\n", "velmo-diag install, fresh machine (Wine)", s, (p > 0 ? s / p : 0) }'
kib=$(peak_kib_of_wine_program velmo-diag.exe fresh_install)
awk -v k="$kib" 'BEGIN { printf "peak RSS of velmo-diag.exe during an installation: %.1f MiB\n", k / 1024 }'
