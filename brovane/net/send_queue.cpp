// send_queue.cpp: the I/O records and a connection's send queue: one send in
// flight per connection, the frames behind it queued whole, the bound on
// what waits. The only place where the unsent count changes.
#include "send_queue.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "heap.h"

namespace brovane::net {

namespace {

std::atomic<long> liveSendRecords{0};

// A send record's bytes: those already sent and those still to send.
size_t recordBytes(const IoRecord* record) {
  return static_cast<size_t>(record->bufferData - record->blockStart) + record->bufferLength;
}

// The bound limits what waits, not one frame: a frame of any size goes when
// nothing waits before it, so memory stays under the bound plus one frame.
bool fitsUnsentBound(size_t unsent, size_t frame) {
  return unsent == 0 || (frame <= maxUnsentBytes && frame <= maxUnsentBytes - unsent);
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

void releaseSendRecord(IoRecord* record) {
  if (record == nullptr) return;
  --liveSendRecords;
  zelk::heapFreeOwn(record);  // block included
}

long sendRecordsLive() { return liveSendRecords; }

IoRecord* SendQueue::pop() {
  IoRecord* head = head_;
  if (head == nullptr) return nullptr;
  head_ = head->next;
  if (head_ == nullptr) tail_ = nullptr;
  head->next = nullptr;
  return head;
}

// Frames go into the room left in the last queued record, the rest into a
// new one: while a send is in flight, what follows it leaves in one send.
// The new record is made before anything is written, so a frame is queued
// whole or not at all.
bool SendQueue::append(std::initializer_list<SendPiece> pieces, size_t total, int32_t slot,
                       SlotLink* owner) {
  if (!fitsUnsentBound(unsent_, total)) return false;
  const size_t chunk = inFlight_ != nullptr ? sendChunkBytes : 0;  // room for more
  IoRecord* tail = tail_;
  const size_t room = tail != nullptr ? tail->capacity - tail->bufferLength : 0;
  const size_t inTail = std::min(room, total);
  IoRecord* fresh = nullptr;
  if (total > inTail) {
    fresh = newSendRecord(std::max(chunk, total - inTail));
    if (fresh == nullptr) return false;
    fresh->bufferLength = 0;
    fresh->slot = slot;
    fresh->link = owner;
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
    (tail != nullptr ? tail->next : head_) = fresh;
    tail_ = fresh;
  }
  unsent_ += total;
  return true;
}

IoRecord* SendQueue::startIfIdle() { return inFlight_ == nullptr ? inFlight_ = pop() : nullptr; }

IoRecord* SendQueue::finish(IoRecord* record) {
  unsent_ -= recordBytes(record);
  return inFlight_ = pop();
}

void SendQueue::dropQueued() {
  while (IoRecord* record = pop()) {
    unsent_ -= recordBytes(record);
    releaseSendRecord(record);
  }
}

}  // namespace brovane::net
