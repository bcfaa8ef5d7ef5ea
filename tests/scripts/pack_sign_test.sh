#!/usr/bin/env bash
# velmo-pack as a release engineer runs it, on real Windows programs: pack
# under Wine, sign the result with osslsigncode and a throwaway self-signed
# certificate, then check that the assistant's reader (velmo-pack inspect)
# still finds the bundle right in front of the real certificate table, that
# osslsigncode accepts the signature, and that a signed installer is refused.
#
#   pack_sign_test.sh RUNNER VELMO_PACK_EXE PROGRAM_EXE [VELMO_DIAG_EXE ENV_RUN_EXE]
#
# PROGRAM_EXE (any small 64-bit console program of the build) stands in for
# the installer, the main program and the startup helper. With velmo-diag
# (and the helper that hands it a ProgramData of the test's own), the signed
# release also goes through the assistant's whole verification and cache
# step as a download would.
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

runner=$1 pack=$2 program=$3 diag=${4:-} env_run=${5:-}
readonly version=1.2.3
make_work_dir

# One top-level value of a JSON object, as JSON.
field() {
  python3 -c 'import json, sys; print(json.dumps(json.load(open(sys.argv[1]))[sys.argv[2]]))' "$1" "$2"
}

size() { stat -c %s "$1"; }

u16_at() { od -An -tu2 -j "$2" -N2 "$1" | tr -d ' '; }
u32_at() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

# The PE security directory (offset and size of the certificate table),
# read here without the assistant's code.
security_directory() {
  local pe
  pe=$(u32_at "$1" 60)
  [ "$(u16_at "$1" $((pe + 24)))" = 523 ] || { echo "not PE32+: $1" >&2; return 1; }
  echo "$(u32_at "$1" $((pe + 24 + 112 + 32))) $(u32_at "$1" $((pe + 24 + 112 + 36)))"
}

# Offset of the last header magic in the file.
magic_offset() { LC_ALL=C grep -obUa 'VELMO-UPD-BNDL1!' "$1" | tail -n 1 | cut -d: -f1; }

# How many of the COUNT bytes at OFFSET are not zero.
nonzero_bytes() { tail -c +$(($2 + 1)) "$1" | head -c "$3" | tr -d '\0' | wc -c; }

sign() {
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "VelmoQen test" \
    -in "$1" -out "$2" >/dev/null
}

# Runs velmo-pack under Wine: stdout to $work/out, stderr to $work/err, the
# exit status to $code.
run_pack() {
  exit_code_of "$runner" "$pack" "$@" >"$work/out" 2>"$work/err"
}

# The exit status of the last run_pack, with its stderr when unexpected.
expect_code() {
  local what=$1 expected=$2
  expect "$what exits $expected" "$expected" "$code"
  [ "$code" = "$expected" ] || sed 's/^/  stderr: /' "$work/err"
}

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
  -days 2 -subj "/CN=VelmoQen Test Signing" 2>/dev/null

# A real release carries signed programs; only the installer must be unsigned.
sign "$program" "$work/main.exe"
cp "$program" "$work/helper.exe"

# Installers one byte apart (bytes appended after the image) move the end of
# the bundle by one byte each, so the packer's padding takes every value 0-7.
declare -A padding_of
for extra in 0 1 2 3 4 5 6 7; do
  installer="$work/setup-$extra.exe"
  cp "$program" "$installer"
  head -c "$extra" /dev/zero | tr '\0' 'I' >>"$installer"
  out="$work/VelmoQen工作台-Setup-$extra.exe"
  run_pack bundle --installer "$installer" --main-program "$work/main.exe" \
    --startup-helper "$work/helper.exe" --version "$version" -o "$out"
  expect_code "bundle $extra" 0
  cp "$work/out" "$work/bundle-$extra.json"
  bytes=$(size "$out")
  header=$(magic_offset "$out")
  pad=$((bytes - header - 64))
  expect "bundle $extra: length is a multiple of 8" 0 $((bytes % 8))
  expect "bundle $extra: summary length" "$bytes" "$(field "$work/out" bytes)"
  expect "bundle $extra: summary digest" "\"$(upper_sha256 "$out")\"" "$(field "$work/out" sha256)"
  expect "bundle $extra: header where the summary says" "$header" "$(field "$work/out" headerOffset)"
  expect "bundle $extra: padding where the summary says" "$pad" "$(field "$work/out" padding)"
  expect "bundle $extra: padding is zero bytes" 0 "$(nonzero_bytes "$out" $((header + 64)) "$pad")"
  padding_of[$extra]=$pad
done
expect "paddings seen" "0 1 2 3 4 5 6 7" "$(printf '%s\n' "${padding_of[@]}" | sort -n | xargs)"

