// client_globals.h: the network client's globals, made at load, freed at unload.
#pragma once

namespace brovane::net {

void createClientGlobals();   // connection object, slotInUse, workerThreads, slot tables
void releaseClientGlobals();  // lastPacket, connection object, tables

}  // namespace brovane::net
