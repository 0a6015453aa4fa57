// listener_posix.cpp: the test listener on BSD sockets.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "listener.h"

namespace nettest {

int socketStartups() { return 0; }  // nothing to start

Listener::Listener() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(fd, 8) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port_ = ntohs(address.sin_port);
  listening_ = static_cast<uintptr_t>(fd);
}

Listener::~Listener() {
  closeConnection();
  close(static_cast<int>(listening_));
}

bool Listener::accept() {
  pollfd ready{static_cast<int>(listening_), POLLIN, 0};
  if (poll(&ready, 1, 5000) != 1) return false;
  const int fd = ::accept(static_cast<int>(listening_), nullptr, nullptr);
  if (fd < 0) return false;
  connection_ = static_cast<uintptr_t>(fd);
  hasConnection_ = true;
  return true;
}

bool Listener::send(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t sent =
        ::send(static_cast<int>(connection_), bytes.data() + done, bytes.size() - done, 0);
    if (sent <= 0) return false;
    done += static_cast<size_t>(sent);
  }
  return true;
}

std::string Listener::receiveToEnd() {
  std::string received;
  char buffer[65536];
  pollfd ready{static_cast<int>(connection_), POLLIN, 0};
  while (poll(&ready, 1, 10000) == 1) {
    const ssize_t got = recv(static_cast<int>(connection_), buffer, sizeof buffer, 0);
    if (got <= 0) break;
    received.append(buffer, static_cast<size_t>(got));
  }
  return received;
}

std::string Listener::receive(size_t count) {
  std::string received;
  char buffer[65536];
  pollfd ready{static_cast<int>(connection_), POLLIN, 0};
  while (received.size() < count && poll(&ready, 1, 10000) == 1) {
    const size_t wanted = std::min(sizeof buffer, count - received.size());
    const ssize_t got = recv(static_cast<int>(connection_), buffer, wanted, 0);
    if (got <= 0) break;
    received.append(buffer, static_cast<size_t>(got));
  }
  return received;
}

void Listener::closeConnection() {
  if (!hasConnection_) return;
  endSending();  // our end first, as on Windows: the client reads it before any reset
  close(static_cast<int>(connection_));
  hasConnection_ = false;
}

void Listener::endSending() {
  if (hasConnection_) shutdown(static_cast<int>(connection_), SHUT_WR);
}

void Listener::resetConnection() {
  if (!hasConnection_) return;
  const linger abortive{1, 0};
  setsockopt(static_cast<int>(connection_), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
  close(static_cast<int>(connection_));
  hasConnection_ = false;
}

}  // namespace nettest
