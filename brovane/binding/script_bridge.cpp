// script_bridge.cpp: the Lua stack bridge and its error boxes.
#include "script_bridge.h"

#include <new>
#include <type_traits>

#include "box.h"
#include "heap.h"
#include "text/byte_scan.h"

namespace brovane {

namespace {

ScriptBridge* theBridge = nullptr;

const char boxTitle[] = "Zelk Error";

// Status texts, GBK; indexed by the meanings of the status table.
const char* const statusTexts[] = {
    "\xC3\xBB\xD3\xD0\xB4\xED\xCE\xF3\xA3\xA1",                                  // 没有错误！
    "\xD4\xCB\xD0\xD0\xB4\xED\xCE\xF3\xA3\xA1",                                  // 运行错误！
    "\xCE\xC4\xBC\xFE\xB4\xED\xCE\xF3\xA3\xA1",                                  // 文件错误！
    "\xD4\xA4\xB1\xE0\xD2\xEB\xCA\xB1\xBE\xE4\xB7\xA8\xB4\xED\xCE\xF3\xA3\xA1",  // 预编译时句法错误！
    "\xC4\xDA\xB4\xE6\xB7\xD6\xC5\xE4\xB4\xED\xCE\xF3\xA3\xA1",  // 内存分配错误！
    "LUA_ERRERR\xA3\xA1",                                        // LUA_ERRERR！
};
const char unknownStatusText[] =
    "\xCE\xB4\xD6\xAA\xB7\xB5\xBB\xD8\xC0\xE0\xD0\xCD!";  // 未知返回类型!

const char scriptErrorHead[] = "\xBD\xC5\xB1\xBE\xB4\xED\xCE\xF3\r\n";           // 脚本错误
const char runtimeErrorHead[] = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED\r\n";  // 运行时出错
const char errorCodeJoint[] = ",\xB4\xED\xCE\xF3\xC2\xEB ==";                    // ,错误码 ==
const char callErrorHead[] = "LUA_\xD4\xCB\xD0\xD0\xCA\xB1\xB4\xED\xCE\xF3\r\n";  // LUA_运行时错误

// Lua 5.1 numbers its statuses differently from the status table; map each
// onto the table's meaning. A yield is no status of the table.
int tableStatusOf(int luaStatus) {
  switch (luaStatus) {
    case LUA_OK_STATUS:
      return 0;
    case LUA_ERRRUN_STATUS:
      return 1;
    case LUA_ERRFILE_STATUS:
      return 2;
    case LUA_ERRSYNTAX_STATUS:
      return 3;
    case LUA_ERRMEM_STATUS:
      return 4;
    case LUA_ERRERR_STATUS:
      return 5;
    default:
      return -1;
  }
}

// Whether distance k names one of the values on the stack; reads past the
// bottom are treated as missing values instead of reaching below the call.
bool onStack(lua_State* state, int distance) {
  return distance >= 1 && distance <= lua_gettop(state);
}

// Lua reads an index below the stack bottom, or a pseudo-index that needs a
// running C function, without a check; such indices name no value here.
// Positive indices past the top are Lua's own "none".
int checkedType(lua_State* state, int index) {
  const bool valid = index > 0 || (index < 0 && -index <= lua_gettop(state)) ||
                     index == LUA_GLOBALS_INDEX || index == LUA_REGISTRY_INDEX;
  return valid ? lua_type(state, index) : LUA_TYPE_NONE;
}

}  // namespace

void ScriptBridge::destroy() {}

ScriptBridge* ScriptBridge::copy() const {
  void* memory = zelk::heapAlloc(sizeof(ScriptBridge));
  auto* twin = new (memory) ScriptBridge;
  twin->state_ = state_;
  return twin;
}

void ScriptBridge::setState(lua_State* state) { state_ = state; }

// The failure box of runString: head, status text, joint, then the message
// that Lua left on the top of the stack (left there).
static void showChunkFailure(const ScriptBridge& bridge, lua_State* state, const char* head,
                             int luaStatus) {
  zelk::Text message;
  if (lua_gettop(state) >= 1) message = zelk::copyText(lua_tolstring(state, -1, nullptr));
  zelk::Text text =
      zelk::joinTexts({head, bridge.errorText(luaStatus), errorCodeJoint, message.get()});
  zelk::showBox(text.get(), boxTitle, zelk::BoxIcon::none);
}

bool ScriptBridge::runString(const char* chunk) {
  const int loadStatus = luaL_loadstring(state_, zelk::orEmpty(chunk));
  luaL_openlibs(state_);
  if (loadStatus != 0) {
    showChunkFailure(*this, state_, scriptErrorHead, loadStatus);
    return false;
  }
  const int runStatus = lua_resume(state_, 0);
  if (runStatus != 0) {
    showChunkFailure(*this, state_, runtimeErrorHead, runStatus);
    return false;
  }
  return true;
}

int ScriptBridge::typeAt(int index) { return checkedType(state_, index); }

lua_State* ScriptBridge::newState() { return state_ = luaL_newstate(); }

void ScriptBridge::closeState() { lua_close(state_); }

void ScriptBridge::protectedCall(int argumentCount, int resultCount) {
  const int status = lua_pcall(state_, argumentCount, resultCount, 0);
  if (status == 0) return;
  zelk::Text text = zelk::joinTexts({callErrorHead, errorText(status)});
  zelk::showBox(text.get(), boxTitle, zelk::BoxIcon::none);
}

void ScriptBridge::getGlobal(const char* name) {
  lua_pushstring(state_, zelk::orEmpty(name));
  lua_gettable(state_, LUA_GLOBALS_INDEX);
}

void ScriptBridge::registerFunction(const char* name, lua_CFunction function) {
  lua_pushstring(state_, zelk::orEmpty(name));
  lua_pushcclosure(state_, function, 0);
  lua_settable(state_, LUA_GLOBALS_INDEX);
}

// Removing more values than the stack holds would move the top below the
// call's base; removing a negative count would grow it unchecked.
void ScriptBridge::pop(int count) {
  const int top = lua_gettop(state_);
  if (count <= 0) return;
  lua_settop(state_, count >= top ? 0 : -count - 1);
}

const char* ScriptBridge::errorText(int status) const {
  const int meaning = tableStatusOf(status);
  return meaning < 0 ? unknownStatusText : statusTexts[meaning];
}

double ScriptBridge::toNumber(int distance) {
  return onStack(state_, distance) ? lua_tonumber(state_, -distance) : 0.0;
}

lua_CFunction ScriptBridge::toCFunction(int distance) {
  return onStack(state_, distance) ? lua_tocfunction(state_, -distance) : nullptr;
}

int ScriptBridge::toBoolean(int distance) {
  return onStack(state_, distance) ? lua_toboolean(state_, -distance) : 0;
}

zelk::Text ScriptBridge::toText(int distance) { return zelk::copyText(textAt(distance)); }

const char* ScriptBridge::textAt(int distance) {
  return onStack(state_, distance) ? lua_tolstring(state_, -distance, nullptr) : nullptr;
}

void ScriptBridge::fetchGlobal(const char* name) { getGlobal(name); }

int ScriptBridge::getTop() { return lua_gettop(state_); }

void ScriptBridge::dropValues(int count) { pop(count); }

bool ScriptBridge::isFunction(lua_State* state, int index) const {
  return checkedType(state, index) == LUA_TYPE_FUNCTION;
}
bool ScriptBridge::isTable(lua_State* state, int index) const {
  return checkedType(state, index) == LUA_TYPE_TABLE;
}
bool ScriptBridge::isLightUserdata(lua_State* state, int index) const {
  return checkedType(state, index) == LUA_TYPE_LIGHTUSERDATA;
}
bool ScriptBridge::isNil(lua_State* state, int index) const {
  return checkedType(state, index) == LUA_TYPE_NIL;
}
bool ScriptBridge::isBoolean(lua_State* state, int index) const {
  return checkedType(state, index) == LUA_TYPE_BOOLEAN;
}
bool ScriptBridge::isNone(lua_State* state, int index) const {
  return checkedType(state, index) == LUA_TYPE_NONE;
}
bool ScriptBridge::isNoneOrNil(lua_State* state, int index) const {
  return checkedType(state, index) <= 0;
}

void ScriptBridge::emptyCheck(int32_t, int32_t) const {}

void ScriptBridge::pushText(const char* text) { lua_pushstring(state_, text); }

const char* ScriptBridge::textAndLengthAt(int distance, size_t* length) {
  *length = 0;
  return onStack(state_, distance) ? lua_tolstring(state_, -distance, length) : nullptr;
}

const char* ScriptBridge::textBeforeZeroAt(int distance, size_t* length) {
  const char* text = textAndLengthAt(distance, length);
  if (text != nullptr) *length = text::lengthBeforeZero(text, *length);
  return text;
}

bool ScriptBridge::numberAt(int distance, double* value) {
  if (!onStack(state_, distance) || lua_type(state_, -distance) != LUA_TYPE_NUMBER) return false;
  *value = lua_tonumber(state_, -distance);
  return true;
}

void ScriptBridge::pushTextOfLength(const char* text, size_t length) {
  if (text == nullptr)
    lua_pushnil(state_);
  else
    lua_pushlstring(state_, text, length);
}

namespace {

struct KeptPush {
  const char* text;
  size_t length;
};
char keptPushKey;  // its address names the pushed text's place in the registry

// Run protected: the text goes into the registry, since lua_cpcall drops
// what its function returns.
int ZELK_LUA_CC pushIntoRegistry(lua_State* state) {
  const auto* push = static_cast<const KeptPush*>(lua_touserdata(state, 1));
  lua_pushlightuserdata(state, &keptPushKey);
  lua_pushlstring(state, push->text, push->length);
  lua_rawset(state, LUA_REGISTRY_INDEX);
  return 0;
}

}  // namespace

// Taking the text back out and clearing its place allocate nothing, so
// neither can raise.
int ScriptBridge::pushTextKeepingErrors(const char* text, size_t length) {
  KeptPush push{text, length};
  if (lua_cpcall(state_, pushIntoRegistry, &push) != 0) return luaErrorOnTop;
  lua_pushlightuserdata(state_, &keptPushKey);
  lua_rawget(state_, LUA_REGISTRY_INDEX);
  lua_pushlightuserdata(state_, &keptPushKey);
  lua_pushnil(state_);
  lua_rawset(state_, LUA_REGISTRY_INDEX);
  return 1;
}

namespace {

struct MemoryRefusal {
  lua_State* state;
  lua_Alloc allocate;  // the state's own allocator
  void* data;
};

// Frees and shrinks go on as before; the first growth puts the state's own
// allocator back and is refused, so Lua raises its memory error.
void* ZELK_LUA_CC refuseGrowth(void* ud, void* block, size_t oldSize, size_t newSize) {
  const auto* refusal = static_cast<const MemoryRefusal*>(ud);
  if (newSize == 0 || (block != nullptr && newSize <= oldSize))
    return refusal->allocate(refusal->data, block, oldSize, newSize);
  lua_setallocf(refusal->state, refusal->allocate, refusal->data);
  return nullptr;
}

}  // namespace

int raiseMemoryError(lua_State* state) {
  MemoryRefusal refusal{state, nullptr, nullptr};
  refusal.allocate = lua_getallocf(state, &refusal.data);
  lua_setallocf(state, refuseGrowth, &refusal);
  lua_newuserdata(state, 1);  // does not return
  lua_setallocf(state, refusal.allocate, refusal.data);
  return lua_error(state);
}

void ScriptBridge::pushFunction(lua_State* state, lua_CFunction function) {
  lua_pushcclosure(state, function, 0);
}

void ScriptBridge::pushBoolean(int value) { lua_pushboolean(state_, value); }

void ScriptBridge::pushNumber(double value) { lua_pushnumber(state_, value); }

ScriptBridge& scriptBridge() { return *theBridge; }

static_assert(std::is_trivially_destructible_v<ScriptBridge>);

void createScriptBridge() { theBridge = new (zelk::heapAlloc(sizeof(ScriptBridge))) ScriptBridge; }

void releaseScriptBridge() {
  if (theBridge == nullptr) return;
  theBridge->destroy();
  theBridge->ScriptBridge::~ScriptBridge();  // exactly a ScriptBridge, never a derived one
  zelk::heapFree(theBridge);
  theBridge = nullptr;
}

}  // namespace brovane
