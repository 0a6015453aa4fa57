// send_queue.cpp: the I/O records and the ordered sends: one send in flight
// per connection, the frames behind it queued whole, the bound on what waits.
#include <algorithm>
#include <cstring>

#include "engine_parts.h"
#include "heap.h"

namespace brovane::net {

namespace {

std::atomic<long> liveSendRecords{0};
std::atomic<long> startsUntilRefusal{0};  // tests: the system refuses the nth start

// A send record's bytes: those already sent and those still to send.
size_t recordBytes(const IoRecord* record) {
  return static_cast<size_t>(record->bufferData - record->blockStart) + record->bufferLength;
}

// The bound limits what waits, not one frame: a frame of any size goes when
// nothing waits before it, so memory stays under the bound plus one frame.
bool fitsUnsentBound(size_t unsent, size_t frame) {
  return unsent == 0 || (frame <= maxUnsentBytes && frame <= maxUnsentBytes - unsent);
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
IoStart startSendUnlessEnded(IoRecord* record, uint32_t* sent, bool mayFinishNow) {
  SlotLink* link = record->link;
  {
    zelk::LockGuard lock(link->mutex);
    if (link->receiveEnded || link->ending) return IoStart::refused;
    if (startsUntilRefusal > 0 && startsUntilRefusal.fetch_sub(1) == 1) return IoStart::refused;
    link->posting = record;
  }
  const IoStart start = startSend(link->socket, record, sent, mayFinishNow);
  zelk::LockGuard lock(link->mutex);
  link->posting = nullptr;
  link->drained.notify_all();
  if (start == IoStart::pending && link->receiveEnded) cancelOperation(link->socket, record);
  return start;
}

// A send can complete before the call that started it has returned, and
// that call may still read the record (Wine's WSASend does): wait for it.
void awaitStartReturned(IoRecord* record) {
  SlotLink* link = record->link;
  zelk::UniqueLock lock(link->mutex);
  link->drained.wait(lock, [&] { return link->posting != record; });
}

}  // namespace

IoRecord* newRecord(size_t blockSize) {
  // The block is filled before use; only the record itself starts zeroed.
  auto* record = static_cast<IoRecord*>(zelk::heapAllocOrNull(sizeof(IoRecord) + blockSize));
  if (record == nullptr) return nullptr;
  std::memset(record, 0, sizeof(IoRecord));
  record->blockStart = reinterpret_cast<uint8_t*>(record + 1);
  return record;
}

void releaseQueue(IoRecord* record) {
  while (record != nullptr) {
    IoRecord* next = record->next;
    releaseSendRecord(record);
    record = next;
  }
}

size_t queueBytes(const IoRecord* record) {
  size_t bytes = 0;
  for (; record != nullptr; record = record->next) bytes += recordBytes(record);
  return bytes;
}

void finishSend(int32_t slot, IoRecord* record, const Completion& done) {
  awaitStartReturned(record);
  if (!done.succeeded) closeSlotSocket(slot);  // the frames behind it must not follow a hole
  if (done.succeeded && done.bytes < record->bufferLength) {  // the rest goes first
    record->bufferLength -= done.bytes;
    record->bufferData += done.bytes;
    postSend(slot, record, SendFrom::worker);
    return;
  }
  IoRecord* next = finishSendRecord(slot, record);
  if (next != nullptr) postSend(slot, next, SendFrom::worker);
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
    if (link->ending || link->sendingEnded || link->receiveEnded ||
        !fitsUnsentBound(link->unsent, total))
      return 0;
    if (!appendToQueue(link.get(), slot, pieces, total)) return 0;
    link->unsent += total;
    if (link->sendInFlight == nullptr) start = link->sendInFlight = popQueue(link.get());
  }
  if (start == nullptr) return 1;
  return postSend(slot, start, SendFrom::script);
}

int postSend(int32_t slot, IoRecord* record, SendFrom from) {
  // The record is the slot's send in flight, so the slot holds this link.
  const std::shared_ptr<SlotLink> keep = linkOf(slot);
  // Only the script's new frame, refused before any of it left, is refused
  // alone; any other refusal would leave a hole in what the peer reads.
  const IoRecord* mayBeRefusedAlone = from == SendFrom::script ? record : nullptr;
  const bool mayFinishNow = from == SendFrom::worker || record->link->heardFromPeer.exchange(false);
  int firstResult = -1;
  while (record != nullptr) {
    uint32_t sent = 0;
    const bool untouched = record == mayBeRefusedAlone && record->bufferData == record->blockStart;
    const IoStart start = startSendUnlessEnded(record, &sent, mayFinishNow);
    if (start == IoStart::pending) return firstResult < 0 ? 1 : firstResult;
    if (start == IoStart::completed && sent < record->bufferLength) {
      record->bufferLength -= sent;
      record->bufferData += sent;
      continue;
    }
    // Accepted once any of it has left, even if the connection ends now.
    if (firstResult < 0) firstResult = start == IoStart::completed || !untouched ? 1 : 0;
    // A connection found gone ends now: its receive may never learn of it
    // (seen under Wine after a reset). The slot is still ours: this record
    // is its send in flight.
    if (start == IoStart::broken || (start == IoStart::refused && !untouched))
      closeSlotSocket(slot);
    record = finishSendRecord(slot, record);
  }
  return firstResult < 0 ? 1 : firstResult;
}

void releaseSendRecord(IoRecord* record) {
  if (record == nullptr) return;
  --liveSendRecords;
  zelk::heapFreeOwn(record);  // block included
}

size_t unsentBytes(int32_t slot) {
  std::shared_ptr<SlotLink> link = linkOf(slot);
  if (link == nullptr) return 0;
  zelk::LockGuard lock(link->mutex);
  return link->unsent;
}

long sendRecordsLive() { return liveSendRecords; }

void refuseSendStart(long nth) { startsUntilRefusal = nth; }

}  // namespace brovane::net
