// engine.cpp: the completion-port engine, written once above the platform:
// slot tables, worker dispatch, the closed procedure, ordered sends.
#include "engine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "heap.h"
#include "worker_threads.h"

namespace brovane::net {

// A taken slot's connection state. Lock order: slotsMutex, then a link's
// mutex, then whatever the platform takes.
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
  bool ending = false;          // closeSlotSocket asked for the end
  bool receiveEnded = false;    // the closed procedure has run
};

namespace {

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
  bool abandoned = false;
  int32_t lowestMaybeFree = 0;  // every slot below this one is taken            //
                                // finishEngineAlone gave up: left to the process's end
  CompletionPort* completionPort = nullptr;
  WorkerPool* workerThreads = nullptr;
  unsigned workerCount = 0;
};

EngineState* engine = nullptr;
std::atomic<long> liveSendRecords{0};
std::atomic<bool> callbacksOff{false};  // the library is ending: nobody reads the events

bool validSlot(int32_t slot) { return slot >= 1 && slot <= slotCount; }

std::shared_ptr<SlotLink> linkOf(int32_t slot) {
  if (engine == nullptr || !validSlot(slot)) return nullptr;
  zelk::LockGuard lock(engine->slotsMutex);
  return engine->slotLink[slot - 1];
}

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

// A send record's bytes: those already sent and those still to send.
size_t recordBytes(const IoRecord* record) {
  return static_cast<size_t>(record->bufferData - record->blockStart) + record->bufferLength;
}

void releaseQueue(IoRecord* record) {
  while (record != nullptr) {
    IoRecord* next = record->next;
    releaseSendRecord(record);
    record = next;
  }
}

// The bound limits what waits, not one frame: a frame of any size goes when
// nothing waits before it, so memory stays under the bound plus one frame.
bool fitsUnsentBound(size_t unsent, size_t frame) {
  return unsent == 0 || (frame <= maxUnsentBytes && frame <= maxUnsentBytes - unsent);
}

size_t queueBytes(const IoRecord* record) {
  size_t bytes = 0;
  for (; record != nullptr; record = record->next) bytes += recordBytes(record);
  return bytes;
}

std::chrono::milliseconds leftUntil(Clock::time_point until) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
  return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

IoRecord* newRecord(size_t blockSize) {
  // The block is filled before use; only the record itself starts zeroed.
  auto* record = static_cast<IoRecord*>(zelk::heapAllocOrNull(sizeof(IoRecord) + blockSize));
  if (record == nullptr) return nullptr;
  std::memset(record, 0, sizeof(IoRecord));
  record->blockStart = reinterpret_cast<uint8_t*>(record + 1);
  return record;
}

IoRecord* popQueue(SlotLink* link) {
  IoRecord* head = link->queueHead;
  if (head == nullptr) return nullptr;
  link->queueHead = head->next;
  if (link->queueHead == nullptr) link->queueTail = nullptr;
  head->next = nullptr;
  return head;
}

