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

# A Lua test script run by brovane-run against the real library.
function(zelk_lua_test name script)
  add_test(NAME ${name} COMMAND brovane-run ${CMAKE_CURRENT_SOURCE_DIR}/${script} ${ARGN}
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${name} PROPERTIES TIMEOUT 120)
  zelk_skip_without_wine(${name})
  zelk_cdecl_suite(${name})
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
