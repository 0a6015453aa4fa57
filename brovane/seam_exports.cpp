// seam_exports.cpp: the allocation seam, exported by the test build of the
// library only (Brovane-seam), never by the deliverable.
#include "heap.h"

extern "C" ZELK_EXPORT void zelk_refuseAllocation(long number) {
  zelk::refuseAllocationNumber(number);
}

extern "C" ZELK_EXPORT long zelk_allocationsCounted() { return zelk::allocationsCounted(); }
