# Project-wide helpers: warnings, sanitizers, platform backends.

# Our own targets: warnings are errors; third-party code is built without them.
function(zelk_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(ZELK_SANITIZE)
    list(JOIN ZELK_SANITIZE "," san)
    target_compile_options(${target} PRIVATE -fsanitize=${san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=${san})
  endif()
  if(WIN32)
    get_target_property(kind ${target} TYPE)
    if(kind STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE -static)
    elseif(kind STREQUAL "SHARED_LIBRARY")
      zelk_win32_thread_model(${target})
      target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++)
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)  # DWARF unwind tables, registered at each load
        target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/common/frame_registry_win32.cpp)
        target_link_options(${target} PRIVATE -Wl,--wrap=__register_frame_info
                            -Wl,--wrap=__deregister_frame_info)
      endif()
    endif()
  endif()
endfunction()

# The Windows DLLs (and the objects they are made of) are compiled and linked
# by the win32 thread model's compilers: no winpthread, which, built into a
# DLL, keeps a TLS index of the process at each load, for good. Their locks
# come from sync.h; they have no thread_local and no function-local static
# that needs a guard (the guard's lock, too, would stay behind). The test
# programs keep the posix model (GoogleTest needs std::mutex) and compile the
# library's sources a second time: the two models' objects never meet in
# one link.
function(zelk_win32_thread_model target)
  if(WIN32)
    set(launcher ${CMAKE_SOURCE_DIR}/scripts/win32-thread-model)
    set_target_properties(${target} PROPERTIES C_COMPILER_LAUNCHER ${launcher}
      CXX_COMPILER_LAUNCHER ${launcher} C_LINKER_LAUNCHER ${launcher}
      CXX_LINKER_LAUNCHER ${launcher})
  endif()
endfunction()

# An object library made of the same sources, with the same settings, as
# original (whose sources must all be known by now).
function(zelk_twin_objects twin original)
  add_library(${twin} OBJECT)
  foreach(property SOURCES INCLUDE_DIRECTORIES COMPILE_DEFINITIONS COMPILE_OPTIONS
                   COMPILE_FEATURES LINK_LIBRARIES CXX_VISIBILITY_PRESET
                   INTERFACE_INCLUDE_DIRECTORIES INTERFACE_LINK_LIBRARIES
                   INTERFACE_COMPILE_DEFINITIONS)
    get_target_property(value ${original} ${property})
    if(value)
      set_property(TARGET ${twin} PROPERTY ${property} "${value}")
    endif()
  endforeach()
endfunction()

# The backend file of a platform interface: NAME_win32.cpp or NAME_posix.cpp.
function(zelk_platform_sources target)
  foreach(name ${ARGN})
    target_sources(${target} PRIVATE ${name}_${ZELK_PLATFORM}.cpp)
  endforeach()
endfunction()

# A test program run by ctest (under Wine on the win32 preset).
function(zelk_gtest name)
  add_executable(${name} ${ARGN})
  zelk_target(${name})
  target_link_libraries(${name} PRIVATE gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  zelk_skip_without_wine(${name})
endfunction()

# On a Windows preset a test is skipped, not failed, where its Wine cannot
# run; the label "wine" counts the runs that need Wine.
function(zelk_skip_without_wine name)
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77
                       SKIP_REGULAR_EXPRESSION "wine-run: skipped")
  set_property(TEST ${name} APPEND PROPERTY LABELS wine)
endfunction()

# The label "cdecl" marks the tests that need nothing but the libraries,
# lua51 and brovane-run: the suite of the win32-cdecl tree, which builds
# only those (CMakePresets.json).
function(zelk_cdecl_suite)
  set_property(TEST ${ARGN} APPEND PROPERTY LABELS cdecl)
endfunction()

