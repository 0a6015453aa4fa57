// client_globals.h: the network client's globals, made at load, freed at unload.
#pragma once

namespace brovane::net {

void createClientGlobals();  // connection object, slot tables; the workers start in startEngine
// Ends a connection still held (what it accepted goes out, in bounded
// time) and the engine, without its workers; false when the engine could
// not be finished and is left to the process's end.
bool finishClient();
// finishClient, then frees lastPacket, the connection object and the tables.
void releaseClientGlobals();

}  // namespace brovane::net
