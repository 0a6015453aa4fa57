# Derives everything that names Brovane's exports from brovane/exports.txt:
#   Brovane.def (Windows, GBK), with @N where cmake/conventions.cmake says;
#   export_table.inc, an X-macro list for C++ (GBK names as \x escapes):
#     BROVANE_LUA_EXPORT(ordinal, internal, "gbk", "alias")
#     BROVANE_CALLBACK_EXPORT(ordinal, internal, "gbk")   (回调函数, alias "-")
#   BROVANE_EXPORT_NAMES / BROVANE_LUA_EXPORT_NAMES (UTF-8) for the tests;
#   bin/brovane.lua, the module for stock Lua (brovane/brovane.lua.in), with
#   the GBK names as Lua's decimal escapes: BROVANE_LUA_MODULE.
set(list_file ${CMAKE_SOURCE_DIR}/brovane/exports.txt)
set(module_template ${CMAKE_SOURCE_DIR}/brovane/brovane.lua.in)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file} ${module_template})
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

# The same bytes as Lua 5.1's escapes (it has no \x): three decimal digits
# each, so that no escape can take a following digit as its own.
function(lua_escapes c_escapes out)
  string(REPLACE "\\x" ";" bytes "${c_escapes}")
  set(escaped "")
  foreach(byte ${bytes})
    if(NOT byte STREQUAL "")
      math(EXPR value "1000 + 0x${byte}")
      string(SUBSTRING "${value}" 1 3 value)
      string(APPEND escaped "\\${value}")
    endif()
  endforeach()
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
set(BROVANE_LUA_MODULE_NAMES "")
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
    lua_escapes("${gbk}" lua_gbk)
    string(APPEND BROVANE_LUA_MODULE_NAMES "  { \"${alias}\", \"${lua_gbk}\" },  -- ${name}\n")
    string(APPEND inc
      "BROVANE_LUA_EXPORT(${ordinal}, ${internal}, \"${gbk}\", \"${alias}\")  // ${name}\n")
  endif()
endforeach()

file(CONFIGURE OUTPUT ${out_dir}/export_table.inc CONTENT "${inc}" @ONLY)
set(BROVANE_LUA_MODULE ${CMAKE_BINARY_DIR}/bin/brovane.lua)
configure_file(${module_template} ${BROVANE_LUA_MODULE} @ONLY)
zelk_write_def(${out_dir}/Brovane.def.utf8 Brovane.dll ${def_lines})
execute_process(COMMAND iconv -f UTF-8 -t GBK -o ${out_dir}/Brovane.def.new
  ${out_dir}/Brovane.def.utf8)
file(COPY_FILE ${out_dir}/Brovane.def.new ${out_dir}/Brovane.def ONLY_IF_DIFFERENT)
set(BROVANE_DEF ${out_dir}/Brovane.def)
set(BROVANE_EXPORT_INCLUDE_DIR ${out_dir})
