// machine_exports.cpp: 取机器码, the processor-based machine identifier.
#include "binding/exports.h"
#include "binding/script_bridge.h"
#include "machine/processor_id.h"

extern "C" int ZELK_LUA_CC brovane_machineCode(lua_State* L) {
  brovane::ScriptBridge bridge(L);
  uint32_t values[4] = {};
  brovane::machine::readProcessorId(values);
  char code[36] = {};
  brovane::machine::formatMachineCode(values, code);
  bridge.pushText(code);  // Lua copies it: no heap copy that its error could strand
  return 1;
}
