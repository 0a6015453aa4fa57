# The calling conventions of the build, decided here and nowhere else: the
# compile definitions, the @N of the .def files, the expected `ret $N` of the
# checks all come from these.
#
# 32-bit Windows has two conventions: stdcall (the callee pops its
# arguments, and its name carries @N, their bytes) and cdecl (the caller
# pops; no @N). 64-bit Windows and Linux have one convention and no @N.
#
#   ZELK_WIN64          64-bit Windows (the win64 tree, a test vehicle)
#   ZELK_STDCALL_BUILD  32-bit Windows, where stdcall is a convention of its
#                       own (the win32 and win32-cdecl trees)
#   ZELK_LUA_STDCALL    Lua's entry points and C functions, so Brovane's Lua
#                       exports, are stdcall: the -mrtd lua51.dll the hosts
#                       use. BROVANE_CDECL=ON makes them cdecl, as the Lua
#                       5.1 DLLs people download are.
# The exports that are not Lua functions (回调函数, edgame) are stdcall
# wherever stdcall exists.

if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZELK_WIN64 ON)
elseif(WIN32)
  set(ZELK_STDCALL_BUILD ON)
  if(NOT BROVANE_CDECL)
    set(ZELK_LUA_STDCALL ON)
  endif()
endif()

# ZELK_STDCALL: the non-Lua exports; ZELK_LUA_CC: Lua's functions (empty: cdecl).
if(ZELK_STDCALL_BUILD)
  add_compile_definitions("ZELK_STDCALL=__attribute__((stdcall))" "ZELK_EXPORT=")
  if(ZELK_LUA_STDCALL)
    add_compile_definitions("ZELK_LUA_CC=__attribute__((stdcall))")
  endif()
elseif(WIN32)
  add_compile_definitions("ZELK_STDCALL=" "ZELK_EXPORT=")
else()
  add_compile_definitions("ZELK_STDCALL=" "ZELK_EXPORT=__attribute__((visibility(\"default\")))")
endif()

# ZELK_SEAM_EXPORT: the allocation seam of the test builds. On Windows the
# deliverables export by their .def alone; a seam build adds its two names.
if(WIN32)
  add_compile_definitions("ZELK_SEAM_EXPORT=__attribute__((dllexport))")
else()
  add_compile_definitions("ZELK_SEAM_EXPORT=__attribute__((visibility(\"default\")))")
endif()

# A function's convention, by KIND: `lua` (the Lua build's), `stdcall`
# (stdcall where that exists) or `cdecl`. zelk_is_stdcall(OUT KIND).
function(zelk_is_stdcall out kind)
  if(NOT kind MATCHES "^(lua|stdcall|cdecl)$")
    message(FATAL_ERROR "unknown calling convention ${kind}")
  endif()
  if((kind STREQUAL "lua" AND ZELK_LUA_STDCALL) OR (kind STREQUAL "stdcall" AND ZELK_STDCALL_BUILD))
    set(${out} ON PARENT_SCOPE)
  else()
    set(${out} OFF PARENT_SCOPE)
  endif()
endfunction()

# zelk_pops(OUT KIND BYTES): what a function of KIND with BYTES of arguments
# pops as it returns: BYTES when it is stdcall, else 0.
function(zelk_pops out kind bytes)
  zelk_is_stdcall(stdcall ${kind})
  if(stdcall)
    set(${out} ${bytes} PARENT_SCOPE)
  else()
    set(${out} 0 PARENT_SCOPE)
  endif()
endfunction()

# zelk_decorated(OUT NAME KIND BYTES): NAME as the linker knows it: NAME@BYTES
# when it is stdcall, else NAME.
function(zelk_decorated out name kind bytes)
  zelk_is_stdcall(stdcall ${kind})
  if(stdcall)
    set(name "${name}@${bytes}")
  endif()
  set(${out} "${name}" PARENT_SCOPE)
endfunction()

# zelk_write_def(FILE LIBRARY LINE...): a module-definition file naming the
# DLL LIBRARY, with the given EXPORTS lines; rewritten only when it changes.
function(zelk_write_def file library)
  set(text "LIBRARY \"${library}\"\nEXPORTS\n")
  foreach(line ${ARGN})
    string(APPEND text "${line}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${file} CONTENT "${text}" @ONLY)
endfunction()