// Frames go into the room left in the last queued record, the rest into a
// new one: while a send is in flight, what follows it leaves in one send.
// The new record is made before anything is written, so a frame is queued
// whole or not at all. Under the link's lock.
bool appendToQueue(SlotLink* link, int32_t slot, std::initializer_list<SendPiece> pieces,
                   size_t total) {
  const size_t chunk = link->sendInFlight != nullptr ? sendChunkBytes : 0;  // room for more
  IoRecord* tail = link->queueTail;
  const size_t room = tail != nullptr ? tail->capacity - tail->bufferLength : 0;
  const size_t inTail = std::min(room, total);
  IoRecord* fresh = nullptr;
  if (total > inTail) {
    fresh = newSendRecord(std::max(chunk, total - inTail));
    if (fresh == nullptr) return false;
    fresh->bufferLength = 0;
    fresh->slot = slot;
    fresh->link = link;
  }
  uint8_t* out = inTail > 0 ? tail->blockStart + tail->bufferLength : fresh->blockStart;
  size_t outLeft = inTail > 0 ? inTail : total;
  for (const SendPiece& piece : pieces) {
    const auto* bytes = static_cast<const uint8_t*>(piece.bytes);
    for (size_t left = piece.length; left > 0;) {
      if (outLeft == 0) {  // the tail is full: on into the new record
        out = fresh->blockStart;
        outLeft = total - inTail;
      }
      const size_t step = std::min(left, outLeft);
      std::memcpy(out, bytes, step);
      out += step, bytes += step, left -= step, outLeft -= step;
    }
  }
  if (inTail > 0) tail->bufferLength += static_cast<uint32_t>(inTail);
  if (fresh != nullptr) {
    fresh->bufferLength = static_cast<uint32_t>(total - inTail);
    (tail != nullptr ? tail->next : link->queueHead) = fresh;
    link->queueTail = fresh;
  }
  return true;
}

// A send record is done with: the next queued one goes in flight.
IoRecord* finishSendRecord(int32_t slot, IoRecord* record) {
  SlotLink* link = record->link;
  IoRecord* next = nullptr;
  bool lastOperation = false;
  {
    zelk::LockGuard lock(link->mutex);
    next = popQueue(link);
    link->sendInFlight = next;
    link->unsent -= recordBytes(record);
    if (next == nullptr) link->drained.notify_all();
    lastOperation = next == nullptr && link->receiveEnded;
  }
  releaseSendRecord(record);
  if (lastOperation) freeSlot(slot);
  return next;
}

// A connection whose closed procedure ran takes no more sends.
// The system call runs outside the link's lock, so frames queue meanwhile.
// An end that came between the check and the start may have missed the
// send in its cancel: the send is cancelled here then. The caller keeps the
// link alive.
IoStart startSendUnlessEnded(IoRecord* record, uint32_t* sent, SendFrom from) {
  SlotLink* link = record->link;
  {
    zelk::LockGuard lock(link->mutex);
    if (link->receiveEnded) return IoStart::refused;
    link->posting = record;
  }
  const IoStart start = startSend(link->socket, record, sent, from == SendFrom::worker);
  zelk::LockGuard lock(link->mutex);
  link->posting = nullptr;
  link->drained.notify_all();
  if (start == IoStart::pending && link->receiveEnded) cancelOperation(link->socket, record);
  return start;
}

void finishReceive(int32_t slot, IoRecord* record, const Completion& done) {
  if (!done.succeeded || done.bytes == 0) {  // failed, or the peer's orderly end
    closeConnection(slot, record);
    return;
  }
  callSlot(slot, dataEvent, record, done.bytes);
  postReceive(slot, record);
}

// A send can complete before the call that started it has returned, and
// that call may still read the record (Wine's WSASend does): wait for it.
void awaitStartReturned(IoRecord* record) {
  SlotLink* link = record->link;
  zelk::UniqueLock lock(link->mutex);
  link->drained.wait(lock, [&] { return link->posting != record; });
}

void finishSend(int32_t slot, IoRecord* record, const Completion& done) {
  awaitStartReturned(record);
  if (done.succeeded && done.bytes < record->bufferLength) {  // the rest goes first
    record->bufferLength -= done.bytes;
    record->bufferData += done.bytes;
    postSend(slot, record, SendFrom::worker);
    return;
  }
  IoRecord* next = finishSendRecord(slot, record);
  if (next != nullptr) postSend(slot, next, SendFrom::worker);
}

void handleCompletion(const Completion& done) {
  if (done.key == stopKey || done.record == nullptr) return;
  if (!validSlot(static_cast<int32_t>(done.key))) return;
  const auto slot = static_cast<int32_t>(done.key);
  const int32_t operation = done.record->operation;  // the record may be gone after
  if (operation == receiveOperation) finishReceive(slot, done.record, done);
  if (operation == sendOperation) finishSend(slot, done.record, done);
}

