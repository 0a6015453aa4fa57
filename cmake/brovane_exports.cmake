# Derives everything that names Brovane's exports from brovane/exports.txt:
#   Brovane.def (Windows, GBK), with @N where cmake/conventions.cmake says;
#   export_table.inc, an X-macro list for C++ (GBK names as \x escapes):
#     BROVANE_LUA_EXPORT(ordinal, internal, "gbk", "alias")
#     BROVANE_CALLBACK_EXPORT(ordinal, internal, "gbk")   (回调函数, alias "-")
#   BROVANE_EXPORT_NAMES / BROVANE_LUA_EXPORT_NAMES (UTF-8) for the tests.
set(list_file ${CMAKE_SOURCE_DIR}/brovane/exports.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
set(out_dir ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${out_dir})
file(STRINGS ${list_file} lines ENCODING UTF-8 REGEX "^[0-9]")

# The GBK bytes of a UTF-8 text, as C escapes.
function(gbk_escapes text out)
  execute_process(COMMAND printf %s "${text}" COMMAND iconv -f UTF-8 -t GBK
    OUTPUT_FILE ${out_dir}/name.gbk RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "iconv could not turn ${text} into GBK")
  endif()
  file(READ ${out_dir}/name.gbk hex HEX)
  string(REGEX REPLACE "(..)" "\\\\x\\1" escaped "${hex}")
  set(${out} "${escaped}" PARENT_SCOPE)
endfunction()

# The Lua exports take the Lua build's convention (one argument, the state);
# the callback is stdcall (four arguments). BROVANE_EXPORT_POPS: "name:bytes"
# each export pops as it returns, for the checks.
set(def_lines)
set(BROVANE_EXPORT_POPS "")
set(inc "// Made by cmake/brovane_exports.cmake from brovane/exports.txt.\n")
set(BROVANE_EXPORT_NAMES "")
set(BROVANE_LUA_EXPORT_NAMES "")
foreach(line ${lines})
  string(REGEX MATCHALL "[^ \t]+" fields "${line}")
  list(GET fields 0 ordinal)
  list(GET fields 1 name)
  list(GET fields 2 internal)
  list(GET fields 3 alias)
  gbk_escapes("${name}" gbk)
  list(APPEND BROVANE_EXPORT_NAMES "${name}")
  if(alias STREQUAL "-")
    set(kind stdcall)
    set(bytes 16)
  else()
    set(kind lua)
    set(bytes 4)
  endif()
  zelk_decorated(symbol ${internal} ${kind} ${bytes})
  zelk_pops(pops ${kind} ${bytes})
  list(APPEND def_lines "\"${name}\" = ${symbol} @${ordinal}")
  list(APPEND BROVANE_EXPORT_POPS "${name}:${pops}")
  if(alias STREQUAL "-")
    string(APPEND inc "BROVANE_CALLBACK_EXPORT(${ordinal}, ${internal}, \"${gbk}\")  // ${name}\n")
  else()
    list(APPEND BROVANE_LUA_EXPORT_NAMES "${name}")
    string(APPEND inc
      "BROVANE_LUA_EXPORT(${ordinal}, ${internal}, \"${gbk}\", \"${alias}\")  // ${name}\n")
  endif()
endforeach()

file(CONFIGURE OUTPUT ${out_dir}/export_table.inc CONTENT "${inc}" @ONLY)
zelk_write_def(${out_dir}/Brovane.def.utf8 Brovane.dll ${def_lines})
execute_process(COMMAND iconv -f UTF-8 -t GBK -o ${out_dir}/Brovane.def.new
  ${out_dir}/Brovane.def.utf8)
file(COPY_FILE ${out_dir}/Brovane.def.new ${out_dir}/Brovane.def ONLY_IF_DIFFERENT)
set(BROVANE_DEF ${out_dir}/Brovane.def)
set(BROVANE_EXPORT_INCLUDE_DIR ${out_dir})
