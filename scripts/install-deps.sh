#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the run need.
# Idempotent: packages already present are skipped without touching apt.
set -euo pipefail

# clang-19 and its runtime (libFuzzer, sanitizers) build the fuzz targets:
# Debian's default clang 14 cannot compile libstdc++'s std::expected.
# llvm-19 brings the llvm-symbolizer their reports find functions and lines with.
packages=(
  cmake ninja-build g++ clang-19 libclang-rt-19-dev llvm-19 clang-format
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  wine wine64 xvfb x11-apps x11-utils xdotool iproute2 imagemagick fonts-wqy-microhei
  nginx osslsigncode openssl curl
  nlohmann-json3-dev libstb-dev libssl-dev googletest
  python3 procps
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
echo "install-deps: installing ${missing[*]}" >&2
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
