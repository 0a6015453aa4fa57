// run_directory.cpp: edgame, the directory of the process's main program.
#include "run_directory.h"

#include <new>

#include "path.h"
#include "process.h"
#include "sync.h"

namespace lumivet {

namespace {

// The result slot, one per calling thread: a text edgame returned stays
// valid for its thread until that thread's next call, whatever other
// threads call meanwhile. Each thread adds its own node (allocated outside
// the lock, so an allocation failure never finds it held).
struct ThreadResult {
  unsigned long thread;
  char* text;  // owns the text edgame returned last on this thread
  ThreadResult* next;
};

ThreadResult* results = nullptr;

// Held for a few instructions only. Made at load and never destroyed: the
// unload routine takes it, on Linux after the module's static destructors
// when the process exits.
alignas(zelk::Mutex) unsigned char listMutexRoom[sizeof(zelk::Mutex)];
zelk::Mutex& listMutex = *new (listMutexRoom) zelk::Mutex;

ThreadResult* nodeOf(unsigned long thread) {
  for (ThreadResult* node = results; node != nullptr; node = node->next)
    if (node->thread == thread) return node;
  return nullptr;
}

// Stores answer as the thread's result; the text it held before, if any.
char* replaceResult(unsigned long thread, char* answer) {
  {
    zelk::LockGuard lock(listMutex);
    if (ThreadResult* node = nodeOf(thread)) {
      char* old = node->text;
      node->text = answer;
      return old;
    }
  }
  auto* node = static_cast<ThreadResult*>(zelk::heapAlloc(sizeof(ThreadResult)));
  *node = {thread, answer, nullptr};
  zelk::LockGuard lock(listMutex);
  node->next = results;
  results = node;
  return nullptr;
}

void freeNodes(ThreadResult* node) {
  while (node != nullptr) {
    ThreadResult* next = node->next;
    zelk::heapFreeOwn(node->text);
    zelk::heapFreeOwn(node);
    node = next;
  }
}

}  // namespace

zelk::Text directoryOf(const char* programPath) {
  const size_t length =
      zelk::directoryLength(programPath, zelk::sys::pathSeparator(), zelk::sys::isLeadByte);
  return zelk::copyTextBytes(zelk::orEmpty(programPath), length);
}

const char* answerRunDirectory(const char* argument) {
  zelk::Text argumentCopy = zelk::copyText(zelk::orEmpty(argument));  // plays no other part
  char path[260] = {};
  zelk::Text answer =
      zelk::sys::mainProgramPath(path, sizeof path) ? directoryOf(path) : zelk::copyText("");
  char* result = answer.release();
  zelk::heapFreeOwn(
      replaceResult(zelk::sys::currentThreadId(), result));  // only now: never one address
  return result;
}

void forgetThread() {
  const unsigned long thread = zelk::sys::currentThreadId();
  ThreadResult* gone = nullptr;
  {
    zelk::LockGuard lock(listMutex);
    for (ThreadResult** link = &results; *link != nullptr; link = &(*link)->next) {
      if ((*link)->thread != thread) continue;
      gone = *link;
      *link = gone->next;
      gone->next = nullptr;
      break;
    }
  }
  freeNodes(gone);
}

void releaseResult() {
  ThreadResult* all = nullptr;
  {
    zelk::LockGuard lock(listMutex);
    all = results;
    results = nullptr;
  }
  freeNodes(all);
}

}  // namespace lumivet

extern "C" const char* ZELK_STDCALL edgame(const char* argument) {
  return lumivet::answerRunDirectory(argument);
}
