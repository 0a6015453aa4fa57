// listener_win32.cpp: the test listener on Windows Sockets.
#include <winsock2.h>

#include "listener.h"

namespace nettest {

namespace {

bool readable(SOCKET socket, long seconds) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval wait{seconds, 0};
  return select(0, &set, nullptr, nullptr, &wait) == 1;
}

}  // namespace

int socketStartups() {
  int count = 0;
  while (WSACleanup() == 0) ++count;
  for (int i = 0; i < count; ++i) {
    WSADATA data;
    WSAStartup(0x0202, &data);
  }
  return count;
}

Listener::Listener() {
  WSADATA data;
  WSAStartup(0x0202, &data);
  const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      listen(socket, 8) == 0 &&
      getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port_ = ntohs(address.sin_port);
  listening_ = static_cast<uintptr_t>(socket);
}

Listener::~Listener() {
  closeConnection();
  closesocket(static_cast<SOCKET>(listening_));
  WSACleanup();
}

bool Listener::accept() {
  if (!readable(static_cast<SOCKET>(listening_), 5)) return false;
  const SOCKET socket = ::accept(static_cast<SOCKET>(listening_), nullptr, nullptr);
  if (socket == INVALID_SOCKET) return false;
  connection_ = static_cast<uintptr_t>(socket);
  hasConnection_ = true;
  return true;
}

bool Listener::send(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const int sent = ::send(static_cast<SOCKET>(connection_), bytes.data() + done,
                            static_cast<int>(bytes.size() - done), 0);
    if (sent <= 0) return false;
    done += static_cast<size_t>(sent);
  }
  return true;
}

std::string Listener::receiveToEnd() {
  std::string received;
  char buffer[65536];
  while (readable(static_cast<SOCKET>(connection_), 10)) {
    const int got = recv(static_cast<SOCKET>(connection_), buffer, sizeof buffer, 0);
    if (got <= 0) break;
    received.append(buffer, static_cast<size_t>(got));
  }
  return received;
}

std::string Listener::receive(size_t count) {
  std::string received;
  char buffer[65536];
  while (received.size() < count && readable(static_cast<SOCKET>(connection_), 10)) {
    const size_t left = count - received.size();
    const size_t wanted = left < sizeof buffer ? left : sizeof buffer;
    const int got = recv(static_cast<SOCKET>(connection_), buffer, static_cast<int>(wanted), 0);
    if (got <= 0) break;
    received.append(buffer, static_cast<size_t>(got));
  }
  return received;
}

void Listener::closeConnection() {
  if (!hasConnection_) return;
  endSending();
  closesocket(static_cast<SOCKET>(connection_));
  hasConnection_ = false;
}

void Listener::endSending() {
  if (hasConnection_) shutdown(static_cast<SOCKET>(connection_), SD_SEND);
}

void Listener::resetConnection() {
  if (!hasConnection_) return;
  const linger abortive{1, 0};
  setsockopt(static_cast<SOCKET>(connection_), SOL_SOCKET, SO_LINGER,
             reinterpret_cast<const char*>(&abortive), sizeof abortive);
  closesocket(static_cast<SOCKET>(connection_));
  hasConnection_ = false;
}

}  // namespace nettest
