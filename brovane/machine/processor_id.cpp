// processor_id.cpp: CPUID leaves 1 and 3 (gcc and mingw alike).
#include "machine/processor_id.h"

#include <cpuid.h>

namespace brovane::machine {

void readProcessorId(uint32_t values[4]) {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  values[0] = values[1] = values[2] = values[3] = 0;
  __cpuid_count(1, 0, eax, ebx, ecx, edx);
  values[0] = edx;
  values[1] = eax;
  __cpuid_count(3, 0, eax, ebx, ecx, edx);
  values[2] = edx;
  values[3] = ecx;
}

}  // namespace brovane::machine
