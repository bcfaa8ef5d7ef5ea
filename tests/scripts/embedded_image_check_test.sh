#!/usr/bin/env bash
# The build's check of the window's images: the committed images pass, and
# a file that is not a PNG, or one of the wrong pixel size, bit depth or
# colour type, is refused with a message that says what is wrong.
#
#   embedded_image_check_test.sh SOURCE_DIR
set -euo pipefail
# shellcheck source=tests/lib/test_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../lib/test_lib.sh"

source_dir=$1
script="$source_dir/cmake/check_embedded_image.cmake"
images="$source_dir/src/ui/images"
make_work_dir

# check FILE WIDTH HEIGHT COLOUR_TYPE: runs the check; prints its exit
# status, its messages land in $work/check.log.
check() {
  local status=0
  cmake -DINPUT="$1" -DWIDTH="$2" -DHEIGHT="$3" -DCOLOUR_TYPE="$4" -P "$script" \
    >"$work/check.log" 2>&1 || status=$?
  echo "$status"
}

# The check's messages on one line (CMake wraps them).
said() { tr -s ' \n' '  ' <"$work/check.log"; echo; }

be32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)); }

# png_head FILE WIDTH HEIGHT BIT_DEPTH COLOUR_TYPE: the signature and IHDR
# chunk the check reads (it reads nothing beyond them).
png_head() {
  # shellcheck disable=SC2059 # the format is built from escapes on purpose
  printf "\\x89PNG\\r\\n\\x1a\\n$(be32 13)IHDR$(be32 "$2")$(be32 "$3")\\x$(printf %02x "$4")\\x$(printf %02x "$5")\\x00\\x00\\x00\\x00\\x00\\x00\\x00" >"$1"
}

# file | width | height | colour type | expected status | expected words
cases=(
  "$images/status-ok.png|18|18|2|0|"
  "$images/status-pending.png|18|18|2|0|"
  "$images/status-missing.png|18|18|2|0|"
  "$images/startup-emblem.png|512|512|6|0|"
  "$images/startup-emblem.png|18|18|2|1|512 x 512 pixels, expected 18 x 18"
  "$images/status-ok.png|18|18|6|1|colour type 2 (RGB), expected 6 (RGBA)"
  "$source_dir/README.md|18|18|2|1|not a PNG file with an IHDR header"
  "$work/absent.png|18|18|2|1|no such file"
  "$work/wide.png|18|18|2|1|19 x 18 pixels, expected 18 x 18"
  "$work/gray.png|18|18|2|1|colour type 0 (grayscale), expected 2 (RGB)"
  "$work/palette.png|512|512|6|1|colour type 3 (palette), expected 6 (RGBA)"
  "$work/deep.png|512|512|6|1|16-bit samples, expected 8-bit"
  "$work/short.png|18|18|2|1|not a PNG file with an IHDR header"
)
png_head "$work/wide.png" 19 18 8 2
png_head "$work/gray.png" 18 18 8 0
png_head "$work/palette.png" 512 512 8 3
png_head "$work/deep.png" 512 512 16 6
head -c 20 "$images/status-ok.png" >"$work/short.png"

for row in "${cases[@]}"; do
  IFS='|' read -r file width height colour_type want_status want_words <<<"$row"
  name="$(basename "$file") as ${width}x$height type $colour_type"
  expect "$name: exit status" "$want_status" "$(check "$file" "$width" "$height" "$colour_type")"
  if [ -n "$want_words" ]; then
    expect "$name: the refusal says why" 1 "$(said | grep -cF "$want_words; refusing to embed it")"
  fi
done

test_finish
