// slots.cpp: the connection slots: their tables, claims and frees, the
// receive that each connection keeps posted, and the closed procedure.
#include <algorithm>
#include <new>

#include "engine_parts.h"
#include "heap.h"

namespace brovane::net {

namespace {

std::atomic<void (*)()> receiveStartHold{nullptr};  // tests: a worker held after its start

struct SlotEvents {  // where a slot's events go
  EventCallback callback;
  uint32_t value;
};

SlotEvents eventsOf(int32_t slot) {
  return {engine->slotCallback[slot - 1], engine->slotCallbackValue[slot - 1]};
}

void raise(const SlotEvents& to, uint32_t event, IoRecord* record, uint32_t bytes) {
  if (callbacksOff || to.callback == nullptr) return;
  to.callback(to.value, event, reinterpret_cast<uintptr_t>(record), bytes);
}

// The lowest free slot, or 0 when all are taken; under slotsMutex. The
// search starts above the slots known to be taken, so filling the table
// costs no more than a pass over it.
int32_t lowestFreeSlot() {
  for (int32_t n = engine->lowestMaybeFree; n < slotCount; ++n) {
    if ((engine->slotInUse[n] & 1) != 0) continue;
    engine->lowestMaybeFree = n;
    return n + 1;
  }
  engine->lowestMaybeFree = slotCount;
  return 0;
}

}  // namespace

std::shared_ptr<SlotLink> linkOf(int32_t slot) {
  if (engine == nullptr || !validSlot(slot)) return nullptr;
  zelk::LockGuard lock(engine->slotsMutex);
  return engine->slotLink[slot - 1];
}

void callSlot(int32_t slot, uint32_t event, IoRecord* record, uint32_t bytes) {
  raise(eventsOf(slot), event, record, bytes);
}

// The slot's last operation has ended: its socket closes, the slot is free.
void freeSlot(int32_t slot) {
  zelk::LockGuard lock(engine->slotsMutex);
  const int32_t n = slot - 1;
  closeSocket(engine->slotSocket[n]);
  engine->slotCallbackValue[n] = 0;
  engine->slotSocket[n] = 0;
  engine->slotCallback[n] = nullptr;
  engine->slotInUse[n] = 0;
  engine->lowestMaybeFree = std::min(engine->lowestMaybeFree, n);
  engine->slotLink[n].reset();
  --engine->taken;
  engine->slotsFreed.notify_all();
}

bool takeOverFromEndedWorkers(int32_t slot) {
  zelk::UniqueLock slots(engine->slotsMutex, std::try_to_lock);
  if (!slots.owns_lock()) return false;
  SlotLink* link = validSlot(slot) ? engine->slotLink[slot - 1].get() : nullptr;
  if (link == nullptr) return true;
  zelk::UniqueLock lock(link->mutex, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  link->posting = nullptr;
  link->receivePosting = nullptr;
  return true;
}

bool waitForFreeSlots(Clock::time_point until) {
  zelk::UniqueLock lock(engine->slotsMutex);
  return engine->slotsFreed.wait_until(lock, until, [] { return engine->taken == 0; });
}

// The list is made before the lock is taken: a refusal there must find no
// lock of the engine held (the fatal end still finishes the engine).
SlotList slotsInUse() {
  const auto room = static_cast<size_t>(slotsTaken());
  SlotList list;
  if (room == 0) return list;
  list.slots.reset(static_cast<int32_t*>(zelk::heapAllocUncleared(room * sizeof(int32_t))));
  zelk::LockGuard lock(engine->slotsMutex);
  for (int32_t n = 0; n < slotCount && list.count < room; ++n)
    if (engine->slotInUse[n] & 1) list.slots[list.count++] = n + 1;
  return list;
}

// The tables are megabytes: in pages of their own, so that an unload gives
// them back to the system.
void createEngineTables() {
  if (engine == nullptr) engine = new (zelk::pagesAlloc(sizeof(EngineState))) EngineState;
}

void releaseEngineTables() {
  if (engine == nullptr || engine->running) return;  // workers may still read them
  engine->~EngineState();
  zelk::pagesFree(engine, sizeof(EngineState));
  engine = nullptr;
}

int32_t findFreeSlot() {
  if (engine == nullptr) return 0;
  zelk::LockGuard lock(engine->slotsMutex);
  return lowestFreeSlot();
}

// Found and taken under one hold of the lock: two claims never share a slot.
int32_t claimSlot(uint32_t value, EventCallback callback, SocketHandle socket) {
  std::unique_ptr<SlotLink> link(
      new SlotLink(socket));  // outside the lock: a refusal ends the process
  zelk::LockGuard lock(engine->slotsMutex);
  const int32_t slot = lowestFreeSlot();
  if (slot == 0) return 0;
  const int32_t n = slot - 1;
  engine->slotCallbackValue[n] = value == slotAsValue ? static_cast<uint32_t>(slot) : value;
  engine->slotInUse[n] = 1;
  engine->slotSocket[n] = socket;
  engine->slotCallback[n] = callback;
  engine->slotLink[n].reset(link.release());  // make_shared would pin the module for good
  engine->lowestMaybeFree = n + 1;
  ++engine->taken;
  return slot;
}

void abandonSlot(int32_t slot) { freeSlot(slot); }

// A send started before the socket is on the port would end with no
// completion, and hold every frame queued behind it: none starts before.
bool attachSlot(int32_t slot, IoRecord* receive) {
  std::shared_ptr<SlotLink> link = linkOf(slot);
  if (link == nullptr ||
      !associateSocket(engine->completionPort, link->socket, static_cast<uintptr_t>(slot))) {
    releaseReceiveRecord(receive);
    if (link != nullptr) abandonSlot(slot);
    return false;
  }
  receive->operation = receiveOperation;
  receive->slot = slot;
  receive->link = link.get();
  {
    zelk::LockGuard lock(link->mutex);
    link->receive = receive;
    link->attached = true;
  }
  postReceive(slot, receive);
  return true;
}

void closeSlotSocket(int32_t slot) {
  if (engine == nullptr || !validSlot(slot)) return;
  zelk::LockGuard slots(engine->slotsMutex);
  SlotLink* link = engine->slotLink[slot - 1].get();
  if (link == nullptr) return;
  zelk::LockGuard lock(link->mutex);
  if (link->ending || link->receiveEnded) return;  // each connection ends once
  link->ending = true;
  if (link->receive != nullptr) cancelOperation(link->socket, link->receive);
}

IoRecord* newReceiveRecord() {
  IoRecord* record = newRecord(receiveBlockSize);
  if (record == nullptr) return nullptr;
  record->bufferLength = receiveBlockSize;
  record->bufferData = record->blockStart;
  return record;
}

void releaseReceiveRecord(IoRecord* record) { zelk::heapFreeOwn(record); }  // block included

// The system call runs outside the link's lock: the script's next frame,
// often the answer to what just came, need not wait for it. An end asked
// meanwhile may have missed the receive in its cancel: it is cancelled here.
// Once started, the receive can end and free the slot on another worker
// before the call returns: the link is kept for the lock taken after it.
void postReceive(int32_t slot, IoRecord* record) {
  const std::shared_ptr<SlotLink> keep = linkOf(slot);
  SlotLink* link = record->link;
  bool refused = false;
  {
    zelk::LockGuard lock(link->mutex);
    refused = link->ending;
    link->receivePosting = refused ? nullptr : record;
  }
  if (!refused) {
    refused = startReceive(link->socket, record) == IoStart::refused;
    if (auto hold = receiveStartHold.load()) hold();
    zelk::LockGuard lock(link->mutex);
    link->receivePosting = nullptr;
    link->drained.notify_all();
    // After the closed procedure the record is gone, and so is the receive.
    if (!refused && link->ending && !link->receiveEnded) cancelOperation(link->socket, record);
  }
  if (refused) closeConnection(slot, record);
}

void awaitStartReturned(IoRecord* record) {
  SlotLink* link = record->link;
  zelk::UniqueLock lock(link->mutex);
  link->drained.wait(lock,
                     [&] { return link->posting != record && link->receivePosting != record; });
}

// An empty receive the socket does not confirm as the end is doubted once:
// the receive is posted again, and a second one in a row is the end.
static bool peerEnded(SlotLink* link) {
  const bool doubted = link->emptyReceiveDoubted;
  link->emptyReceiveDoubted = !doubted && !endConfirmed(link->socket);
  return !link->emptyReceiveDoubted;
}

void finishReceive(int32_t slot, IoRecord* record, const Completion& done) {
  awaitStartReturned(record);
  if (!done.succeeded || (done.bytes == 0 && peerEnded(record->link))) {  // failed, or the end
    closeConnection(slot, record);
    return;
  }
  if (done.bytes == 0) return postReceive(slot, record);
  record->link->emptyReceiveDoubted = false;
  record->link->heardFromPeer = true;
  callSlot(slot, dataEvent, record, done.bytes);
  postReceive(slot, record);
}

void closeConnection(int32_t slot, IoRecord* record) {
  SlotLink* link = record->link;
  const SlotEvents events = eventsOf(slot);  // the slot is surely still ours here
  bool lastOperation = false;
  {
    zelk::LockGuard lock(link->mutex);
    link->receiveEnded = true;
    link->receive = nullptr;
    // Released here, under the lock: the send in flight may end the slot
    // as soon as the lock is free, and a freed slot owns no records.
    link->sends.dropQueued();
    lastOperation = link->operationsEnded();
    if (!lastOperation) cancelOperation(link->socket, link->sends.inFlight());
    link->drained.notify_all();
  }
  // Told after the connection stopped taking sends: a script that sees the
  // flag sees its sends refused.
  raise(events, closedEvent, record, 0);
  releaseReceiveRecord(record);
  if (lastOperation) freeSlot(slot);
}

int32_t slotsTaken() {
  if (engine == nullptr) return 0;
  zelk::LockGuard lock(engine->slotsMutex);
  return engine->taken;
}

void holdReceiveStarts(void (*hold)()) { receiveStartHold = hold; }

bool slotEnded(int32_t slot) {
  std::shared_ptr<SlotLink> link = linkOf(slot);
  if (link == nullptr) return true;
  zelk::LockGuard lock(link->mutex);
  return link->receiveEnded;
}

}  // namespace brovane::net
