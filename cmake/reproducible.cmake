# The same bytes from the same commit, in whatever folder it is built: on
# Windows no build path reaches a binary (__FILE__, assertion texts) and the
# linker writes no time stamp into the PE headers. Static archives are
# written without dates, owners or modes.
if(WIN32)
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=zelk
                      -ffile-prefix-map=${CMAKE_BINARY_DIR}=zelk-build)
  add_link_options(-Wl,--no-insert-timestamp)
  foreach(lang C CXX)
    set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
  endforeach()
endif()
