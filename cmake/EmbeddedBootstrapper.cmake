# Which WebView2 bootstrapper the assistant carries, pinned by size and
# SHA-256 in a generated header that the write-out step and component
# detection share.
#
# A release build is given Microsoft's Evergreen bootstrapper
# (-DVELMO_WEBVIEW2_BOOTSTRAPPER=path); the build refuses any other file.
# Development and test builds cannot download Microsoft's file, so the
# Windows build embeds a stand-in program of ours (tools/standins) and pins
# its own size and digest, and native builds embed a small placeholder file
# that is written out in tests but never run.

set(VELMO_WEBVIEW2_BOOTSTRAPPER "" CACHE FILEPATH
  "Microsoft's WebView2 Evergreen bootstrapper to embed (release builds); empty embeds the development stand-in")
set(VELMO_MICROSOFT_BOOTSTRAPPER_BYTES 1691856)
set(VELMO_MICROSOFT_BOOTSTRAPPER_SHA256 0223FA1E8D5BD5E4344FB8734E60D088E79F262C0A24444D01F240BC996F04E5)

set(VELMO_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(VELMO_BOOTSTRAPPER_PIN_HEADER ${VELMO_GENERATED_DIR}/product_files/webview2_bootstrapper_pin.h)
set(VELMO_BOOTSTRAPPER_ASSEMBLY ${VELMO_GENERATED_DIR}/product_files/embedded_bootstrapper_data.S)
file(MAKE_DIRECTORY ${VELMO_GENERATED_DIR}/product_files)

function(velmo_pin_bootstrapper_now input kind)
  set(extra)
  if(kind STREQUAL "microsoft")
    list(APPEND extra -DEXPECTED_BYTES=${VELMO_MICROSOFT_BOOTSTRAPPER_BYTES}
                      -DEXPECTED_SHA256=${VELMO_MICROSOFT_BOOTSTRAPPER_SHA256})
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DKIND=${kind}
            -DOUT_HEADER=${VELMO_BOOTSTRAPPER_PIN_HEADER} -DOUT_ASSEMBLY=${VELMO_BOOTSTRAPPER_ASSEMBLY}
            ${extra} -P ${PROJECT_SOURCE_DIR}/cmake/pin_bootstrapper.cmake
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "The WebView2 bootstrapper cannot be embedded (see above)")
  endif()
  # A changed file must be pinned again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
endfunction()

# Adds the generated pin and the embedded bytes to `target`.
function(velmo_embed_bootstrapper target)
  if(VELMO_WEBVIEW2_BOOTSTRAPPER)
    get_filename_component(input ${VELMO_WEBVIEW2_BOOTSTRAPPER} ABSOLUTE)
    velmo_pin_bootstrapper_now(${input} microsoft)
    message(STATUS "This build carries Microsoft's WebView2 Evergreen bootstrapper: ${input}")
  elseif(WIN32)
    # The stand-in is a program of this build, so its digest is known only
    # after it is linked.
    add_custom_command(
      OUTPUT ${VELMO_BOOTSTRAPPER_PIN_HEADER} ${VELMO_BOOTSTRAPPER_ASSEMBLY}
      COMMAND ${CMAKE_COMMAND} -DINPUT=$<TARGET_FILE:velmo-webview2-standin> -DKIND=standin
              -DOUT_HEADER=${VELMO_BOOTSTRAPPER_PIN_HEADER} -DOUT_ASSEMBLY=${VELMO_BOOTSTRAPPER_ASSEMBLY}
              -P ${PROJECT_SOURCE_DIR}/cmake/pin_bootstrapper.cmake
      DEPENDS velmo-webview2-standin ${PROJECT_SOURCE_DIR}/cmake/pin_bootstrapper.cmake
      COMMENT "Pinning the WebView2 bootstrapper stand-in"
      VERBATIM)
    message(STATUS "This build carries the development STAND-IN for the WebView2 bootstrapper, "
                   "not Microsoft's file (set VELMO_WEBVIEW2_BOOTSTRAPPER for a release)")
  else()
    velmo_pin_bootstrapper_now(${PROJECT_SOURCE_DIR}/cmake/webview2-bootstrapper-placeholder.txt
                               placeholder)
    message(STATUS "This native build carries a placeholder for the WebView2 bootstrapper")
  endif()
  target_sources(${target} PRIVATE ${VELMO_BOOTSTRAPPER_PIN_HEADER} ${VELMO_BOOTSTRAPPER_ASSEMBLY})
  target_include_directories(${target} PUBLIC ${VELMO_GENERATED_DIR})
endfunction()
