# Lua 5.1: Debian's shared library natively; on Windows lua51.dll built here
# from the upstream source that scripts/install-deps unpacks into third_party/.
# Target `lua` is what our code links against.

if(NOT WIN32)
  find_library(LUA51_LIBRARY NAMES lua5.1 REQUIRED)
  find_path(LUA51_INCLUDE_DIR lua.h PATH_SUFFIXES lua5.1 REQUIRED)
  add_library(lua INTERFACE)
  target_link_libraries(lua INTERFACE ${LUA51_LIBRARY})
  target_include_directories(lua INTERFACE ${LUA51_INCLUDE_DIR})
  return()
endif()

set(LUA_SRC ${CMAKE_SOURCE_DIR}/third_party/lua/src)
if(NOT EXISTS ${LUA_SRC}/lua.h)
  message(FATAL_ERROR "Lua 5.1 source missing in ${LUA_SRC}: run scripts/install-deps")
endif()
set(LUA_CORE lapi lcode ldebug ldo ldump lfunc lgc llex lmem lobject lopcodes
    lparser lstate lstring ltable ltm lundump lvm lzio lauxlib lbaselib ldblib
    liolib lmathlib loslib ltablib lstrlib loadlib linit)
list(TRANSFORM LUA_CORE PREPEND ${LUA_SRC}/)
list(TRANSFORM LUA_CORE APPEND .c)

# The hosts we serve use a Lua whose every entry point and C function is
# stdcall: -mrtd does that; the other flags keep mingw's inlines and GCC's
# builtins (which assume cdecl) out of the way.
add_library(lua51 SHARED ${LUA_CORE})
set_target_properties(lua51 PROPERTIES PREFIX "" OUTPUT_NAME lua51)
set(LUA51_STDCALL_FLAGS "")
if(ZELK_LUA_STDCALL)
  set(LUA51_STDCALL_FLAGS -mrtd -fno-builtin -D__CRT__NO_INLINE)
endif()
# Under -mrtd a call is callee-pops unless its declaration says otherwise, so
# every call into code not built with -mrtd must be cdecl by declaration.
# lua_cdecl.h routes the C runtime functions that mingw declares without
# __cdecl; loops are not turned into memset/memcpy calls (GCC's own
# declarations of those name no convention either); arguments are stored into
# a reserved frame, the code shape that scripts/check-callconv reads. GCC also
# calls libgcc's helpers (64-bit division) callee-pops under -mrtd, and they
# cannot be redeclared: Lua 5.1 calls none, and the check would find one.
if(LUA51_STDCALL_FLAGS)
  list(APPEND LUA51_STDCALL_FLAGS -include ${CMAKE_SOURCE_DIR}/cmake/lua_cdecl.h
       -fno-tree-loop-distribute-patterns -maccumulate-outgoing-args)
endif()
target_compile_options(lua51 PRIVATE -O2 ${LUA51_STDCALL_FLAGS} -w)
target_compile_definitions(lua51 PRIVATE LUA_ANSI LUA_BUILD_AS_DLL)
target_link_options(lua51 PRIVATE -Wl,--kill-at -static-libgcc)

# The cdecl builds are the stock Lua 5.1 of Windows: package.loadlib and
# require load DLLs (LUA_ANSI alone leaves them out; under -mrtd that code
# does not link), and lua.exe, the stand-alone interpreter, runs on the DLL,
# for the tests of `require "brovane"`.
if(NOT ZELK_LUA_STDCALL)
  target_compile_definitions(lua51 PRIVATE LUA_DL_DLL)
  add_executable(lua_exe ${LUA_SRC}/lua.c)
  set_target_properties(lua_exe PROPERTIES OUTPUT_NAME lua)
  target_compile_options(lua_exe PRIVATE -O2 -w)
  target_compile_definitions(lua_exe PRIVATE LUA_ANSI LUA_BUILD_AS_DLL)
  target_link_libraries(lua_exe PRIVATE lua51)
  target_link_options(lua_exe PRIVATE -static-libgcc)
endif()

# zelk_lua51_def(FILE KIND): the .def of an import library for a lua51.dll
# whose functions are of convention KIND (as zelk_pops takes it), with the
# @N of stdcall names; dlltool's -k drops them from the names imported.
function(zelk_lua51_def file kind)
  file(STRINGS ${CMAKE_SOURCE_DIR}/cmake/lua51_api.txt entries REGEX "^[a-zA-Z]")
  set(lines)
  foreach(entry ${entries})
    string(REGEX MATCHALL "[^ \t]+" fields "${entry}")
    list(GET fields 0 name)
    list(GET fields 1 bytes)
    zelk_decorated(symbol ${name} ${kind} ${bytes})
    list(APPEND lines ${symbol})
  endforeach()
  zelk_write_def(${file} lua51.dll ${lines})
endfunction()

# Import library in the Lua build's convention.
set(LUA51_DEF_USED ${CMAKE_BINARY_DIR}/lua51.def)
zelk_lua51_def(${LUA51_DEF_USED} lua)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/lua51_api.txt)
set(LUA51_IMPLIB ${CMAKE_BINARY_DIR}/liblua51-import.a)
# dlltool names its symbols after the -l path, which reach the linked binaries:
# a relative one keeps the build folder out of them.
add_custom_command(OUTPUT ${LUA51_IMPLIB}
  COMMAND ${ZELK_MINGW_PREFIX}-dlltool -d ${LUA51_DEF_USED} -k -l liblua51-import.a
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS ${LUA51_DEF_USED} lua51
  COMMENT "Import library for lua51.dll")
add_custom_target(lua51-import DEPENDS ${LUA51_IMPLIB})

add_library(lua INTERFACE)
add_dependencies(lua lua51-import)
target_link_libraries(lua INTERFACE ${LUA51_IMPLIB})
target_link_options(lua INTERFACE -Wl,--disable-stdcall-fixup)