// With no worker left: this thread takes one completion and handles it.
// False when none came by until.
bool handleOneHere(Clock::time_point until) {
  const auto left = leftUntil(until);
  Completion done;
  if (left.count() == 0 ||
      !waitCompletionFor(engine->completionPort, static_cast<unsigned>(left.count()), &done))
    return false;
  handleCompletion(done);
  return true;
}

// Waits until ready() holds for the link, by until: on what the workers
// signal, or, alone, by handling the completions on this thread.
template <typename Ready>
bool awaitLink(SlotLink* link, Clock::time_point until, bool alone, Ready ready) {
  zelk::UniqueLock lock(link->mutex);
  if (!alone) return link->drained.wait_until(lock, until, ready);
  while (!ready()) {
    lock.unlock();
    const bool handled = handleOneHere(until);
    lock.lock();
    if (!handled) return ready();
  }
  return true;
}

void endSlotBy(int32_t slot, Clock::time_point flushUntil, bool alone) {
  std::shared_ptr<SlotLink> link = linkOf(slot);
  if (link == nullptr) return;
  const bool sentOut = awaitLink(link.get(), flushUntil, alone, [&] {
    return link->sendInFlight == nullptr || link->receiveEnded;
  });
  {
    zelk::LockGuard lock(link->mutex);
    if (link->receiveEnded || link->ending) return;
    if (sentOut) shutdownSending(link->socket);
  }
  // Closing with data still coming in would reset the connection, and a
  // reset can cost the peer the frames it has not read yet: the receive
  // stays posted until the peer ends too, within the same time.
  if (sentOut) awaitLink(link.get(), flushUntil, alone, [&] { return link->receiveEnded; });
  closeSlotSocket(slot);  // what was not sent by now is dropped
}

// Whether a thread ended inside the engine: a lock of it is held, or a send
// it was starting is marked as such for good.
bool heldByAnEndedThread(int32_t slot) {
  zelk::UniqueLock slots(engine->slotsMutex, std::try_to_lock);
  if (!slots.owns_lock()) return true;
  SlotLink* link = validSlot(slot) ? engine->slotLink[slot - 1].get() : nullptr;
  if (link == nullptr) return false;
  zelk::UniqueLock lock(link->mutex, std::try_to_lock);
  return !lock.owns_lock() || link->posting != nullptr;  // or it ended inside a send's start
}

bool waitForFreeSlots(Clock::time_point until) {
  zelk::UniqueLock lock(engine->slotsMutex);
  return engine->slotsFreed.wait_until(lock, until, [] { return engine->taken == 0; });
}

// The list is made before the lock is taken: a refusal there must find no
// lock of the engine held (the fatal end still finishes the engine).
std::vector<int32_t> slotsInUse() {
  std::vector<int32_t> slots(static_cast<size_t>(slotsTaken()));
  size_t found = 0;
  zelk::LockGuard lock(engine->slotsMutex);
  for (int32_t n = 0; n < slotCount && found < slots.size(); ++n)
    if (engine->slotInUse[n] & 1) slots[found++] = n + 1;
  slots.resize(found);
  return slots;
}

}  // namespace

void createEngineTables() {
  if (engine == nullptr) engine = new EngineState;
}

void releaseEngineTables() {
  if (engine == nullptr || engine->running) return;  // workers may still read them
  delete engine;
  engine = nullptr;
}

bool engineRunning() { return engine != nullptr && engine->running; }

int startEngine() {
  if (engine == nullptr) return 0;
  if (engine->running) return 1;
  if (!startSockets()) return 0;
  engine->completionPort = createCompletionPort();
  if (engine->completionPort == nullptr) return 0;
  pinModule();  // the host may free the library while workers run
  engine->workerCount = 2 * processorCount();
  engine->workerThreads = startWorkerPool(engine->workerCount, workerLoop);
  if (engine->workerThreads == nullptr) {
    closeCompletionPort(engine->completionPort);
    unpinModule();
    return 0;
  }
  engine->running = true;
  return 1;
}

