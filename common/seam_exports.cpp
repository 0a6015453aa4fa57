// seam_exports.cpp: the allocation seam, exported by the test builds of the
// libraries only (Brovane-seam, Lumivet-seam), never by the deliverables.
#include "box.h"
#include "heap.h"

// A run with the seam shows its boxes as lines on stderr: a test reads them,
// where a window under Wine would wait for a click that never comes.
extern "C" ZELK_SEAM_EXPORT void zelk_refuseAllocation(long number) {
  zelk::setBoxHook(zelk::sys::writeBoxLine);
  zelk::refuseAllocationNumber(number);
}

extern "C" ZELK_SEAM_EXPORT long zelk_allocationsCounted() { return zelk::allocationsCounted(); }
