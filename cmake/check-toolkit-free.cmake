# Fails when any of FILES (a ;-list) includes a window toolkit's header:
# the colour model and the form are shared by every front-end and must
# build with the standard library alone.
foreach(file IN LISTS FILES)
  file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    if(line MATCHES "[<\"](windows|winuser|wingdi|commdlg|oleacc|ole2|objbase|shellapi)\\.h[>\"]"
       OR line MATCHES "[<\"](Qt[A-Za-z]*/)?Q[A-Z][A-Za-z]*[>\"]"
       OR line MATCHES "[<\"]Qt[A-Za-z]+/")
      message(FATAL_ERROR "${file}: the toolkit-free core includes a toolkit header: ${line}")
    endif()
  endforeach()
endforeach()