bool finishEngineAlone(int32_t slot, Clock::time_point until) {
  if (!engineRunning()) return true;
  if (engine->abandoned) return false;  // a second try would only cost the time again
  engine->abandoned = true;             // until it has ended below
  for (unsigned i = 0; i < engine->workerCount; ++i) postStopKey(engine->completionPort);
  const bool workersEnded =
      stopWorkerPool(engine->workerThreads, static_cast<unsigned>(aloneWorkersWait.count()));
  engine->workerThreads = nullptr;
  if (!workersEnded || heldByAnEndedThread(slot)) return false;  // its state is not to be trusted
  callbacksOff = true;
  endSlotBy(slot, until, true);
  for (int32_t other : slotsInUse()) closeSlotSocket(other);
  while (slotsTaken() > 0 && handleOneHere(until)) {
  }
  if (slotsTaken() > 0) return false;  // their records may still be in the system's hands
  engine->abandoned = false;
  closeCompletionPort(engine->completionPort);
  engine->completionPort = nullptr;
  engine->running = false;
  return true;  // the module reference stays: the loader is at work
}

int stopEngine() { return stopEngine(endDeadlinesFrom(Clock::now()).stop); }

int stopEngine(Clock::time_point until) {
  if (!engineRunning()) return 0;
  using std::chrono::milliseconds;
  for (int32_t slot : slotsInUse()) closeSlotSocket(slot);
  // Their closed procedures run before the stop keys; the workers keep a
  // little time of their own even when the slots took all.
  const milliseconds workersAtLeast(100);
  waitForFreeSlots(until - workersAtLeast);
  for (unsigned i = 0; i < engine->workerCount; ++i) postStopKey(engine->completionPort);
  const auto workersLeft = std::max(leftUntil(until), workersAtLeast);
  const bool allEnded =
      stopWorkerPool(engine->workerThreads, static_cast<unsigned>(workersLeft.count()));
  engine->workerThreads = nullptr;
  closeCompletionPort(engine->completionPort);
  engine->completionPort = nullptr;
  engine->running = false;
  if (allEnded) unpinModule();  // a forced worker may still need our code
  return 1;
}

void workerLoop() {
  for (;;) {
    const Completion done = waitCompletion(engine->completionPort);
    if (done.key == stopKey) return;
    handleCompletion(done);
  }
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
  engine->slotCallbackValue[n] = value;
  engine->slotInUse[n] = 1;
  engine->slotSocket[n] = socket;
  engine->slotCallback[n] = callback;
  engine->slotLink[n].reset(link.release());  // make_shared would pin the module for good
  engine->lowestMaybeFree = n + 1;
  ++engine->taken;
  return slot;
}

void abandonSlot(int32_t slot) { freeSlot(slot); }

