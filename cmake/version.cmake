# The release's version, written once in VERSION at the top of the tree. It
# reaches the version resource of each Windows binary built here and the
# names of the archives `make dist` writes (scripts/dist reads the same file).
set(ZELK_VERSION_SOURCE ${CMAKE_SOURCE_DIR}/VERSION)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZELK_VERSION_SOURCE})
file(STRINGS ${ZELK_VERSION_SOURCE} ZELK_VERSION LIMIT_COUNT 1)
if(NOT ZELK_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "VERSION must hold MAJOR.MINOR.PATCH, not '${ZELK_VERSION}'")
endif()
set(ZELK_VERSION_COMMAS "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},0")
set(ZELK_VERSION_DOTTED "${ZELK_VERSION}.0")
if(WIN32)
  enable_language(RC)
endif()

# The programs of the posix thread model (Tarvex.exe, brovane-run.exe, the
# tests) link libwinpthread statically, and with it that library's own
# version resource ("POSIX WinThreads for Windows"): the linker then leaves
# two version resources of the same id and language, and Windows shows
# either. A copy of the library without that member, first on the library
# path, leaves only ours. (The DLLs link no winpthread: cmake/zelk.cmake.)
if(WIN32)
  execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=libwinpthread.a
                  OUTPUT_VARIABLE winpthread OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${winpthread}" AND EXISTS "${winpthread}")
    set(dir ${CMAKE_BINARY_DIR}/winpthread)
    file(MAKE_DIRECTORY ${dir})
    file(COPY_FILE ${winpthread} ${dir}/libwinpthread.a ONLY_IF_DIFFERENT)
    execute_process(COMMAND ${CMAKE_AR} t ${dir}/libwinpthread.a OUTPUT_VARIABLE members)
    if(members MATCHES "(^|\n)version\.o\n")
      execute_process(COMMAND ${CMAKE_AR} dD ${dir}/libwinpthread.a version.o)
    endif()
    add_link_options(-L${dir})
  endif()
endif()

# zelk_version_resource(TARGET PRODUCT DESCRIPTION): TARGET's file and product
# version are the release's.
function(zelk_version_resource target product description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(kind ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(ZELK_VERSION_NAME ${name})
  set(ZELK_VERSION_PRODUCT "${product}")
  set(ZELK_VERSION_DESCRIPTION "${description}")
  if(kind STREQUAL "EXECUTABLE")
    set(ZELK_VERSION_TYPE VFT_APP)
    set(ZELK_VERSION_FILE ${name}.exe)
  else()
    set(ZELK_VERSION_TYPE VFT_DLL)
    set(ZELK_VERSION_FILE ${name}.dll)
  endif()
  set(rc ${CMAKE_BINARY_DIR}/version/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
