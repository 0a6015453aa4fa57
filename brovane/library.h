// library.h: load and unload of Brovane: its globals, in their order.
#pragma once

namespace brovane {

void loadLibrary();    // the process attaches the library
void unloadLibrary();  // the process detaches it

}  // namespace brovane
