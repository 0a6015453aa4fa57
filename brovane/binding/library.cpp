// library.cpp: Brovane's globals, created at load and freed at unload.
#include "library.h"

#include "cipher/cipher_exports.h"
#include "fatal.h"
#include "net/client_globals.h"
#include "script_bridge.h"

namespace brovane {

void loadLibrary() {
  createScriptBridge();
  net::createClientGlobals();  // connection object, slot tables; the workers start in startEngine
  zelk::setUnloadRoutine(unloadLibrary);
}

void unloadLibrary() {
  releaseScriptBridge();
  cipher::releaseResultSlots();  // 解密's slot, then 加密's
  net::releaseClientGlobals();   // a held connection sends out and ends first
}

}  // namespace brovane