# zelk_lua_test(NAME [SCRIPT] [ARGS arg...] [HOST_ARGS arg...] [PEER]
#               [WRAPPER command...] [LUAJIT_WRAPPER command...] [TIMEOUT seconds]
#               [LABELS label...] [PROPERTIES name value...] [NOT_CDECL]
#               [WORKING_DIRECTORY dir] [LUAJIT_NAME name] [LUAJIT_ONLY]
#               [NO_LUAJIT reason])
# A Lua test against the real library, run in bin/ (or WORKING_DIRECTORY) as
#   [peer.py] WRAPPER... brovane-run HOST_ARGS... SCRIPT ARGS...
# with brovane-run under Wine on Windows. SCRIPT is relative to the calling
# folder. PEER starts the network test peer first (it appends its ports) and
# holds the fixed ports. TIMEOUT defaults to 120 s. The test joins the cdecl
# suite unless NOT_CDECL. Where the tree has LuaJIT, its twin luajit_NAME (or
# LUAJIT_NAME) runs the same through brovane-run on LuaJIT, with
# LUAJIT_WRAPPER in place of WRAPPER when given; LUAJIT_ONLY registers the
# twin alone, NO_LUAJIT (with the reason) none.
function(zelk_lua_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "PEER;NOT_CDECL;LUAJIT_ONLY"
    "TIMEOUT;WORKING_DIRECTORY;LUAJIT_NAME;NO_LUAJIT" "ARGS;HOST_ARGS;WRAPPER;LUAJIT_WRAPPER;LABELS;PROPERTIES")
  set(script "")
  if(arg_UNPARSED_ARGUMENTS)
    cmake_path(ABSOLUTE_PATH arg_UNPARSED_ARGUMENTS BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
               OUTPUT_VARIABLE script)
    set(script ${ZELK_WINE_DRIVE}${script})
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 120)
  endif()
  if(NOT arg_WORKING_DIRECTORY)
    set(arg_WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  endif()
  if(NOT DEFINED arg_LUAJIT_WRAPPER)
    set(arg_LUAJIT_WRAPPER ${arg_WRAPPER})
  endif()
  set(peer "")
  if(arg_PEER)
    set(peer ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/net/peer.py)
    list(APPEND arg_PROPERTIES RESOURCE_LOCK net_fixed_ports)
  endif()
  set(tail ${arg_HOST_ARGS} ${script} ${arg_ARGS})
  if(NOT arg_LUAJIT_ONLY)
    add_test(NAME ${name} WORKING_DIRECTORY ${arg_WORKING_DIRECTORY}
      COMMAND ${peer} ${arg_WRAPPER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:brovane-run> ${tail})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${arg_TIMEOUT} ${arg_PROPERTIES})
    zelk_skip_without_wine(${name})
    if(NOT arg_NOT_CDECL)
      zelk_cdecl_suite(${name})
    endif()
    if(arg_LABELS)
      set_property(TEST ${name} APPEND PROPERTY LABELS ${arg_LABELS})
    endif()
  endif()
  if(NOT ZELK_LUAJIT OR DEFINED arg_NO_LUAJIT)
    return()
  endif()
  set(twin luajit_${name})
  if(arg_LUAJIT_NAME)
    set(twin ${arg_LUAJIT_NAME})
  endif()
  add_test(NAME ${twin} WORKING_DIRECTORY ${arg_WORKING_DIRECTORY}
    COMMAND ${peer} ${arg_LUAJIT_WRAPPER} ${ZELK_LUAJIT_HOST} ${tail})
  zelk_luajit_test_properties(${twin} ${arg_TIMEOUT})
  if(arg_PROPERTIES)
    set_tests_properties(${twin} PROPERTIES ${arg_PROPERTIES})
  endif()
  if(arg_LABELS)
    set_property(TEST ${twin} APPEND PROPERTY LABELS ${arg_LABELS})
  endif()
endfunction()

# Absolute Unix paths reach a Windows program under Wine through drive Z:.
# wine-run reads which Wine a tree needs from its wine-arch file.
if(WIN32)
  set(ZELK_WINE_DRIVE "Z:")
  if(ZELK_WIN64)
    file(WRITE ${CMAKE_BINARY_DIR}/wine-arch "win64\n")
  else()
    file(WRITE ${CMAKE_BINARY_DIR}/wine-arch "win32\n")
  endif()
else()
  set(ZELK_WINE_DRIVE "")
endif()

# A file listing the object files of the targets, one a line, for the checks
# that read our objects (scripts/check-callconv, check-thread-model: @FILE).
function(zelk_objects_list out name)
  set(objects)
  foreach(target ${ARGN})
    list(APPEND objects "$<TARGET_OBJECTS:${target}>")
  endforeach()
  set(list ${CMAKE_CURRENT_BINARY_DIR}/${name}-objects.txt)
  file(GENERATE OUTPUT ${list} CONTENT "$<JOIN:${objects},\n>\n")
  set(${out} ${list} PARENT_SCOPE)
endfunction()
