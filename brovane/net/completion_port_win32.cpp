// completion_port_win32.cpp: a real I/O completion port with overlapped
// WSARecv and WSASend.
// clang-format off
#include <winsock2.h>  // before windows.h
#include <windows.h>
// clang-format on

#include <algorithm>
#include <cstring>

#include "completion_port.h"

namespace brovane::net {

struct CompletionPort {
  HANDLE handle;
};

static_assert(sizeof(OVERLAPPED) == sizeof(PlatformOverlapped) &&
                  alignof(OVERLAPPED) == alignof(PlatformOverlapped),
              "a record starts with exactly an OVERLAPPED");

namespace {

SOCKET asSocket(SocketHandle socket) { return static_cast<SOCKET>(socket); }

OVERLAPPED* freshOverlapped(IoRecord* record) {
  auto* overlapped = reinterpret_cast<OVERLAPPED*>(&record->overlapped);
  std::memset(overlapped, 0, sizeof(OVERLAPPED));
  return overlapped;
}

WSABUF bufferOf(IoRecord* record) {  // the provider copies it before returning
  WSABUF buffer;
  buffer.len = record->bufferLength;
  buffer.buf = reinterpret_cast<char*>(record->bufferData);
  return buffer;
}

bool refusedNow(int result) {
  return result == SOCKET_ERROR && WSAGetLastError() != WSA_IO_PENDING;
}

bool connectionGone(int error) {
  return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAENOTCONN ||
         error == WSAESHUTDOWN || error == WSAENETRESET;
}

}  // namespace

bool startSockets() {
  WSADATA data;
  return WSAStartup(0x0002, &data) == 0;  // version 2.0
}

void stopSockets() { WSACleanup(); }

CompletionPort* createCompletionPort() {
  HANDLE handle = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
  if (handle == nullptr) return nullptr;
  return new CompletionPort{handle};
}

void closeCompletionPort(CompletionPort* port) {
  if (port == nullptr) return;
  CloseHandle(port->handle);
  delete port;
}

Completion waitCompletion(CompletionPort* port) {
  for (;;) {
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* overlapped = nullptr;
    const BOOL ok = GetQueuedCompletionStatus(port->handle, &bytes, &key, &overlapped, INFINITE);
    if (!ok && overlapped == nullptr) {  // the wait failed, no operation ended
      if (GetLastError() == ERROR_ABANDONED_WAIT_0 || GetLastError() == ERROR_INVALID_HANDLE)
        return {stopKey, nullptr, 0, false};  // the port is gone
      continue;
    }
    if (key == stopKey) return {stopKey, nullptr, 0, true};
    // OVERLAPPED is the record's first field: its address is the record's.
    return {key, reinterpret_cast<IoRecord*>(overlapped), bytes, ok != FALSE};
  }
}

bool waitCompletionFor(CompletionPort* port, unsigned timeoutMs, Completion* done) {
  DWORD bytes = 0;
  ULONG_PTR key = 0;
  OVERLAPPED* overlapped = nullptr;
  const BOOL ok = GetQueuedCompletionStatus(port->handle, &bytes, &key, &overlapped, timeoutMs);
  if (!ok && overlapped == nullptr) return false;  // nothing came in time
  *done = {key, reinterpret_cast<IoRecord*>(overlapped), bytes, ok != FALSE};
  if (key == stopKey) *done = {stopKey, nullptr, 0, true};
  return true;
}

const bool takesReadyCompletions = false;
const size_t sendsAloneFrom = SIZE_MAX;
bool takeReadyCompletion(CompletionPort*, Completion*) { return false; }

void postStopKey(CompletionPort* port) {
  PostQueuedCompletionStatus(port->handle, 0, stopKey, nullptr);
}

bool openStreamSocket(SocketHandle* socket) {
  const SOCKET made =
      WSASocketA(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
  if (made == INVALID_SOCKET) return false;
  *socket = static_cast<SocketHandle>(made);
  return true;
}

uint32_t parseIPv4(const char* dotted) { return inet_addr(dotted); }

bool connectIPv4(SocketHandle socket, uint32_t address, uint16_t port) {
  if (address == INADDR_NONE) return false;
  sockaddr_in peer;
  std::memset(&peer, 0, sizeof peer);
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  return connect(asSocket(socket), reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0;
}

// Connected by now: from here on a plain send may not wait (overlapped
// operations go on as before).
bool associateSocket(CompletionPort* port, SocketHandle socket, uintptr_t key) {
  u_long nonBlocking = 1;
  ioctlsocket(asSocket(socket), FIONBIO, &nonBlocking);
  return CreateIoCompletionPort(reinterpret_cast<HANDLE>(socket), port->handle, key, 0) != nullptr;
}

IoStart startReceive(SocketHandle socket, IoRecord* record) {
  WSABUF buffer = bufferOf(record);
  DWORD received = 0;
  DWORD flags = 0;
  const int result =
      WSARecv(asSocket(socket), &buffer, 1, &received, &flags, freshOverlapped(record), nullptr);
  return refusedNow(result) ? IoStart::refused : IoStart::pending;
}

// mayFinishNow: a plain send first, which queues no completion and so needs
// no worker; what it cannot take at once goes overlapped, and every
// overlapped send, even one that succeeds at once, ends as a completion.
IoStart startSend(SocketHandle socket, IoRecord* record, uint32_t* sent, bool mayFinishNow) {
  if (mayFinishNow) {
    const int length = static_cast<int>(std::min<uint32_t>(record->bufferLength, INT32_MAX));
    const int done = send(asSocket(socket), reinterpret_cast<char*>(record->bufferData), length, 0);
    if (done >= 0) {
      *sent = static_cast<uint32_t>(done);
      return IoStart::completed;
    }
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK) return connectionGone(error) ? IoStart::broken : IoStart::refused;
  }
  WSABUF buffer = bufferOf(record);
  DWORD sentNow = 0;  // the completion reports it
  const int result =
      WSASend(asSocket(socket), &buffer, 1, &sentNow, 0, freshOverlapped(record), nullptr);
  if (!refusedNow(result)) return IoStart::pending;
  return connectionGone(WSAGetLastError()) ? IoStart::broken : IoStart::refused;
}

void cancelOperation(SocketHandle socket, IoRecord* record) {
  CancelIoEx(reinterpret_cast<HANDLE>(socket), reinterpret_cast<OVERLAPPED*>(&record->overlapped));
}

// Readable now and nothing to read: the end (or a reset). Not readable: data
// and the end are both still to come.
bool endConfirmed(SocketHandle socket) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(asSocket(socket), &readable);
  timeval now{0, 0};
  const int ready = select(0, &readable, nullptr, nullptr, &now);
  if (ready == 0) return false;
  char byte = 0;
  return ready < 0 || recv(asSocket(socket), &byte, 1, MSG_PEEK) <= 0;
}

void shutdownSending(SocketHandle socket) { shutdown(asSocket(socket), SD_SEND); }

void closeSocket(SocketHandle socket) { closesocket(asSocket(socket)); }

void releaseSocketBookkeeping() {}  // sockets are the system's own handles here

}  // namespace brovane::net
