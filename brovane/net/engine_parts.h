// engine_parts.h: what the engine's files share: a slot's link, the
// engine's tables, and the steps one file takes for another. Lock order:
// slotsMutex, then a link's mutex, then whatever the platform takes.
#pragma once

#include <atomic>
#include <memory>

#include "engine.h"
#include "heap.h"
#include "send_queue.h"
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
  // No send in flight any more, a start call returned, or the closed procedure ran.
  zelk::ConditionVariable drained;
  const SocketHandle socket;
  IoRecord* receive = nullptr;         // the posted receive, until the closed procedure
  bool attached = false;               // on the port, connected: sends may start
  SendQueue sends;                     // the sends in flight and queued
  IoRecord* posting = nullptr;         // a send whose start call has not returned yet
  IoRecord* receivePosting = nullptr;  // the same for the receive
  bool ending = false;                 // closeSlotSocket asked for the end
  bool sendingEnded = false;           // our end is sent: the end lingers for the peer's
  // Data came since the script's last frame that went out at once: its next
  // frame answers it, and leaves at once too.
  std::atomic<bool> heardFromPeer{true};
  bool receiveEnded = false;         // the closed procedure has run
  bool emptyReceiveDoubted = false;  // the last receive ended empty, the socket said not ended

  // The slot's last operation has ended: the closed procedure has run and no
  // send is in flight. Asked under the mutex by each of the two right after
  // its own end, so exactly one finds it true, and frees the slot.
  bool operationsEnded() const { return receiveEnded && sends.idle(); }
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

// slots.cpp: the slot table, the receive side and the closed procedure.
std::shared_ptr<SlotLink> linkOf(int32_t slot);
void freeSlot(int32_t slot);  // the slot's last operation has ended
void callSlot(int32_t slot, uint32_t event, IoRecord* record, uint32_t bytes);
SlotList slotsInUse();
// Once the workers have ended: false when one ended holding the engine's or
// the link's lock, whose state is then not to be trusted. A start call one
// ended inside counts as returned: the system took the operation or not,
// and its completion, if it comes, is handled here.
bool takeOverFromEndedWorkers(int32_t slot);
bool waitForFreeSlots(Clock::time_point until);
void postReceive(int32_t slot, IoRecord* record);
void finishReceive(int32_t slot, IoRecord* record, const Completion& done);
// An operation can complete before the call that started it has returned,
// and that call may still read the record (Wine's WSASend and WSARecv do):
// its completion waits for that call before reusing or releasing the record.
void awaitStartReturned(IoRecord* record);
void closeConnection(int32_t slot, IoRecord* record);  // the closed procedure

// sends.cpp: the ordered sends, through the link's SendQueue (send_queue.h).
void finishSend(int32_t slot, IoRecord* record, const Completion& done);

}  // namespace brovane::net
