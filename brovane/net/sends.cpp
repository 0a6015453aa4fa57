// sends.cpp: the ordered sends: a frame accepted into its slot's send queue,
// started by the script or a worker, finished by the workers.
#include "engine_parts.h"

namespace brovane::net {

namespace {

std::atomic<long> startsUntilRefusal{0};  // tests: the system refuses the nth start

// When a send may leave the thread that starts it, and what a refusal of it
// costs. A worker going on with the queue sends at once, and any refusal
// then ends the connection. The script's new frame on an idle connection
// goes at once when it answers data from the peer; its other frames (a run
// of them with nothing heard between) are left to the workers, so that the
// frames sent meanwhile leave with the next send, together, unless the frame
// is large enough to go alone (sendsAloneFrom). Either way, the
// script's frame refused before any of it left is refused alone.
enum class SendLeaves { now, nowOrRefusedAlone, laterOrRefusedAlone };

// A send record is done with: the next queued one goes in flight.
IoRecord* finishSendRecord(int32_t slot, IoRecord* record) {
  SlotLink* link = record->link;
  IoRecord* next = nullptr;
  bool lastOperation = false;
  {
    zelk::LockGuard lock(link->mutex);
    next = link->sends.finish(record);
    if (next == nullptr) link->drained.notify_all();
    lastOperation = link->operationsEnded();
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

// Starts record, the slot's send in flight, and goes on with the records
// queued behind it for as long as each finishes at once: 1 when accepted.
int postSend(int32_t slot, IoRecord* record, SendLeaves leaves) {
  // The record is the slot's send in flight, so the slot holds this link.
  const std::shared_ptr<SlotLink> keep = linkOf(slot);
  // Only the script's new frame, refused before any of it left, is refused
  // alone; any other refusal would leave a hole in what the peer reads.
  const IoRecord* mayBeRefusedAlone = leaves != SendLeaves::now ? record : nullptr;
  const bool mayFinishNow = leaves != SendLeaves::laterOrRefusedAlone;
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

}  // namespace

void finishSend(int32_t slot, IoRecord* record, const Completion& done) {
  awaitStartReturned(record);
  if (!done.succeeded) closeSlotSocket(slot);  // the frames behind it must not follow a hole
  IoRecord* next = record;
  if (done.succeeded && done.bytes < record->bufferLength) {  // the rest goes first
    record->bufferLength -= done.bytes;
    record->bufferData += done.bytes;
  } else {
    next = finishSendRecord(slot, record);
  }
  if (next != nullptr) postSend(slot, next, SendLeaves::now);
}

int sendOnSlot(int32_t slot, const uint8_t* bytes, size_t length) {
  return sendPieces(slot, {{bytes, length}});
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
    if (!link->attached || link->ending || link->sendingEnded || link->receiveEnded ||
        !link->sends.append(pieces, total, slot, link.get()))
      return 0;
    start = link->sends.startIfIdle();
  }
  if (start == nullptr) return 1;
  const bool answersPeer = link->heardFromPeer.exchange(false);
  const bool leavesNow = answersPeer || total >= sendsAloneFrom;
  return postSend(slot, start,
                  leavesNow ? SendLeaves::nowOrRefusedAlone : SendLeaves::laterOrRefusedAlone);
}

size_t unsentBytes(int32_t slot) {
  std::shared_ptr<SlotLink> link = linkOf(slot);
  if (link == nullptr) return 0;
  zelk::LockGuard lock(link->mutex);
  return link->sends.unsent();
}

void refuseSendStart(long nth) { startsUntilRefusal = nth; }

}  // namespace brovane::net
