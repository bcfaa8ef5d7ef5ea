# Compile settings shared by every target of ours (not by third-party code).
function(velmo_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror -Wno-missing-field-initializers)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
endfunction()

# A GoogleTest executable registered with CTest. On the Windows build CTest
# runs it through CMAKE_CROSSCOMPILING_EMULATOR (Wine).
function(velmo_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;FIXTURES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  velmo_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  if(WIN32)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300)
  if(ARG_FIXTURES)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${ARG_FIXTURES}")
  endif()
endfunction()
