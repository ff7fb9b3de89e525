# quill_check_includes(TARGET FOLDER...): the build of TARGET stops if a
# file of any FOLDER includes what its row of cmake/check-includes.cmake
# (docs/layout.md's "May include") does not allow. Checked again whenever a
# file of the folder, or the table, changes.
function(quill_check_includes target)
  set(script ${PROJECT_SOURCE_DIR}/cmake/check-includes.cmake)
  foreach(folder IN LISTS ARGN)
    file(GLOB files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/${folder}/*.hpp)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${folder}_includes.stamp)
    add_custom_command(
      OUTPUT ${stamp}
      COMMAND ${CMAKE_COMMAND} -DFOLDER=${folder} "-DFILES=${files}" -P ${script}
      COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
      DEPENDS ${files} ${script}
      COMMENT "Checking what ${folder}/ includes"
      VERBATIM)
    add_custom_target(quill_includes_${folder} DEPENDS ${stamp})
    add_dependencies(${target} quill_includes_${folder})
  endforeach()
endfunction()
