# Which folders and header families each folder's files may include: the
# "May include" column of docs/layout.md, the one table the build holds
# them to. Run as
#   cmake -DFOLDER=x11 "-DFILES=a.cpp;a.hpp" -P check-includes.cmake
# it fails on the first include of FILES (FOLDER's own) that FOLDER's row
# does not allow. A folder may always include its own files.

cmake_minimum_required(VERSION 3.20)

# FOLDER: what it may include, other folders and header families.
set(quill_rows
  "base: std"
  "colour: base std"
  "form: colour base std"
  "keeper: std posix"
  "x11: keeper std posix xcb"
  "wayland: keeper std posix wayland"
  "helper: keeper x11 wayland std posix"
  "win32: form colour base std windows"
  "qt: form colour base keeper x11 wayland std posix xcb qt")

# The header families, by what stands between the brackets or quotes.
set(quill_family_std "^<[a-z_]+>$")
set(quill_family_posix "^<(unistd|poll|fcntl|signal|dlfcn|time|sys/[a-z_]+)\\.h>$")
set(quill_family_xcb "^<xcb/[a-z_]+\\.h>$")
# libwayland-client, and the protocol code wayland-scanner writes.
set(quill_family_wayland "^(<wayland-client[a-z-]*\\.h>|\"[a-z0-9-]+-client-protocol\\.h\")$")
set(quill_family_qt "^<(Q[A-Za-z]+|Qt[A-Za-z]*/[A-Za-z_/.]+|qpa/[a-z_]+\\.h)>$")
set(quill_family_windows "^<(windows|winuser|wingdi|commdlg|commctrl|oleacc|ole2|objbase|shellapi|initguid)\\.h>$")
set(quill_families std posix xcb wayland qt windows)

set(allowed "")
foreach(row IN LISTS quill_rows)
  if(row MATCHES "^${FOLDER}: (.*)$")
    string(REPLACE " " ";" allowed "${CMAKE_MATCH_1}")
  endif()
endforeach()
if(NOT allowed)
  message(FATAL_ERROR "check-includes: ${FOLDER}/ has no row in cmake/check-includes.cmake")
endif()

foreach(file IN LISTS FILES)
  file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*([<\"][^>\"]*[>\"]).*$" "\\1" header "${line}")
    set(what "")
    if(header MATCHES "^\"([a-z0-9_]+)/[^\"]*\"$")
      set(what ${CMAKE_MATCH_1})
      if(what STREQUAL FOLDER)
        continue()
      endif()
    else()
      foreach(family IN LISTS quill_families)
        if(header MATCHES "${quill_family_${family}}")
          set(what ${family})
          break()
        endif()
      endforeach()
    endif()
    if(NOT what)
      message(FATAL_ERROR "${file}: ${header} is of no folder or header family that cmake/check-includes.cmake knows")
    endif()
    if(NOT what IN_LIST allowed)
      string(REPLACE ";" ", " row "${allowed}")
      message(FATAL_ERROR "${file}: ${FOLDER}/ may not include ${header} (${what}); it may include ${row}")
    endif()
  endforeach()
endforeach()
