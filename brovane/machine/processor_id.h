// processor_id.h: the four CPUID values of the machine identifier.
#pragma once

#include <cstdint>

namespace brovane::machine {

// EDX and EAX of leaf 1, then EDX and ECX of leaf 3, as the processor gives
// them (many return zeros for leaf 3).
void readProcessorId(uint32_t values[4]);

// "%08X-%08X-%08X-%08X" of the four values into a 36-byte buffer.
void formatMachineCode(const uint32_t values[4], char out[36]);

}  // namespace brovane::machine
