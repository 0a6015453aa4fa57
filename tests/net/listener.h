// listener.h: a blocking loopback TCP listener for the engine's unit tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nettest {

class Listener {
 public:
  Listener();  // listens on 127.0.0.1, a port of the system's choice
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  uint16_t port() const { return port_; }
  bool accept();                        // the next connection (5 s at most)
  bool send(const std::string& bytes);  // all of it
  std::string receiveToEnd();           // until the client's end (10 s at most)
  std::string receive(size_t count);    // count bytes; fewer only at an end or after 10 s
  void closeConnection();               // orderly
  void endSending();                    // our half only: the client reads its end
  void resetConnection();               // abortive: the client sees a reset

 private:
  uintptr_t listening_ = 0;
  uintptr_t connection_ = 0;
  bool hasConnection_ = false;
  uint16_t port_ = 0;
};

// Windows Sockets starts of this process not yet balanced by a cleanup (0
// elsewhere). Counted by cleaning up until it fails, then started again:
// call it with no socket open.
int socketStartups();

}  // namespace nettest
