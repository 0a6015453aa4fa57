// script_bridge.h: ScriptBridge, the thin object around one Lua 5.1 state
// through which every export reads its arguments and pushes its results.
#pragma once

#include <cstdint>

#include "lua_api.h"
#include "text.h"

namespace brovane {

// What an export's inner function returns when Lua's error waits on the
// stack's top.
constexpr int luaErrorOnTop = -1;

// Each export makes one on its own stack for its call, bound to the state it
// was called with: calls from several Lua states on several threads then
// share nothing. The library-wide instance is kept for the host's lifetime
// contract (made at load, freed at unload); no export reads through it.
// Its destructor is trivial on purpose: Lua raises its errors with longjmp,
// which may leave an export's frame while the bridge lives in it.
class ScriptBridge {
 public:
  ScriptBridge() = default;
  explicit ScriptBridge(lua_State* state) : state_(state) {}

  virtual void destroy();              // teardown hook: does nothing
  virtual ScriptBridge* copy() const;  // a new heap object with the same state
  virtual void setState(lua_State* state);
  virtual bool runString(const char* chunk);  // boxes on failure
  virtual int typeAt(int index);
  virtual lua_State* newState();
  virtual void closeState();  // keeps the pointer
  virtual void protectedCall(int argumentCount, int resultCount);
  virtual void getGlobal(const char* name);
  virtual void registerFunction(const char* name, lua_CFunction function);
  virtual void pop(int count);                      // at most the values on the stack
  virtual const char* errorText(int status) const;  // constant, never freed
  virtual double toNumber(int distance);
  virtual lua_CFunction toCFunction(int distance);
  virtual int toBoolean(int distance);
  virtual zelk::Text toText(int distance);  // null when the value has no text form
  virtual void fetchGlobal(const char* name);
  virtual int getTop();
  virtual void dropValues(int count);
  virtual bool isFunction(lua_State* state, int index) const;
  virtual bool isTable(lua_State* state, int index) const;
  virtual bool isLightUserdata(lua_State* state, int index) const;
  virtual bool isNil(lua_State* state, int index) const;
  virtual bool isBoolean(lua_State* state, int index) const;
  virtual bool isNone(lua_State* state, int index) const;
  virtual bool isNoneOrNil(lua_State* state, int index) const;
  virtual void emptyCheck(int32_t, int32_t) const;
  virtual void pushText(const char* text);  // null pushes nil
  virtual void pushFunction(lua_State* state, lua_CFunction function);
  virtual void pushBoolean(int value);
  virtual void pushNumber(double value);
  // The text at distance k without a copy, for exports that read long
  // texts: Lua's own bytes, valid while the value stays on the stack; null
  // when the value has no text form.
  virtual const char* textAt(int distance);

  // textAt with Lua's length of the value in *length (0 for null): a text
  // of that many bytes, which may hold a zero byte before its end.
  const char* textAndLengthAt(int distance, size_t* length);

  // textAndLengthAt with *length cut at the first zero byte, as the exports
  // read a text: Lua's length bounds our own scan, so no byte loop of the C
  // runtime measures a long text.
  const char* textBeforeZeroAt(int distance, size_t* length);

  // Whether the value at distance k is a Lua number (a text that reads as
  // one is not), and then its value in *value.
  bool numberAt(int distance, double* value);

  // pushText for a text whose length the caller knows: Lua need not measure it.
  void pushTextOfLength(const char* text, size_t length);  // null pushes nil

  // pushTextOfLength for a text in a block that the caller must free after;
  // gives the export's result count, 1, or luaErrorOnTop: Lua's memory error
  // then waits on the stack's top instead of leaving the caller's frame with
  // the block. The caller frees, then raises it with raiseOr.
  int pushTextKeepingErrors(const char* text, size_t length);

  ~ScriptBridge() = default;

  lua_State* state() const { return state_; }

 private:
  lua_State* state_ = nullptr;
};

// Raises Lua's own memory error (status LUA_ERRMEM to the host's
// lua_pcall, as a push that finds no room raises it): the state's
// allocator refuses one block, then is itself again.
int raiseMemoryError(lua_State* state);

// raiseOr, in an export's outer extern "C" frame that holds nothing, raises
// the memory error that a push kept waiting, or passes a result count on.
inline int raiseOr(lua_State* state, int resultCount) {
  return resultCount == luaErrorOnTop ? raiseMemoryError(state) : resultCount;
}

ScriptBridge& scriptBridge();  // the library-wide instance; exports use their own
void createScriptBridge();     // load
void releaseScriptBridge();    // unload

}  // namespace brovane
