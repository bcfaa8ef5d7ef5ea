# Script mode (cmake -P): refuses an image the window cannot draw. Reads the
# PNG signature and the IHDR chunk of INPUT and requires 8-bit samples, the
# colour type COLOUR_TYPE (2 RGB, 6 RGBA) and exactly WIDTH x HEIGHT pixels:
# the painters copy the icons 1:1 into 18 x 18 cells and the decoder accepts
# only RGB or RGBA, so a wrong image must stop the build, not the program.
#
#   cmake -DINPUT=... -DWIDTH=N -DHEIGHT=N -DCOLOUR_TYPE=2|6 -P check_embedded_image.cmake

foreach(required INPUT WIDTH HEIGHT COLOUR_TYPE)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "check_embedded_image.cmake: ${required} is not set")
  endif()
endforeach()
if(NOT EXISTS "${INPUT}" OR IS_DIRECTORY "${INPUT}")
  message(FATAL_ERROR "embedded image ${INPUT}: no such file; refusing to embed it")
endif()

# The big-endian number of `count` bytes at byte `offset` of the hex text.
function(read_be hex offset count out)
  math(EXPR start "${offset} * 2")
  math(EXPR length "${count} * 2")
  string(SUBSTRING "${hex}" ${start} ${length} digits)
  math(EXPR value "0x${digits}" OUTPUT_FORMAT DECIMAL)
  set(${out} ${value} PARENT_SCOPE)
endfunction()

set(colour_type_names_0 "grayscale")
set(colour_type_names_2 "RGB")
set(colour_type_names_3 "palette")
set(colour_type_names_4 "grayscale with alpha")
set(colour_type_names_6 "RGBA")

# Signature (8 bytes), then the first chunk: length 13, "IHDR", width,
# height, bit depth, colour type.
file(READ "${INPUT}" hex LIMIT 26 HEX)
string(LENGTH "${hex}" digits)
if(NOT digits EQUAL 52 OR NOT hex MATCHES "^89504e470d0a1a0a0000000d49484452")
  message(FATAL_ERROR "embedded image ${INPUT}: not a PNG file with an IHDR header; "
                      "refusing to embed it")
endif()
read_be("${hex}" 16 4 width)
read_be("${hex}" 20 4 height)
read_be("${hex}" 24 1 bit_depth)
read_be("${hex}" 25 1 colour_type)

if(NOT width EQUAL WIDTH OR NOT height EQUAL HEIGHT)
  message(FATAL_ERROR "embedded image ${INPUT}: ${width} x ${height} pixels, expected "
                      "${WIDTH} x ${HEIGHT}; refusing to embed it")
endif()
if(NOT bit_depth EQUAL 8)
  message(FATAL_ERROR "embedded image ${INPUT}: ${bit_depth}-bit samples, expected 8-bit; "
                      "refusing to embed it")
endif()
if(NOT colour_type EQUAL COLOUR_TYPE)
  set(found "${colour_type_names_${colour_type}}")
  if(NOT found)
    set(found "unknown")
  endif()
  message(FATAL_ERROR "embedded image ${INPUT}: colour type ${colour_type} (${found}), expected "
                      "${COLOUR_TYPE} (${colour_type_names_${COLOUR_TYPE}}); refusing to embed it")
endif()
