// split_exports.cpp: E_分割文本, 子程序1 and E_取成员数.
#include "binding/exports.h"
#include "binding/script_bridge.h"
#include "split/split_text.h"

namespace {

using brovane::ScriptBridge;
using brovane::split::Span;

// The text at distance k up to its first zero byte; a missing one is empty.
Span spanAt(ScriptBridge& bridge, int distance) {
  size_t length = 0;
  const char* text = bridge.textBeforeZeroAt(distance, &length);
  return Span{zelk::orEmpty(text), length};
}

// The field number; a Lua number that its text form gives back exactly is
// taken as it is, sparing Lua's formatting and our parsing.
double fieldNumberAt(brovane::ScriptBridge& bridge) {
  double number = 0;
  if (bridge.numberAt(1, &number) && brovane::split::readsBackExactly(number)) return number;
  return brovane::split::fieldNumber(bridge.textAt(1));
}

// The texts are borrowed from the stack (they stay there until we return),
// which spares a copy of what may be a long text on every call; the field is
// pushed straight from the text, and Lua copies it.
int splitText(lua_State* L) {
  ScriptBridge bridge(L);
  const Span text = spanAt(bridge, 3);
  const Span separator = spanAt(bridge, 2);
  const double number = fieldNumberAt(bridge);
  Span field{};
  if (!brovane::split::pickField(text, separator, number, &field)) {
    bridge.pushBoolean(0);
    return 1;
  }
  bridge.pushTextOfLength(field.bytes, field.length);
  return 1;
}

}  // namespace

extern "C" int ZELK_LUA_CC brovane_splitText(lua_State* L) { return splitText(L); }

extern "C" int ZELK_LUA_CC brovane_subroutine1(lua_State* L) { return splitText(L); }

extern "C" int ZELK_LUA_CC brovane_memberCount(lua_State* L) {
  ScriptBridge bridge(L);
  const Span text = spanAt(bridge, 2);
  const Span separator = spanAt(bridge, 1);
  bridge.pushNumber(static_cast<double>(brovane::split::countFields(text, separator)));
  return 1;
}
