# Windows resources of the assistant: its icon, manifest and version
# information, compiled from src/main/assistant.rc.
#
# The icon is drawn at build time by scripts/make_icon.py so that no binary
# artwork lives in the repository.

find_program(VELMO_PYTHON3 python3 REQUIRED)

function(velmo_add_assistant_resources target)
  set(icon_generator ${PROJECT_SOURCE_DIR}/scripts/make_icon.py)
  set(resource_dir ${PROJECT_SOURCE_DIR}/src/main)
  set(icon_dir ${CMAKE_CURRENT_BINARY_DIR}/assistant_resources)
  set(icon ${icon_dir}/assistant.ico)

  add_custom_command(
    OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}
    COMMAND ${VELMO_PYTHON3} ${icon_generator} ${icon}
    DEPENDS ${icon_generator} ${PROJECT_SOURCE_DIR}/scripts/raster.py
    COMMENT "Drawing the assistant icon"
    VERBATIM)

  # Listing the icon as a source ties its custom command to the target.
  target_sources(${target} PRIVATE ${resource_dir}/assistant.rc ${icon})

  # windres resolves the bare file names in the .rc through its include path.
  # It reports no dependencies of its own, so name them: editing the manifest
  # or redrawing the icon must relink the executable.
  set_source_files_properties(${resource_dir}/assistant.rc
    TARGET_DIRECTORY ${target}
    PROPERTIES
      INCLUDE_DIRECTORIES "${icon_dir};${resource_dir}"
      OBJECT_DEPENDS "${icon};${resource_dir}/assistant.manifest")
endfunction()
