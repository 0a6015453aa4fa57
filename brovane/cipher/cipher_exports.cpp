// cipher_exports.cpp: 加密 and 解密. (placeholder)
#include "cipher_exports.h"

#include "exports.h"

namespace brovane::cipher {
void releaseResultSlots() {}
}  // namespace brovane::cipher

extern "C" int ZELK_LUA_CC brovane_encrypt(lua_State*) { return 0; }
extern "C" int ZELK_LUA_CC brovane_decrypt(lua_State*) { return 0; }
