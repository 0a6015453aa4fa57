// seam_exports.cpp: the allocation seam, exported by the test builds of the
// libraries only (Brovane-seam, Lumivet-seam), never by the deliverables.
#include "box.h"
#include "fatal.h"
#include "heap.h"

namespace {

zelk::UnloadRoutine libraryEnd = nullptr;

// The library's own end after a fatal box, then a line saying that the
// process exits now with status 0: Wine's own teardown sometimes fails after
// that point, so a test under Wine judges the run by this line.
void endThenSay() {
  if (libraryEnd) libraryEnd();
  zelk::sys::writeBoxLine("exit 0", "end", zelk::BoxIcon::none);
}

}  // namespace

// A run with the seam shows its boxes as lines on stderr: a test reads them,
// where a window under Wine would wait for a click that never comes.
extern "C" ZELK_SEAM_EXPORT void zelk_refuseAllocation(long number) {
  zelk::setBoxHook(zelk::sys::writeBoxLine);
  const zelk::UnloadRoutine previous = zelk::setUnloadRoutine(endThenSay);
  if (previous != endThenSay) libraryEnd = previous;
  zelk::refuseAllocationNumber(number);
}

extern "C" ZELK_SEAM_EXPORT long zelk_allocationsCounted() { return zelk::allocationsCounted(); }
