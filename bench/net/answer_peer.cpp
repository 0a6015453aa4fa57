// answer_peer.cpp: the round trips' peer: answers every 14-byte frame it
// reads with 4 bytes, on each connection (a thread each), on 127.0.0.1.
// Prints its port, then runs until its standard input closes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

namespace {

constexpr int frameBytes = 14;  // 发送数据 of a 4-byte text

void answer(int connection) {
  int one = 1;
  setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  char buffer[1 << 16];
  long pending = 0;  // bytes of a frame not yet whole
  for (ssize_t got; (got = recv(connection, buffer, sizeof buffer, 0)) > 0;) {
    pending += got;
    for (; pending >= frameBytes; pending -= frameBytes)
      if (send(connection, "pong", 4, MSG_NOSIGNAL) != 4) pending = 0;
  }
  close(connection);
}

}  // namespace

int main() {
  const int server = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(server, 64) != 0 ||
      getsockname(server, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return 1;
  std::printf("%d\n", ntohs(address.sin_port));
  std::fflush(stdout);
  std::thread([server] {
    for (int connection; (connection = accept(server, nullptr, nullptr)) >= 0;)
      std::thread(answer, connection).detach();
  }).detach();
  while (std::getchar() != EOF) {
  }
  return 0;
}