# The extra byte counts that gave padding 0 and padding 5.
for extra in "${!padding_of[@]}"; do
  [ "${padding_of[$extra]}" != 0 ] || aligned=$extra
  [ "${padding_of[$extra]}" != 5 ] || padded=$extra
done

# Signs a packed file and checks it the way the assistant and Windows would.
# osslsigncode starts the certificate table on an 8-byte boundary, so after
# the packer's own padding it adds nothing: the table follows at once.
check_signed() {
  local label=$1 unsigned=$2 header=$3 pad=$4
  local signed="${unsigned%.exe}-signed.exe"
  sign "$unsigned" "$signed"
  local table table_bytes
  read -r table table_bytes < <(security_directory "$signed")
  expect "$label: certificate table at the 8-aligned end of the bundle" \
    $((($(size "$unsigned") + 7) / 8 * 8)) "$table"
  expect "$label: the certificate table ends the file" "$(size "$signed")" $((table + table_bytes))
  expect "$label: zero bytes before the table" 0 "$(nonzero_bytes "$signed" $((header + 64)) "$pad")"

  if osslsigncode verify -CAfile "$work/cert.pem" -in "$signed" >"$work/verify" 2>&1 &&
    grep -q '^Signature verification: ok' "$work/verify"; then
    pass "$label: osslsigncode verifies the signature"
  else
    fail "$label: osslsigncode verify:"
    cat "$work/verify"
  fi

  run_pack inspect "$signed"
  expect_code "$label: inspect" 0
  expect "$label: inspect sees the signature" true "$(field "$work/out" signed)"
  expect "$label: inspect's search end is the table" "$table" "$(field "$work/out" searchEnd)"
  expect "$label: inspect's header" "$header" "$(field "$work/out" headerOffset)"
  expect "$label: inspect's padding" "$pad" "$(field "$work/out" padding)"
  expect "$label: inspect's length" "$(size "$signed")" "$(field "$work/out" bytes)"
}

out="$work/VelmoQen工作台-Setup-$aligned.exe"
check_signed "padding 0" "$out" "$(magic_offset "$out")" 0

out="$work/VelmoQen工作台-Setup-$padded.exe"
check_signed "padding 5 from the packer" "$out" "$(magic_offset "$out")" 5

# A file that ends right after the header (as another packer might leave it)
# gets its zero padding from osslsigncode instead; the reader finds it alike.
header=$(magic_offset "$out")
head -c $((header + 64)) "$out" >"$work/unaligned.exe"
check_signed "padding 5 from osslsigncode" "$work/unaligned.exe" "$header" 5

# The policy describes the signed file, as users download it.
signed="$work/VelmoQen工作台-Setup-$aligned-signed.exe"
run_pack policy --installer "$signed" --version "$version" --base-url https://downloads.example.com
expect_code "policy" 0
expect "policy digest" "\"$(upper_sha256 "$signed")\"" "$(field "$work/out" updateSha256)"
expect "policy size" "$(size "$signed")" "$(field "$work/out" installerBytes)"
expect "policy address" \
  '"https://downloads.example.com/v1/downloads/VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.2.3.exe"' \
  "$(field "$work/out" downloadUrl)"

if [ -n "$diag" ]; then
  exit_code_of "$runner" "$env_run" "ProgramData=$work/data" -- "$diag" bundle --installer "$signed" \
    --version "$version" --sha256 "$(sha256sum "$signed" | cut -d' ' -f1)" \
    --bytes "$(size "$signed")" >"$work/out" 2>"$work/err"
  expect_code "velmo-diag bundle of the signed release" 0
  cache="$work/data/VelmoInstaller/downloads/embedded-core/VelmoQenWorkbench-Core-v$version.exe"
  expect "the cached main program is the signed main program" \
    "$(sha256sum "$work/main.exe" | cut -d' ' -f1)" "$(sha256sum "$cache" | cut -d' ' -f1)"
  expect "install source digest" "\"$(upper_sha256 "$work/main.exe")\"" "$(field "$work/out" sha256)"
fi

# Signing first and packing afterwards would put the bundle outside the
# signature: both a signed program and a signed release are refused.
for installer in "$work/main.exe" "$signed"; do
  name=$(basename "$installer")
  run_pack bundle --installer "$installer" --main-program "$work/main.exe" \
    --startup-helper "$work/helper.exe" --version "$version" -o "$work/repacked.exe"
  expect_code "packing signed $name" 1
  expect "packing signed $name message" \
    "the installer '$installer' is already signed; pack the unsigned installer, then sign the packed output" \
    "$(cat "$work/err")"
  expect "packing signed $name leaves no output" no "$([ -e "$work/repacked.exe" ] && echo yes || echo no)"
done

test_finish
