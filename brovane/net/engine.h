// engine.h: the completion-port engine: its worker threads, the connection
// slots and the records of the operations in flight.
#pragma once

#include <cstddef>
#include <cstdint>

#include "completion_port.h"
#include "lua_api.h"

namespace brovane::net {

inline constexpr int32_t slotCount = 100000;
inline constexpr int32_t receiveOperation = 1;
inline constexpr int32_t sendOperation = 2;
inline constexpr uint32_t dataEvent = 1;
inline constexpr uint32_t closedEvent = 2;
inline constexpr uint32_t receiveBlockSize = 4096;
inline constexpr unsigned stopTimeoutMs = 5000;    // workers, then forced
inline constexpr unsigned drainTimeoutMs = 5000;   // queued sends before a close
inline constexpr unsigned lingerTimeoutMs = 2000;  // the peer's end after ours

using EventCallback = void(ZELK_STDCALL*)(uint32_t value, uint32_t event, uintptr_t record,
                                          uint32_t byteCount);

struct SlotLink;

// One outstanding receive or send; read-write heap memory with its data
// block right behind it.
struct IoRecord {
  PlatformOverlapped overlapped;  // first: a completion hands back this address
  int32_t operation;
  uint32_t bufferLength;  // bytes to receive into, or still to send
  uint8_t* bufferData;    // the receive buffer, or the next byte to send
  uint8_t* blockStart;    // sends: the block's start
  int32_t slot;           // the slot whose socket the record works on
  SlotLink* link;         // that slot's send queue and state
  IoRecord* next;         // the send queue behind the send in flight
};

void createEngineTables();   // load: the slot tables, all free
void releaseEngineTables();  // unload: left alone while the engine runs
bool engineRunning();

int startEngine();             // 1 when running afterwards
int stopEngine();              // 0 when it was not running, else 1
bool engineMayStopAtUnload();  // stopped already, or the unload may wait for it
void stopEngineAtUnload();     // keeps the module reference: the loader is at work
void workerLoop();

int32_t findFreeSlot();  // lowest free slot, 0 when none
int32_t claimSlot(uint32_t value, EventCallback callback, SocketHandle socket);
void abandonSlot(int32_t slot);  // a claim whose connect failed: closes the socket
bool attachSlot(int32_t slot, IoRecord* receive);  // associates, posts the first receive

void closeSlotSocket(int32_t slot);  // ends the slot's connection; the worker frees it
void endSlot(int32_t slot);          // sends out first, then our end, the peer's, then closes

IoRecord* newReceiveRecord();
void releaseReceiveRecord(IoRecord* record);
void postReceive(int32_t slot, IoRecord* record);
int sendOnSlot(int32_t slot, const uint8_t* bytes, size_t length);
IoRecord* newSendRecord(size_t length);                // its block is filled by the caller
int sendRecordOnSlot(int32_t slot, IoRecord* record);  // takes the record in every case
int postSend(int32_t slot, IoRecord* record);
void releaseSendRecord(IoRecord* record);
void closeConnection(int32_t slot, IoRecord* record);

int32_t slotsTaken();  // for tests: slots not yet freed

}  // namespace brovane::net