bool attachSlot(int32_t slot, IoRecord* receive) {
  std::shared_ptr<SlotLink> link = linkOf(slot);
  if (link == nullptr) return false;
  receive->operation = receiveOperation;
  receive->slot = slot;
  receive->link = link.get();
  {
    zelk::LockGuard lock(link->mutex);
    link->receive = receive;
  }
  associateSocket(engine->completionPort, link->socket, static_cast<uintptr_t>(slot));
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

void endSlot(int32_t slot, Clock::time_point flushUntil) { endSlotBy(slot, flushUntil, false); }

IoRecord* newReceiveRecord() {
  IoRecord* record = newRecord(receiveBlockSize);
  if (record == nullptr) return nullptr;
  record->bufferLength = receiveBlockSize;
  record->bufferData = record->blockStart;
  return record;
}

void releaseReceiveRecord(IoRecord* record) { zelk::heapFreeOwn(record); }  // block included

void postReceive(int32_t slot, IoRecord* record) {
  SlotLink* link = record->link;
  bool refused = false;
  {
    zelk::LockGuard lock(link->mutex);  // an end asked meanwhile is not missed
    refused = link->ending || startReceive(link->socket, record) == IoStart::refused;
  }
  if (refused) closeConnection(slot, record);
}

int sendOnSlot(int32_t slot, const uint8_t* bytes, size_t length) {
  return sendPieces(slot, {{bytes, length}});
}

IoRecord* newSendRecord(size_t length) {
  if (length == 0 || length > UINT32_MAX) return nullptr;
  IoRecord* record = newRecord(length);
  if (record == nullptr) return nullptr;
  ++liveSendRecords;
  record->operation = sendOperation;
  record->capacity = static_cast<uint32_t>(length);
  record->bufferLength = static_cast<uint32_t>(length);
  record->bufferData = record->blockStart;
  return record;
}

int sendPieces(int32_t slot, std::initializer_list<SendPiece> pieces) {
  size_t total = 0;
  for (const SendPiece& piece : pieces) total += piece.length;
  std::shared_ptr<SlotLink> link = linkOf(slot);
  if (total == 0 || link == nullptr) return 0;
  IoRecord* start = nullptr;
  {
    zelk::LockGuard lock(link->mutex);
    // Refused like a send the system refuses: the connection stays, and
    // nothing accepted before is dropped.
    if (link->ending || link->receiveEnded || !fitsUnsentBound(link->unsent, total)) return 0;
    if (!appendToQueue(link.get(), slot, pieces, total)) return 0;
    link->unsent += total;
    if (link->sendInFlight == nullptr) start = link->sendInFlight = popQueue(link.get());
  }
  if (start == nullptr) return 1;
  return postSend(slot, start, total >= directSendBytes ? SendFrom::worker : SendFrom::script);
}

int postSend(int32_t slot, IoRecord* record, SendFrom from) {
  // The record is the slot's send in flight, so the slot holds this link.
  const std::shared_ptr<SlotLink> keep = linkOf(slot);
  int firstResult = -1;
  while (record != nullptr) {
    uint32_t sent = 0;
    const IoStart start = startSendUnlessEnded(record, &sent, from);
    if (start == IoStart::pending) return firstResult < 0 ? 1 : firstResult;
    if (start == IoStart::completed && sent < record->bufferLength) {
      record->bufferLength -= sent;
      record->bufferData += sent;
      continue;
    }
    if (firstResult < 0) firstResult = start == IoStart::completed ? 1 : 0;
    // A connection found gone ends now: its receive may never learn of it
    // (seen under Wine after a reset). The slot is still ours: this record
    // is its send in flight.
    if (start == IoStart::broken) closeSlotSocket(slot);
    record = finishSendRecord(slot, record);
  }
  return firstResult < 0 ? 1 : firstResult;
}

void releaseSendRecord(IoRecord* record) {
  if (record == nullptr) return;
  --liveSendRecords;
  zelk::heapFreeOwn(record);  // block included
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
    link->unsent -= queueBytes(link->queueHead);
    releaseQueue(link->queueHead);
    link->queueHead = link->queueTail = nullptr;
    lastOperation = link->sendInFlight == nullptr;
    if (!lastOperation) cancelOperation(link->socket, link->sendInFlight);
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

bool slotEnded(int32_t slot) {
  std::shared_ptr<SlotLink> link = linkOf(slot);
  if (link == nullptr) return true;
  zelk::LockGuard lock(link->mutex);
  return link->receiveEnded;
}

size_t unsentBytes(int32_t slot) {
  std::shared_ptr<SlotLink> link = linkOf(slot);
  if (link == nullptr) return 0;
  zelk::LockGuard lock(link->mutex);
  return link->unsent;
}

long sendRecordsLive() { return liveSendRecords; }

}  // namespace brovane::net
