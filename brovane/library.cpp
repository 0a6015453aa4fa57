// library.cpp: Brovane's globals, created at load and freed at unload.
#include "library.h"

#include "binding/script_bridge.h"
#include "cipher/cipher_exports.h"
#include "fatal.h"
#include "net/client_globals.h"

namespace brovane {

namespace {

// After a fatal box the process ends next, and the box may have come on any
// thread while others are still inside an export or the engine: the held
// connection sends out and ends as at unload, and the memory is left to the
// process's end instead of being freed under those threads.
void unloadAfterFatalBox() { net::finishClient(); }

}  // namespace

void loadLibrary() {
  createScriptBridge();
  net::createClientGlobals();  // connection object, slot tables; the workers start in startEngine
  zelk::setUnloadRoutine(unloadAfterFatalBox);
}

void unloadLibrary() {
  releaseScriptBridge();
  cipher::releaseResultSlots();  // 解密's slot, then 加密's
  net::releaseClientGlobals();   // a held connection sends out and ends first
}

}  // namespace brovane
