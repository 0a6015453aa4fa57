// lua_call.h: calling Brovane's Lua exports from a fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lua_api.h"

namespace fuzz {

lua_State* sharedState();  // Brovane loaded, one state for the whole run

// Calls export with the given string arguments; returns its results as
// "s:" + the bytes of a string, or "<nil>", "<false>", "<true>", "<number:N>".
std::vector<std::string> callExport(lua_CFunction exportFunction,
                                    const std::vector<std::string>& arguments);

// Splits fuzz input into count pieces at 0xFF bytes (missing pieces empty).
std::vector<std::string> splitInput(const uint8_t* data, size_t size, size_t count);

[[noreturn]] void fail(const char* what);

}  // namespace fuzz
