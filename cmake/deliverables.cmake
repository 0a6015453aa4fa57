# The release's Windows binaries, listed once in cmake/deliverables.txt:
#   ZELK_DELIVERABLES        their CMake targets, in order
#   ZELK_DELIVERABLE_<target>_{FILE,CDECL,PRODUCT,DESCRIPTION}  their fields
# zelk_deliverables_targets(), once the targets exist, gives each its version
# resource and makes `cdecl_suite`, what the win32-cdecl tree builds.
set(list_file ${CMAKE_SOURCE_DIR}/cmake/deliverables.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
file(STRINGS ${list_file} lines REGEX "^[^#]")
set(ZELK_DELIVERABLES)
foreach(line ${lines})
  string(REPLACE " | " ";" fields "${line}")
  list(TRANSFORM fields STRIP)
  list(LENGTH fields count)
  if(NOT count EQUAL 5)
    message(FATAL_ERROR "cmake/deliverables.txt: five fields wanted in '${line}'")
  endif()
  list(GET fields 0 target)
  list(APPEND ZELK_DELIVERABLES ${target})
  set(index 1)
  foreach(field FILE CDECL PRODUCT DESCRIPTION)
    list(GET fields ${index} ZELK_DELIVERABLE_${target}_${field})
    math(EXPR index "${index} + 1")
  endforeach()
endforeach()

function(zelk_deliverables_targets)
  # The Lua-level build of the win32-cdecl tree: the deliverables it builds,
  # with the stock lua.exe and LuaJIT's DLL where the tree has them.
  add_custom_target(cdecl_suite)
  foreach(target ${ZELK_DELIVERABLES})
    if(ZELK_DELIVERABLE_${target}_CDECL STREQUAL "built" AND TARGET ${target})
      add_dependencies(cdecl_suite ${target})
    endif()
    if(NOT ZELK_DELIVERABLE_${target}_PRODUCT STREQUAL "-")
      zelk_version_resource(${target} "${ZELK_DELIVERABLE_${target}_PRODUCT}"
                            "${ZELK_DELIVERABLE_${target}_DESCRIPTION}")
    endif()
  endforeach()
  foreach(extra lua_exe luajit_dll)
    if(TARGET ${extra})
      add_dependencies(cdecl_suite ${extra})
    endif()
  endforeach()
endfunction()
