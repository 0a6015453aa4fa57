// engine.h: the completion-port engine as its callers use it: its start and
// stop, the connection slots, the sends and receives on them. Written in
// four files: slots.cpp, sends.cpp, send_queue.cpp and engine.cpp (its life).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "completion_port.h"
#include "end_deadlines.h"
#include "sync.h"

namespace brovane::net {

inline constexpr int32_t slotCount = 100000;
inline constexpr int32_t receiveOperation = 1;
inline constexpr int32_t sendOperation = 2;
inline constexpr uint32_t dataEvent = 1;
inline constexpr uint32_t closedEvent = 2;
inline constexpr uint32_t receiveBlockSize = 4096;
// Bytes a connection may hold accepted but not yet sent: a peer that reads
// slowly or never cannot make the process grow without end. A frame that
// finds nothing waiting is accepted whatever its size.
inline constexpr size_t maxUnsentBytes = size_t{16} << 20;
inline constexpr size_t sendChunkBytes = 64 * 1024;  // a queued record's room for frames

using EventCallback = void(ZELK_STDCALL*)(uint32_t value, uint32_t event, uintptr_t record,
                                          uint32_t byteCount);

void createEngineTables();   // load: the slot tables, all free
void releaseEngineTables();  // unload: left alone while the engine runs
bool engineRunning();
// A completion ready now handled on this thread, as a worker would; false
// when none was. The caller keeps the engine from stopping meanwhile.
bool handleReadyCompletion();

int startEngine();                        // 1 when running afterwards
int stopEngine();                         // 0 when it was not running, else 1
int stopEngine(Clock::time_point until);  // the same, done by until
// Ends the engine without relying on its workers: they are told to end
// (on Windows the process's end has ended them already), then this thread
// takes the completions itself while the slot sends out what it accepted and
// ends in order, by until. False when the state could not be trusted or the
// time ran out: the engine is then left to the process's end.
bool finishEngineAlone(int32_t slot, Clock::time_point until);

int32_t findFreeSlot();                              // lowest free slot, 0 when none
inline constexpr uint32_t slotAsValue = 0xFFFFFFFF;  // claimSlot: the value is the slot itself
int32_t claimSlot(uint32_t value, EventCallback callback, SocketHandle socket);
void abandonSlot(int32_t slot);  // a claim whose connect failed: closes the socket
bool attachSlot(int32_t slot, IoRecord* receive);  // associates, posts the first receive

void closeSlotSocket(int32_t slot);  // ends the slot's connection; the worker frees it
// Sends out first, then our end, the peer's, then closes; what is still
// unsent at flushUntil is dropped.
void endSlot(int32_t slot, Clock::time_point flushUntil);

IoRecord* newReceiveRecord();
void releaseReceiveRecord(IoRecord* record);
int sendOnSlot(int32_t slot, const uint8_t* bytes, size_t length);
IoRecord* newSendRecord(size_t length);  // its block is filled by the caller
struct SendPiece {
  const void* bytes;
  size_t length;
};
// Queues the pieces as one run of bytes (a frame): 1 when accepted, 0 when
// refused (no connection, its end, past maxUnsentBytes, refused at once).
int sendPieces(int32_t slot, std::initializer_list<SendPiece> pieces);
void releaseSendRecord(IoRecord* record);

bool slotEnded(int32_t slot);      // its closed procedure has run, or it is free
int32_t slotsTaken();              // for tests: slots not yet freed
size_t unsentBytes(int32_t slot);  // for tests: accepted, not yet sent
long sendRecordsLive();            // for tests: send records not yet released
void refuseSendStart(long nth);    // for tests: the system refuses the nth send start from now
void holdReceiveStarts(void (*hold)());  // for tests: called after each receive start, unlocked

}  // namespace brovane::net
