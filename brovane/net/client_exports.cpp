// client_exports.cpp: the client exports. (placeholder)
#include "client_globals.h"
#include "exports.h"

namespace brovane::net {
void createClientGlobals() {}
void releaseClientGlobals() {}
}  // namespace brovane::net

extern "C" int ZELK_LUA_CC brovane_connect(lua_State*) { return 0; }
extern "C" int ZELK_LUA_CC brovane_sendData(lua_State*) { return 0; }
extern "C" int ZELK_LUA_CC brovane_getPacket(lua_State*) { return 0; }
extern "C" int ZELK_LUA_CC brovane_disconnect(lua_State*) { return 0; }
extern "C" int ZELK_LUA_CC brovane_isDisconnected(lua_State*) { return 0; }
extern "C" void ZELK_STDCALL brovane_eventCallback(uint32_t, uint32_t, uintptr_t, uint32_t) {}
