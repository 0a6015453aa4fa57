// engine_parts.h: what the engine's three files share: a slot's link, the
// engine's tables, and the steps one file takes for another. Lock order:
// slotsMutex, then a link's mutex, then whatever the platform takes.
#pragma once

#include <atomic>
#include <memory>

#include "engine.h"
#include "heap.h"
#include "worker_threads.h"

namespace brovane::net {

// The slots taken at one moment, in a block of the library's heap: a
// std::vector's size checks would bring the runtime's exception texts into
// the DLL for throws that never happen.
struct SlotList {
  std::unique_ptr<int32_t[], zelk::HeapDeleter> slots;
  size_t count = 0;
  const int32_t* begin() const { return slots.get(); }
  const int32_t* end() const { return slots.get() + count; }
};

// A taken slot's connection state.
struct SlotLink {
  explicit SlotLink(SocketHandle handle) : socket(handle) {}
  zelk::Mutex mutex;
  zelk::ConditionVariable drained;  // no send in flight any more
  const SocketHandle socket;
  IoRecord* receive = nullptr;       // the posted receive, until the closed procedure
  IoRecord* sendInFlight = nullptr;  // one send at a time keeps the wire in order
  IoRecord* queueHead = nullptr;
  IoRecord* queueTail = nullptr;
  size_t unsent = 0;            // bytes of the sends in flight and queued
  IoRecord* posting = nullptr;  // a send whose start call has not returned yet
  bool receivePosting = false;  // the receive's start call has not returned yet
  bool ending = false;          // closeSlotSocket asked for the end
  bool sendingEnded = false;    // our end is sent: the end lingers for the peer's
  // Data came since the script's last frame that went out at once: its next
  // frame answers it, and leaves at once too.
  std::atomic<bool> heardFromPeer{true};
  bool receiveEnded = false;  // the closed procedure has run
};

// A port and pool that a stop left to workers still running (stuck in a
// callback when it gave up on them): kept to the process's end.
struct LeftRunning {
  CompletionPort* port;
  WorkerPool* pool;
  LeftRunning* next;
};

struct EngineState {
  zelk::Mutex slotsMutex;
  zelk::ConditionVariable slotsFreed;
  int32_t taken = 0;
  int32_t slotInUse[slotCount] = {};
  SocketHandle slotSocket[slotCount] = {};
  EventCallback slotCallback[slotCount] = {};
  uint32_t slotCallbackValue[slotCount] = {};
  std::shared_ptr<SlotLink> slotLink[slotCount];
  std::atomic<bool> running{false};  // engineRunning
  bool abandoned = false;            // finishEngineAlone gave up: left to the process's end
  int32_t lowestMaybeFree = 0;       // every slot below this one is taken
  CompletionPort* completionPort = nullptr;
  WorkerPool* workerThreads = nullptr;
  unsigned workerCount = 0;
  LeftRunning* leftRunning = nullptr;
};

extern EngineState* engine;
extern std::atomic<bool> callbacksOff;  // the library is ending: nobody reads the events

inline bool validSlot(int32_t slot) { return slot >= 1 && slot <= slotCount; }

// slots.cpp: the slot table and the receive side.
std::shared_ptr<SlotLink> linkOf(int32_t slot);
void freeSlot(int32_t slot);  // the slot's last operation has ended
void callSlot(int32_t slot, uint32_t event, IoRecord* record, uint32_t bytes);
SlotList slotsInUse();
bool heldByAnEndedThread(int32_t slot);
bool waitForFreeSlots(Clock::time_point until);
void postReceive(int32_t slot, IoRecord* record);
void finishReceive(int32_t slot, IoRecord* record, const Completion& done);
void closeConnection(int32_t slot, IoRecord* record);  // the closed procedure

// send_queue.cpp: records and the ordered sends.
IoRecord* newRecord(size_t blockSize);  // zeroed record, block left to the caller
size_t queueBytes(const IoRecord* record);
void releaseQueue(IoRecord* record);
// Who starts a send: the script with its new frame on an idle connection,
// or a worker going on with the queue. A worker's send, a large frame, or
// a frame that answers data from the peer goes to the system at once; the
// script's other small frames (a run of them with nothing heard between)
// are left to the workers, so that the frames sent meanwhile leave with the
// next send, together.
enum class SendFrom { script, worker };
inline constexpr size_t directSendBytes = 1024;  // frames this long are sent at once
int postSend(int32_t slot, IoRecord* record, SendFrom from);
void finishSend(int32_t slot, IoRecord* record, const Completion& done);

}  // namespace brovane::net
