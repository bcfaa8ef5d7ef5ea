# Delay-import libraries for the system DLLs that are not KnownDLLs.
#
# The loader resolves a program's ordinary imports before its first
# instruction, searching the program's own folder first for every DLL that is
# not a KnownDLL. The assistant runs as administrator from wherever it was
# downloaded, so it imports such DLLs through delay-import libraries: the
# first call loads the DLL through mingw's __delayLoadHelper2, which calls
# LoadLibraryA with the bare name, after the program has limited the search
# to System32 (platform/win/system_dll_search.h).
#
# The libraries are made at configure time from the toolchain's own import
# libraries (every function they export, so any function of the DLL can be
# called), with the DLL name those libraries carry.

find_program(VELMO_DLLTOOL NAMES ${VELMO_MINGW_TRIPLE}-dlltool REQUIRED)

# velmo_delay_import_library(VAR NAME): VAR is set to a delay-import library
# for what lib${NAME}.a of the toolchain imports.
function(velmo_delay_import_library var name)
  set(out_dir ${CMAKE_BINARY_DIR}/delay_imports)
  set(archive ${out_dir}/lib${name}_delay.a)
  set(${var} ${archive} PARENT_SCOPE)
  execute_process(
    COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${name}.a
    OUTPUT_VARIABLE import_lib OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  if(NOT IS_ABSOLUTE "${import_lib}" OR NOT EXISTS "${import_lib}")
    message(FATAL_ERROR "the toolchain has no import library lib${name}.a")
  endif()
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${import_lib})
  if(EXISTS ${archive} AND NOT ${import_lib} IS_NEWER_THAN ${archive})
    return()
  endif()

  execute_process(COMMAND ${VELMO_DLLTOOL} --identify ${import_lib}
    OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CMAKE_NM} ${import_lib}
    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  # Each function has an import thunk "T NAME" and its address slot
  # "I __imp_NAME"; a slot without a thunk is data, which cannot be
  # delay-loaded and is left out.
  string(REGEX MATCHALL "[0-9a-fA-F]+ T [^\r\n]+" thunk_lines "${symbols}")
  string(REGEX MATCHALL "[0-9a-fA-F]+ I __imp_[^\r\n]+" slot_lines "${symbols}")
  list(TRANSFORM thunk_lines REPLACE "^[0-9a-fA-F]+ T " "")
  list(TRANSFORM slot_lines REPLACE "^[0-9a-fA-F]+ I __imp_" "")
  set(exports "")
  foreach(symbol IN LISTS thunk_lines)
    if(symbol IN_LIST slot_lines)
      string(APPEND exports "  ${symbol}\n")
    endif()
  endforeach()
  if(exports STREQUAL "")
    message(FATAL_ERROR "found no function in ${import_lib}")
  endif()

  file(MAKE_DIRECTORY ${out_dir})
  file(WRITE ${out_dir}/${name}.def "LIBRARY ${dll}\nEXPORTS\n${exports}")
  execute_process(
    COMMAND ${VELMO_DLLTOOL} --def ${out_dir}/${name}.def --dllname ${dll}
            --output-delaylib ${archive}
    COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# velmo_check_shipped_imports(TARGET): the build fails when the program
# TARGET imports at start a DLL that is not a KnownDLL, or any DLL that does
# not ship with Windows (tests/scripts/check_imports.sh).
function(velmo_check_shipped_imports target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env OBJDUMP=${CMAKE_OBJDUMP} NM=${CMAKE_NM}
            ${PROJECT_SOURCE_DIR}/tests/scripts/check_imports.sh $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
