// export_names_posix.cpp: the GBK export names of Brovane.so. C++ names
// cannot hold GBK bytes, so each export is a symbol named by an asm label.
#include "binding/exports.h"

#define BROVANE_LUA_EXPORT(ordinal, internal, gbk, alias)               \
  extern "C" ZELK_EXPORT int internal##_gbk(lua_State* L) __asm__(gbk); \
  extern "C" int internal##_gbk(lua_State* L) { return internal(L); }
#define BROVANE_CALLBACK_EXPORT(ordinal, internal, gbk)                                        \
  extern "C" ZELK_EXPORT void internal##_gbk(uint32_t value, uint32_t event, uintptr_t record, \
                                             uint32_t count) __asm__(gbk);                     \
  extern "C" void internal##_gbk(uint32_t value, uint32_t event, uintptr_t record,             \
                                 uint32_t count) {                                             \
    internal(value, event, record, count);                                                     \
  }
#include "export_table.inc"
