// run_directory.h: the one export of Lumivet and its result slot.
#pragma once

#include "text.h"

namespace lumivet {

// The directory part of a program path: cut at the last separator (stepping
// over double-byte characters); a path without one stays whole.
zelk::Text directoryOf(const char* programPath);

// The export's work: returns the new content of the calling thread's
// result slot.
const char* answerRunDirectory(const char* argument);

void forgetThread();   // a thread ends (Windows says so; elsewhere its result stays to unload)
void releaseResult();  // unload: every thread's result

}  // namespace lumivet

extern "C" ZELK_EXPORT const char* ZELK_STDCALL edgame(const char* argument);
