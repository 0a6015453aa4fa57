// run_directory.cpp: edgame, the directory of the process's main program.
#include "run_directory.h"

#include "path.h"
#include "process.h"

namespace lumivet {

static char* resultSlot = nullptr;  // owns the text edgame returned last

zelk::Text directoryOf(const char* programPath) {
  const size_t length =
      zelk::directoryLength(programPath, zelk::sys::pathSeparator(), zelk::sys::isLeadByte);
  return zelk::copyTextBytes(zelk::orEmpty(programPath), length);
}

const char* answerRunDirectory(const char* argument) {
  zelk::Text argumentCopy = zelk::copyText(zelk::orEmpty(argument));  // plays no other part
  char path[260] = {};
  zelk::Text answer = zelk::sys::mainProgramPath(path, sizeof path) ? directoryOf(path)
                                                                    : zelk::copyText("");
  zelk::heapFree(resultSlot);  // only now: old and new never share an address
  resultSlot = answer.release();
  return resultSlot;
}

void releaseResult() {
  zelk::heapFree(resultSlot);
  resultSlot = nullptr;
}

}  // namespace lumivet

extern "C" const char* ZELK_STDCALL edgame(const char* argument) {
  return lumivet::answerRunDirectory(argument);
}
