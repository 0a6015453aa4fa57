/* lua_cdecl.h: forced into every source of the stdcall (-mrtd) lua51.dll.
** -mrtd makes callee-pops every call to a function whose declaration names
** no calling convention. The C runtime pops nothing, and mingw-w64's
** string.h declares strncpy without __cdecl, so Lua's calls to it (every
** string.format, every luaO_chunkid) left the stack 12 bytes off. Here Lua
** calls the same symbol through a cdecl declaration. scripts/check-callconv
** reads the built objects for any other such call.
*/
#ifndef lua_cdecl_h
#define lua_cdecl_h

#include <stddef.h>
#include <string.h>

#define LUA_CRT_NAME2(prefix, name) #prefix #name
#define LUA_CRT_NAME(prefix, name) LUA_CRT_NAME2(prefix, name)

char *__cdecl lua_crt_strncpy(char *dst, const char *src,
                              size_t n) __asm__(LUA_CRT_NAME(__USER_LABEL_PREFIX__, strncpy));
#define strncpy lua_crt_strncpy

#endif
