// completion_port.h: the platform under the engine. Operations are started on
// sockets and end as completions taken from one port by the worker threads:
// an I/O completion port on Windows, epoll readiness turned into the same
// completions elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brovane::net {

struct CompletionPort;

using SocketHandle = uintptr_t;  // a SOCKET on Windows, a registry number elsewhere

// The platform's OVERLAPPED, the first field of every record, at its own
// size (20 bytes on 32-bit Windows, 32 on 64-bit): a host that calls the
// event callback with a record of its own lays it out the same way.
struct PlatformOverlapped {
  alignas(void*) unsigned char bytes[3 * sizeof(void*) + 8];
};

struct SlotLink;

// One outstanding receive or send; read-write heap memory with its data
// block right behind it.
struct IoRecord {
  PlatformOverlapped overlapped;  // first: a completion hands back this address
  int32_t operation;
  uint32_t bufferLength;  // bytes to receive into, or still to send
  uint8_t* bufferData;    // the receive buffer, or the next byte to send
  uint8_t* blockStart;    // sends: the block's start
  uint32_t capacity;      // sends: the block's size; queued frames fill it
  int32_t slot;           // the slot whose socket the record works on
  SlotLink* link;         // that slot's send queue and state
  IoRecord* next;         // the send queue behind the send in flight
};
// On 32-bit the fields that the event callback's contract names lie where
// it gives them; the engine's own follow.
static_assert(sizeof(void*) != 4 ||
              (offsetof(IoRecord, operation) == 20 && offsetof(IoRecord, bufferLength) == 24 &&
               offsetof(IoRecord, bufferData) == 28 && offsetof(IoRecord, blockStart) == 32));

inline constexpr uintptr_t stopKey = 0xFFFFFFFF;  // never a slot: ends one worker

struct Completion {
  uintptr_t key = 0;           // the slot, or stopKey
  IoRecord* record = nullptr;  // null for a stop key
  uint32_t bytes = 0;
  bool succeeded = false;
};

// broken: refused because the connection itself is gone (reset, aborted).
enum class IoStart { pending, completed, refused, broken };

bool startSockets();                              // WSAStartup 2.0; nothing to do elsewhere
void stopSockets();                               // WSACleanup: balances one startSockets
CompletionPort* createCompletionPort();           // null on failure
void closeCompletionPort(CompletionPort* port);   // completions still queued are dropped
Completion waitCompletion(CompletionPort* port);  // blocks without a time-out
// The same for at most timeoutMs, false when nothing came: for a thread that
// takes the completions itself while no worker runs.
bool waitCompletionFor(CompletionPort* port, unsigned timeoutMs, Completion* done);
void postStopKey(CompletionPort* port);
// A completion that is ready now, taken without waiting and never a stop
// key: for a script thread that polls, so that its answer need not wait for
// a worker to get a core. Only where takesReadyCompletions: on Windows the
// port's threads take all, since I/O must not be started from a host's
// thread that may end while it is pending.
extern const bool takesReadyCompletions;
bool takeReadyCompletion(CompletionPort* port, Completion* done);

bool openStreamSocket(SocketHandle* socket);                             // an overlapped TCP socket
bool connectIPv4(SocketHandle socket, uint32_t address, uint16_t port);  // blocking
uint32_t parseIPv4(const char* dotted);  // inet_addr: dotted numbers only, else all ones
bool associateSocket(CompletionPort* port, SocketHandle socket, uintptr_t key);

// A receive always ends as a completion on the port (pending), or is refused.
IoStart startReceive(SocketHandle socket, IoRecord* record);
// A frame this large, on a connection with no send in flight, costs less
// sent at once from the calling thread than handed to a worker to wait for
// frames to go with it. Where a system call costs tens of microseconds
// (Wine), no frame does.
extern const size_t sendsAloneFrom;
// A send that the platform finished at once without queuing a completion
// reports completed with its byte count in *sent; only when mayFinishNow,
// else it is left to the port's threads.
IoStart startSend(SocketHandle socket, IoRecord* record, uint32_t* sent, bool mayFinishNow);
void cancelOperation(SocketHandle socket, IoRecord* record);  // it completes as failed
// After a receive that ended empty: whether the socket too says the peer has
// ended. Wine ends that way the receive of a worker the process's end stopped.
bool endConfirmed(SocketHandle socket);
void shutdownSending(SocketHandle socket);  // the peer sees the end after the data sent
void closeSocket(SocketHandle socket);      // exactly once per socket
void releaseSocketBookkeeping();            // unload, engine stopped: what the platform kept

}  // namespace brovane::net
