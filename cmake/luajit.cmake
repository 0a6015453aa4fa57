# LuaJIT 2.1, the Lua that many game hosts embed in place of Lua 5.1: the
# same C API, and on Windows a cdecl lua51.dll. brovane-run runs on it for the
# LuaJIT twin of each Lua test (zelk_lua_test) and for tests/luajit.
#   natively: target `luajit`, Debian's libluajit-5.1;
#   on the cdecl Windows trees (win64, win32-cdecl): target `luajit_dll`,
#   LuaJIT's own lua51.dll built by its Makefile from third_party/luajit,
#   laid out with copies of brovane-run.exe, Brovane.dll and Lumivet.dll in
#   bin/luajit/ (a lua51.dll is found beside the program that loads it).
# ZELK_LUAJIT_HOST is the command that runs brovane-run on LuaJIT;
# <tree>/luajit-status says "ok", or why this tree has no LuaJIT;
# ZELK_LUAJIT_DLL is LuaJIT's DLL where this tree builds it.
# The stdcall win32 tree has none: LuaJIT's DLL is cdecl.
set(ZELK_LUAJIT OFF)

# Properties of a LuaJIT test: skipped (77) where the tree has no LuaJIT or
# its Wine cannot run; labelled "luajit", and "wine" on Windows.
function(zelk_luajit_test_properties name timeout)
  set(labels luajit)
  if(WIN32)
    list(APPEND labels wine)
  endif()
  list(APPEND labels cdecl)  # LuaJIT's DLL is cdecl: the cdecl suite runs them
  set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout} LABELS "${labels}"
    SKIP_RETURN_CODE 77 SKIP_REGULAR_EXPRESSION "(wine|luajit)-run: skipped")
endfunction()

if(ZELK_SANITIZE OR ZELK_FUZZ)
  return()  # LuaJIT's own allocator and the sanitizers' shadow memory do not mix
endif()

if(NOT WIN32)
  find_library(LUAJIT_LIBRARY NAMES luajit-5.1 REQUIRED)
  add_library(luajit INTERFACE)
  target_link_libraries(luajit INTERFACE ${LUAJIT_LIBRARY})
  set(ZELK_LUAJIT ON)
  set(ZELK_LUAJIT_HOST $<TARGET_FILE:brovane-run-luajit>)
  return()
endif()
if(NOT (ZELK_WIN64 OR BROVANE_CDECL))
  return()
endif()
set(ZELK_LUAJIT ON)
set(ZELK_LUAJIT_DIR ${CMAKE_BINARY_DIR}/bin/luajit)
set(ZELK_LUAJIT_HOST ${CMAKE_SOURCE_DIR}/scripts/luajit-run ${ZELK_LUAJIT_DIR}/brovane-run.exe)

# LuaJIT builds its own tools (minilua, buildvm) for the host and runs them
# while it builds; they must have the target's pointer width. For 32-bit
# Windows that takes gcc -m32 and a kernel that runs 32-bit programs.
set(luajit_host_cc gcc)
set(status ok)
if(NOT ZELK_WIN64)
  set(luajit_host_cc "gcc -m32")
  set(probe ${CMAKE_BINARY_DIR}/luajit-probe)
  file(WRITE ${probe}.c "int main(void) { return 0; }\n")
  execute_process(COMMAND gcc -m32 ${probe}.c -o ${probe} RESULT_VARIABLE built
                  OUTPUT_QUIET ERROR_QUIET)
  if(NOT built EQUAL 0)
    set(status "gcc -m32 cannot build here (package gcc-multilib), and LuaJIT's 32-bit build needs it")
  else()
    execute_process(COMMAND ${probe} RESULT_VARIABLE ran OUTPUT_QUIET ERROR_QUIET)
    if(NOT ran EQUAL 0)
      set(status "LuaJIT's 32-bit build runs 32-bit programs, which this kernel refuses")
    endif()
  endif()
endif()
set(ZELK_LUAJIT_SRC ${CMAKE_SOURCE_DIR}/third_party/luajit)
if(status STREQUAL "ok" AND NOT EXISTS ${ZELK_LUAJIT_SRC}/src/luajit.h)
  message(FATAL_ERROR "LuaJIT source missing in ${ZELK_LUAJIT_SRC}: run scripts/install-deps")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/luajit-status "${status}\n")
if(NOT status STREQUAL "ok")
  # The tests are still listed: luajit-run reports them skipped, with this
  # reason. Some start in the layout's folder, so it exists, empty.
  message(STATUS "LuaJIT: not built in this tree: ${status}")
  file(MAKE_DIRECTORY ${ZELK_LUAJIT_DIR})
  add_custom_target(luajit_dll)
  return()
endif()

set(ZELK_LUAJIT_DLL ${ZELK_LUAJIT_DIR}/lua51.dll)

# LuaJIT builds in its own tree: a copy per build tree, quietly and without
# warnings (third-party code, as Lua's). libgcc is linked in (the DLL would
# otherwise need libgcc_s beside it); no path or time stamp reaches it, as
# for our own binaries (its Makefile strips the DLL, and strip stamps the
# time unless SOURCE_DATE_EPOCH says otherwise).
set(work ${CMAKE_BINARY_DIR}/luajit)
set(dll ${work}/src/lua51.dll)
set(exe ${work}/src/luajit.exe)  # LuaJIT's own interpreter, on the DLL
file(GLOB_RECURSE luajit_sources CONFIGURE_DEPENDS ${ZELK_LUAJIT_SRC}/src/*.[ch])
add_custom_command(OUTPUT ${dll} ${exe}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${work}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${ZELK_LUAJIT_SRC} ${work}
  COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS --unset=MAKELEVEL SOURCE_DATE_EPOCH=0
          make -s -C ${work}/src -j2 "HOST_CC=${luajit_host_cc}" CROSS=${ZELK_MINGW_PREFIX}-
          TARGET_SYS=Windows BUILDMODE=dynamic
          "TARGET_CFLAGS=-ffile-prefix-map=${work}=luajit -w" "E=@:"
          "TARGET_SHLDFLAGS=-static-libgcc -Wl,--no-insert-timestamp"
          "TARGET_LDFLAGS=-static-libgcc -Wl,--no-insert-timestamp" lua51.dll luajit.exe
  DEPENDS ${luajit_sources}
  COMMENT "LuaJIT's lua51.dll and luajit.exe")

# bin/luajit: LuaJIT's DLL and interpreter with copies of our programs and
# of the brovane module beside them.
set(laid_out)
foreach(file brovane-run.exe Brovane.dll Lumivet.dll luajit.exe brovane.lua)
  list(APPEND laid_out ${ZELK_LUAJIT_DIR}/${file})
endforeach()
add_custom_command(OUTPUT ${ZELK_LUAJIT_DIR}/lua51.dll ${laid_out}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZELK_LUAJIT_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${dll} ${exe} $<TARGET_FILE:brovane-run> $<TARGET_FILE:Brovane>
          $<TARGET_FILE:Lumivet> ${BROVANE_LUA_MODULE} ${ZELK_LUAJIT_DIR}
  DEPENDS ${dll} ${exe} ${BROVANE_LUA_MODULE} brovane-run Brovane Lumivet
  COMMENT "bin/luajit: brovane-run on LuaJIT")
add_custom_target(luajit_dll ALL DEPENDS ${ZELK_LUAJIT_DIR}/lua51.dll ${laid_out})
