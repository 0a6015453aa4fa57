// send_queue.h: the I/O records, and a connection's send queue: one send in
// flight, the frames behind it queued whole, the bound on what waits. The
// queue knows nothing of slots and starts no system call; its owner, the
// slot's link, calls every member under the link's mutex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "engine.h"

namespace brovane::net {

IoRecord* newRecord(size_t blockSize);  // zeroed record, block left to the caller

class SendQueue {
 public:
  // Queues a frame of total bytes whole or not at all: false when it is
  // refused (past maxUnsentBytes, or no memory for its record). Records it
  // makes work on slot's socket for owner.
  bool append(std::initializer_list<SendPiece> pieces, size_t total, int32_t slot, SlotLink* owner);
  // With no send in flight, the first queued record goes in flight: the
  // caller starts it. Null while another is in flight.
  IoRecord* startIfIdle();
  // The send in flight is done with (its caller releases it): its bytes
  // leave the count, and the next queued record goes in flight, returned;
  // null when none waits.
  IoRecord* finish(IoRecord* record);
  // Releases the queued records; the one in flight stays the system's until
  // it completes, and is finished as usual.
  void dropQueued();

  bool idle() const { return inFlight_ == nullptr; }  // and so nothing queued
  IoRecord* inFlight() const { return inFlight_; }
  size_t unsent() const { return unsent_; }  // bytes of the send in flight and queued

 private:
  IoRecord* pop();

  IoRecord* inFlight_ = nullptr;  // one send at a time keeps the wire in order
  IoRecord* head_ = nullptr;
  IoRecord* tail_ = nullptr;
  size_t unsent_ = 0;
};

}  // namespace brovane::net
