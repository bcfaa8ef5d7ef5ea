# The fuzzing build (VELMO_FUZZ): libFuzzer targets under AddressSanitizer
# and UndefinedBehaviorSanitizer, registered with CTest so that each one runs
# for a bounded time on a copy of its seed corpus.

# libFuzzer and its coverage instrumentation come with clang only. Clang
# before 19 announces concepts as incomplete, so libstdc++ hides
# std::expected, which every Result in the engine is built on.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR CMAKE_CXX_COMPILER_VERSION VERSION_LESS 19)
  message(FATAL_ERROR "VELMO_FUZZ needs clang 19 or newer, got ${CMAKE_CXX_COMPILER_ID} "
                      "${CMAKE_CXX_COMPILER_VERSION} (use the fuzz preset)")
endif()

set(VELMO_FUZZ_SECONDS 20 CACHE STRING "How long CTest runs each fuzz target, in seconds")

# The engine is instrumented for coverage too, or libFuzzer would be blind to
# the code it is meant to explore; only the fuzz targets link libFuzzer's
# main(). A sanitizer finding must end the run, never scroll past.
# The preset builds Debug so that assertions (nlohmann's too) stay on; this
# -O1 comes after Debug's -O0 on the command line, so each fuzz input runs
# optimised and more of them fit into the bounded time.
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=all -O1)
add_link_options(-fsanitize=address,undefined)

# What the fuzz preset builds: the targets and the libraries they link.
add_custom_target(velmo_fuzz_targets)

# A libFuzzer executable NAME built from SOURCES against the engine (and
# LIBS), plus a CTest test of the same name that fuzzes it, starting from the
# seed files in CORPUS (relative to the calling CMakeLists.txt).
function(velmo_fuzz_target name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_CORPUS})
  if(NOT ARG_CORPUS OR NOT IS_DIRECTORY ${corpus})
    message(FATAL_ERROR "velmo_fuzz_target(${name}): CORPUS must name a folder of seed files")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  velmo_target_defaults(${name})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  # The engine below the application core holds every parser the targets
  # reach; the core, the window logic and the entry point above it would
  # only lengthen the instrumented build.
  target_link_libraries(${name} PRIVATE velmo_product_install ${ARG_LIBS})
  add_dependencies(velmo_fuzz_targets ${name})
  add_test(NAME ${name}
    COMMAND ${PROJECT_SOURCE_DIR}/tests/fuzz/run_fuzzer.sh $<TARGET_FILE:${name}> ${corpus}
            ${VELMO_FUZZ_SECONDS} ${CMAKE_BINARY_DIR}/fuzz-findings/${name})
  # Room beyond the fuzzing time for loading the corpus and for a report.
  math(EXPR timeout "${VELMO_FUZZ_SECONDS} + 120")
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT ${timeout})
endfunction()
