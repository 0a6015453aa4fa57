// machine_format_posix.cpp: the identifier text through snprintf.
#include <cstdio>

#include "machine/processor_id.h"

namespace brovane::machine {

void formatMachineCode(const uint32_t values[4], char out[36]) {
  std::snprintf(out, 36, "%08X-%08X-%08X-%08X", static_cast<unsigned>(values[0]),
                static_cast<unsigned>(values[1]), static_cast<unsigned>(values[2]),
                static_cast<unsigned>(values[3]));
}

}  // namespace brovane::machine
