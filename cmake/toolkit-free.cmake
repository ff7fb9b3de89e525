# quill_toolkit_free(TARGET FILE...): the build of TARGET stops if any FILE
# includes a Windows or Qt header (checked again whenever one changes).
function(quill_toolkit_free target)
  list(TRANSFORM ARGN PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ OUTPUT_VARIABLE paths)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_toolkit_free.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} "-DFILES=${paths}" -P ${PROJECT_SOURCE_DIR}/cmake/check-toolkit-free.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${paths} ${PROJECT_SOURCE_DIR}/cmake/check-toolkit-free.cmake
    COMMENT "Checking that ${target} includes no toolkit header"
    VERBATIM)
  add_custom_target(${target}_toolkit_free DEPENDS ${stamp})
  add_dependencies(${target} ${target}_toolkit_free)
endfunction()
