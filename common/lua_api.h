// lua_api.h: the Lua 5.1 C API as our libraries and hosts call it.
//
// Declared here rather than taken from lua.h so that the calling convention
// is ours to state: the Windows hosts we serve use a Lua built stdcall
// throughout, while our own code (and libstdc++) stays cdecl. ZELK_LUA_CC is
// set by the build: stdcall on Windows, empty natively or with BROVANE_CDECL.
#pragma once

#include <cstddef>

#ifndef ZELK_LUA_CC
#define ZELK_LUA_CC
#endif

extern "C" {

struct lua_State;
typedef double lua_Number;
typedef int(ZELK_LUA_CC* lua_CFunction)(lua_State* L);
typedef void*(ZELK_LUA_CC* lua_Alloc)(void* ud, void* block, size_t oldSize, size_t newSize);

// Status codes as Lua 5.1 numbers them.
enum : int {
  LUA_OK_STATUS = 0,
  LUA_YIELD_STATUS = 1,
  LUA_ERRRUN_STATUS = 2,
  LUA_ERRSYNTAX_STATUS = 3,
  LUA_ERRMEM_STATUS = 4,
  LUA_ERRERR_STATUS = 5,
  LUA_ERRFILE_STATUS = 6,
};

// Type codes and pseudo-indices of Lua 5.1.
enum : int {
  LUA_TYPE_NONE = -1,
  LUA_TYPE_NIL = 0,
  LUA_TYPE_BOOLEAN = 1,
  LUA_TYPE_LIGHTUSERDATA = 2,
  LUA_TYPE_NUMBER = 3,
  LUA_TYPE_STRING = 4,
  LUA_TYPE_TABLE = 5,
  LUA_TYPE_FUNCTION = 6,
  LUA_REGISTRY_INDEX = -10000,
  LUA_GLOBALS_INDEX = -10002,
  LUA_MULTIPLE_RESULTS = -1,
};

lua_State* ZELK_LUA_CC luaL_newstate(void);
lua_State* ZELK_LUA_CC lua_newstate(lua_Alloc f, void* ud);
void ZELK_LUA_CC luaL_openlibs(lua_State* L);
int ZELK_LUA_CC luaL_loadstring(lua_State* L, const char* s);
int ZELK_LUA_CC luaL_loadfile(lua_State* L, const char* filename);
int ZELK_LUA_CC luaL_loadbuffer(lua_State* L, const char* buff, size_t sz, const char* name);
void ZELK_LUA_CC lua_close(lua_State* L);
int ZELK_LUA_CC lua_resume(lua_State* L, int narg);
int ZELK_LUA_CC lua_pcall(lua_State* L, int nargs, int nresults, int errfunc);
int ZELK_LUA_CC lua_cpcall(lua_State* L, lua_CFunction func, void* ud);
int ZELK_LUA_CC lua_gettop(lua_State* L);
void ZELK_LUA_CC lua_settop(lua_State* L, int idx);
int ZELK_LUA_CC lua_type(lua_State* L, int idx);
const char* ZELK_LUA_CC lua_typename(lua_State* L, int tp);
lua_Number ZELK_LUA_CC lua_tonumber(lua_State* L, int idx);
int ZELK_LUA_CC lua_toboolean(lua_State* L, int idx);
const char* ZELK_LUA_CC lua_tolstring(lua_State* L, int idx, size_t* len);
lua_CFunction ZELK_LUA_CC lua_tocfunction(lua_State* L, int idx);
void* ZELK_LUA_CC lua_touserdata(lua_State* L, int idx);
size_t ZELK_LUA_CC lua_objlen(lua_State* L, int idx);
void ZELK_LUA_CC lua_pushnumber(lua_State* L, lua_Number n);
void ZELK_LUA_CC lua_pushboolean(lua_State* L, int b);
void ZELK_LUA_CC lua_pushstring(lua_State* L, const char* s);
void ZELK_LUA_CC lua_pushlstring(lua_State* L, const char* s, size_t l);
void ZELK_LUA_CC lua_pushnil(lua_State* L);
void ZELK_LUA_CC lua_pushlightuserdata(lua_State* L, void* p);
void ZELK_LUA_CC lua_pushvalue(lua_State* L, int idx);
void ZELK_LUA_CC lua_pushcclosure(lua_State* L, lua_CFunction fn, int n);
void ZELK_LUA_CC lua_gettable(lua_State* L, int idx);
void ZELK_LUA_CC lua_settable(lua_State* L, int idx);
void ZELK_LUA_CC lua_getfield(lua_State* L, int idx, const char* k);
void ZELK_LUA_CC lua_setfield(lua_State* L, int idx, const char* k);
void ZELK_LUA_CC lua_rawget(lua_State* L, int idx);
void ZELK_LUA_CC lua_rawset(lua_State* L, int idx);
void ZELK_LUA_CC lua_rawgeti(lua_State* L, int idx, int n);
void ZELK_LUA_CC lua_rawseti(lua_State* L, int idx, int n);
void ZELK_LUA_CC lua_createtable(lua_State* L, int narr, int nrec);
void ZELK_LUA_CC lua_insert(lua_State* L, int idx);
void ZELK_LUA_CC lua_remove(lua_State* L, int idx);
int ZELK_LUA_CC lua_error(lua_State* L);
int ZELK_LUA_CC lua_gc(lua_State* L, int what, int data);
lua_Alloc ZELK_LUA_CC lua_getallocf(lua_State* L, void** ud);
void ZELK_LUA_CC lua_setallocf(lua_State* L, lua_Alloc f, void* ud);
void* ZELK_LUA_CC lua_newuserdata(lua_State* L, size_t size);

}  // extern "C"
