// completion_port_posix.cpp: completions made from epoll readiness. While an
// operation is pending, the thread that polls does the non-blocking recv or
// send itself and queues its completion, as a completion port would.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <new>

#include "completion_port.h"
#include "sync.h"

namespace brovane::net {

namespace {

// A completion waits in its own record's room for the OVERLAPPED: queuing
// one allocates nothing, so it cannot fail under the locks it is made under.
struct QueuedCompletion {
  uintptr_t key;
  IoRecord* next;
  uint32_t bytes;
  bool succeeded;
};
static_assert(sizeof(QueuedCompletion) <= sizeof(PlatformOverlapped));

QueuedCompletion& queuedPart(IoRecord* record) {
  return *std::launder(reinterpret_cast<QueuedCompletion*>(record->overlapped.bytes));
}

// Completions in the order they came, then the stop keys.
struct CompletionQueue {
  IoRecord* head = nullptr;
  IoRecord* tail = nullptr;
  unsigned stopKeys = 0;

  bool empty() const { return head == nullptr && stopKeys == 0; }
  bool holdsRecord() const { return head != nullptr; }
  bool moreThanOne() const {
    return (head != nullptr ? 1 : 0) + (head != tail ? 1 : 0) + stopKeys > 1;
  }
  void push(const Completion& done) {
    if (done.record == nullptr) {
      ++stopKeys;
      return;
    }
    new (done.record->overlapped.bytes)
        QueuedCompletion{done.key, nullptr, done.bytes, done.succeeded};
    (tail != nullptr ? queuedPart(tail).next : head) = done.record;
    tail = done.record;
  }
  Completion pop() {
    if (head == nullptr) {
      --stopKeys;
      return {stopKey, nullptr, 0, true};
    }
    IoRecord* record = head;
    const QueuedCompletion part = queuedPart(record);
    head = part.next;
    if (head == nullptr) tail = nullptr;
    return {part.key, record, part.bytes, part.succeeded};
  }
};

}  // namespace

struct CompletionPort {
  int epollFd = -1;
  int wakeFd = -1;  // an eventfd: wakes the thread that polls
  zelk::Mutex queueMutex;
  zelk::ConditionVariable queueReady;
  CompletionQueue queue;
  bool polling = false;                       // one worker polls, the others wait on the queue
  unsigned waiting = 0;                       // workers waiting on the queue
  std::atomic<int64_t> scriptPolledAt{0};     // SteadyClock nanoseconds: see waitAside
  std::atomic<SocketHandle> scriptSocket{0};  // the socket whose readiness the script took last
};

namespace {

// Its own lock guards its operations and the arming of its interest (a
// system call); the registry's lock guards only the table.
struct PosixSocket {
  zelk::Mutex mutex;
  int fd = -1;
  uintptr_t key = 0;
  CompletionPort* port = nullptr;
  IoRecord* pendingReceive = nullptr;
  IoRecord* pendingSend = nullptr;
  uint32_t armed = EPOLLONESHOT;  // what epoll holds armed: bare once reported
};

// Handles are registry numbers, never reused, so a stale handle finds nothing.
struct Registry {
  zelk::Mutex mutex;
  std::map<SocketHandle, PosixSocket> sockets;  // entries made outside the lock
  SocketHandle nextHandle = 1;
};

// Made on first use, freed at unload once the engine has stopped and no
// socket is left; never freed while workers may still use it.
std::atomic<Registry*> registryInstance{nullptr};

Registry& registry() {
  Registry* current = registryInstance.load(std::memory_order_acquire);
  if (current != nullptr) return *current;
  auto* made = new Registry;
  if (registryInstance.compare_exchange_strong(current, made)) return *made;
  delete made;  // another thread made it first
  return *current;
}

PosixSocket* find(SocketHandle handle) {
  auto found = registry().sockets.find(handle);
  return found == registry().sockets.end() ? nullptr : &found->second;
}

// A socket's entry with its own lock held and the registry's given back, so
// that a send at once on another thread need not wait for this one's system
// calls. The entry stays: closing waits for this lock. Lock order: the
// registry, a socket, the port's queue.
class LockedSocket {
 public:
  explicit LockedSocket(SocketHandle handle) {
    zelk::LockGuard lock(registry().mutex);
    socket_ = find(handle);
    if (socket_ != nullptr) socket_->mutex.lock();
  }
  ~LockedSocket() {
    if (socket_ != nullptr) socket_->mutex.unlock();
  }
  LockedSocket(const LockedSocket&) = delete;
  LockedSocket& operator=(const LockedSocket&) = delete;

  PosixSocket* get() const { return socket_; }

 private:
  PosixSocket* socket_;
};

void wakePoller(CompletionPort* port) {
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t written = write(port->wakeFd, &one, sizeof one);
}

// Under the queue's lock: a completion waits for a worker.
void tellAWorker(CompletionPort* port) {
  if (port->waiting > 0) {
    port->queueReady.notify_one();
  } else if (port->polling) {  // nobody else would see it
    wakePoller(port);
  }
}

// byPoller: this thread is the one that polls.
void queueCompletion(CompletionPort* port, const Completion& done, bool byPoller) {
  zelk::LockGuard lock(port->queueMutex);
  port->queue.push(done);
  if (byPoller) return;  // the poller takes it itself: no hand-off to another thread
  tellAWorker(port);
}

// The operation stops being pending before its completion is queued: the
// thread that takes the completion may start the next one at once.
void complete(PosixSocket& socket, IoRecord*& pending, bool succeeded, uint32_t bytes,
              bool byPoller) {
  IoRecord* record = pending;
  pending = nullptr;
  if (socket.port != nullptr)
    queueCompletion(socket.port, {socket.key, record, bytes, succeeded}, byPoller);
}

// Interest follows the pending operations; one-shot, so one thread at a time
// handles a socket. With nothing pending it stays disarmed: a hang-up, which
// epoll always reports, would otherwise wake the poller again and again.
void rearm(PosixSocket& socket, SocketHandle handle) {
  if (socket.port == nullptr || (!socket.pendingReceive && !socket.pendingSend)) return;
  epoll_event event{};
  event.events = EPOLLONESHOT;
  if (socket.pendingReceive != nullptr) event.events |= EPOLLIN | EPOLLRDHUP;
  if (socket.pendingSend != nullptr) event.events |= EPOLLOUT;
  if (event.events == socket.armed) return;  // still armed: a receive taken without epoll
  event.data.u64 = handle;
  epoll_ctl(socket.port->epollFd, EPOLL_CTL_MOD, socket.fd, &event);
  socket.armed = event.events;
}

bool wouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

// The poller's own: it found the socket ready.
void tryReceive(PosixSocket& socket) {
  IoRecord* record = socket.pendingReceive;
  const ssize_t got = recv(socket.fd, record->bufferData, record->bufferLength, 0);
  if (got < 0 && wouldBlock()) return;
  const uint32_t bytes = got > 0 ? static_cast<uint32_t>(got) : 0;
  complete(socket, socket.pendingReceive, got >= 0, bytes, true);
}

void trySend(PosixSocket& socket) {
  IoRecord* record = socket.pendingSend;
  const ssize_t sent = send(socket.fd, record->bufferData, record->bufferLength, MSG_NOSIGNAL);
  if (sent < 0 && wouldBlock()) return;
  const uint32_t bytes = sent > 0 ? static_cast<uint32_t>(sent) : 0;
  complete(socket, socket.pendingSend, sent >= 0, bytes, true);
}

void handleReadiness(const epoll_event& event) {
  const LockedSocket locked(event.data.u64);
  PosixSocket* socket = locked.get();
  if (socket == nullptr) return;
  socket->armed = EPOLLONESHOT;  // reported, so disarmed
  const uint32_t failed = EPOLLERR | EPOLLHUP;
  if (socket->pendingReceive && (event.events & (EPOLLIN | EPOLLRDHUP | failed)))
    tryReceive(*socket);
  if (socket->pendingSend && (event.events & (EPOLLOUT | failed))) trySend(*socket);
  rearm(*socket, event.data.u64);
}

// Not the poller's: its wake-up is left readable for the poller.
bool popRecord(CompletionPort* port, Completion* done) {
  zelk::LockGuard lock(port->queueMutex);
  if (!port->queue.holdsRecord()) return false;
  *done = port->queue.pop();
  if (!port->queue.empty()) tellAWorker(port);  // what this thread leaves
  return true;
}

void pollOnce(CompletionPort* port, int timeoutMs) {
  epoll_event events[64];
  const int count = epoll_wait(port->epollFd, events, 64, timeoutMs);
  for (int i = 0; i < count; ++i) {
    if (events[i].data.u64 == 0) {  // the wake-up: stop keys wait in the queue
      uint64_t value = 0;
      [[maybe_unused]] ssize_t got = read(port->wakeFd, &value, sizeof value);
      continue;
    }
    handleReadiness(events[i]);
  }
}

}  // namespace

bool startSockets() { return true; }
void stopSockets() {}

CompletionPort* createCompletionPort() {
  auto* port = new CompletionPort;
  port->epollFd = epoll_create1(EPOLL_CLOEXEC);
  port->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  epoll_event wake{};
  wake.events = EPOLLIN;
  wake.data.u64 = 0;
  if (port->epollFd < 0 || port->wakeFd < 0 ||
      epoll_ctl(port->epollFd, EPOLL_CTL_ADD, port->wakeFd, &wake) != 0) {
    closeCompletionPort(port);
    return nullptr;
  }
  return port;
}

void closeCompletionPort(CompletionPort* port) {
  if (port == nullptr) return;
  {
    zelk::LockGuard lock(registry().mutex);
    for (auto& [handle, socket] : registry().sockets) {
      zelk::LockGuard own(socket.mutex);
      if (socket.port == port) socket.port = nullptr;
    }
  }
  if (port->epollFd >= 0) close(port->epollFd);
  if (port->wakeFd >= 0) close(port->wakeFd);
  delete port;
}

namespace {

// A script that polls takes the readiness itself: a worker woken by the same
// readiness would only race it for a core. For a moment after each poll the
// worker that would poll waits on the queue instead, where it sees what the
// script leaves; then it polls again, so nothing waits long on a script that
// stopped.
constexpr int64_t asideNs = 1000000;

bool aScriptPolls(const CompletionPort* port) {
  const int64_t now = zelk::SteadyClock::now().time_since_epoch().count();
  return now - port->scriptPolledAt.load(std::memory_order_relaxed) < asideNs;
}

void waitAside(CompletionPort* port, zelk::UniqueLock& lock) {
  port->polling = true;  // the role is held: the others keep waiting untimed
  ++port->waiting;
  port->queueReady.waitForMs(lock, asideNs / 1000000);
  --port->waiting;
  port->polling = false;
}

}  // namespace

Completion waitCompletion(CompletionPort* port) {
  zelk::UniqueLock lock(port->queueMutex);
  for (;;) {
    if (!port->queue.empty()) return port->queue.pop();
    if (!port->polling && aScriptPolls(port)) {
      waitAside(port, lock);
      continue;
    }
    if (!port->polling) {
      port->polling = true;
      lock.unlock();
      pollOnce(port, -1);
      lock.lock();
      port->polling = false;
      // The first completion found is this thread's own; more go to a waiter.
      if (port->queue.moreThanOne()) port->queueReady.notify_one();
      continue;
    }
    ++port->waiting;
    port->queueReady.wait(lock);
    --port->waiting;
  }
}

// Readiness that completes nothing (a wake-up, a socket still blocked) polls
// again until the time is up.
bool waitCompletionFor(CompletionPort* port, unsigned timeoutMs, Completion* done) {
  using Clock = zelk::SteadyClock;
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(timeoutMs);
  zelk::UniqueLock lock(port->queueMutex);
  while (port->queue.empty()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) return false;
    if (port->polling) {  // another thread polls: wait for what it finds
      ++port->waiting;
      port->queueReady.waitForMs(lock, static_cast<uint32_t>(left.count()));
      --port->waiting;
      continue;
    }
    port->polling = true;
    lock.unlock();
    pollOnce(port, static_cast<int>(left.count()));
    lock.lock();
    port->polling = false;
    if (port->queue.moreThanOne()) port->queueReady.notify_one();
  }
  *done = port->queue.pop();
  return true;
}

const bool takesReadyCompletions = true;
const size_t sendsAloneFrom = 512;  // measured: from 512 bytes, one send each beats coalescing

namespace {

// The script waits for its own connection's data: a receive tried on it
// directly costs one system call, where epoll would cost two (the wait, and
// arming the interest again for the next receive).
void receiveDirectly(CompletionPort* port) {
  const SocketHandle handle = port->scriptSocket.load(std::memory_order_relaxed);
  if (handle == 0) return;
  const LockedSocket locked(handle);
  PosixSocket* socket = locked.get();
  if (socket == nullptr || socket->port != port || socket->pendingReceive == nullptr) return;
  tryReceive(*socket);
}

}  // namespace

// The socket's one-shot interest gives its readiness to one thread only:
// the worker that polls finds nothing and sleeps on.
bool takeReadyCompletion(CompletionPort* port, Completion* done) {
  port->scriptPolledAt.store(zelk::SteadyClock::now().time_since_epoch().count(),
                             std::memory_order_relaxed);
  receiveDirectly(port);  // a receive whose completion is queued is not pending: no call
  if (popRecord(port, done)) return true;
  epoll_event events[8];
  const int count = epoll_wait(port->epollFd, events, 8, 0);
  for (int i = 0; i < count; ++i) {
    if (events[i].data.u64 == 0) continue;
    handleReadiness(events[i]);
    port->scriptSocket.store(events[i].data.u64, std::memory_order_relaxed);
  }
  return count > 0 && popRecord(port, done);
}

void postStopKey(CompletionPort* port) {
  queueCompletion(port, {stopKey, nullptr, 0, true}, false);
  wakePoller(port);
}

bool openStreamSocket(SocketHandle* handle) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return false;
  Registry& sockets = registry();
  std::map<SocketHandle, PosixSocket> made;  // the entry is allocated here
  auto entry = made.extract(made.try_emplace(0).first);
  entry.mapped().fd = fd;
  zelk::LockGuard lock(sockets.mutex);
  entry.key() = *handle = sockets.nextHandle++;
  sockets.sockets.insert(std::move(entry));
  return true;
}

uint32_t parseIPv4(const char* dotted) { return inet_addr(dotted); }

bool connectIPv4(SocketHandle handle, uint32_t address, uint16_t port) {
  int fd = -1;
  {
    zelk::LockGuard lock(registry().mutex);
    if (PosixSocket* socket = find(handle)) fd = socket->fd;
  }
  if (fd < 0 || address == INADDR_NONE) return false;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  int result = 0;
  do {
    result = connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool associateSocket(CompletionPort* port, SocketHandle handle, uintptr_t key) {
  zelk::LockGuard lock(registry().mutex);  // held: a send at once reads the port
  PosixSocket* socket = find(handle);
  if (socket == nullptr) return false;
  zelk::LockGuard own(socket->mutex);
  if (socket == nullptr || port == nullptr) return false;
  fcntl(socket->fd, F_SETFL, fcntl(socket->fd, F_GETFL) | O_NONBLOCK);
  epoll_event event{};
  event.events = socket->armed;  // nothing yet: the first receive arms it
  event.data.u64 = handle;
  if (epoll_ctl(port->epollFd, EPOLL_CTL_ADD, socket->fd, &event) != 0) return false;
  socket->port = port;
  socket->key = key;
  return true;
}

IoStart startReceive(SocketHandle handle, IoRecord* record) {
  const LockedSocket locked(handle);
  PosixSocket* socket = locked.get();
  if (socket == nullptr || socket->port == nullptr || socket->pendingReceive)
    return IoStart::refused;
  socket->pendingReceive = record;
  rearm(*socket, handle);
  return IoStart::pending;
}

namespace {

// Left to the poller: it sends when the socket is writable.
IoStart leaveToPoller(SocketHandle handle, IoRecord* record) {
  const LockedSocket locked(handle);
  PosixSocket* socket = locked.get();
  if (socket == nullptr || socket->port == nullptr || socket->pendingSend) return IoStart::refused;
  socket->pendingSend = record;
  rearm(*socket, handle);
  return IoStart::pending;
}

}  // namespace

// A send at once runs outside the registry's lock, so the poller's receive
// on another thread does not wait for it: the socket stays open meanwhile,
// since a socket is closed only after its last operation has ended.
IoStart startSend(SocketHandle handle, IoRecord* record, uint32_t* sent, bool mayFinishNow) {
  if (!mayFinishNow) return leaveToPoller(handle, record);
  int fd = -1;
  {
    zelk::LockGuard lock(registry().mutex);
    PosixSocket* socket = find(handle);
    if (socket == nullptr || socket->port == nullptr || socket->pendingSend)
      return IoStart::refused;
    fd = socket->fd;
  }
  const ssize_t done = send(fd, record->bufferData, record->bufferLength, MSG_NOSIGNAL);
  if (done >= 0) {
    *sent = static_cast<uint32_t>(done);
    return IoStart::completed;
  }
  if (!wouldBlock())
    return errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN ? IoStart::broken
                                                                      : IoStart::refused;
  return leaveToPoller(handle, record);
}

void cancelOperation(SocketHandle handle, IoRecord* record) {
  const LockedSocket locked(handle);
  PosixSocket* socket = locked.get();
  if (socket == nullptr || record == nullptr) return;
  if (socket->pendingReceive == record) complete(*socket, socket->pendingReceive, false, 0, false);
  if (socket->pendingSend == record) complete(*socket, socket->pendingSend, false, 0, false);
  rearm(*socket, handle);
}

bool endConfirmed(SocketHandle) { return true; }  // the empty receive was recv's own 0

void shutdownSending(SocketHandle handle) {
  zelk::LockGuard lock(registry().mutex);
  if (PosixSocket* socket = find(handle)) shutdown(socket->fd, SHUT_WR);
}

void closeSocket(SocketHandle handle) {
  zelk::LockGuard lock(registry().mutex);
  PosixSocket* socket = find(handle);
  if (socket == nullptr) return;
  socket->mutex.lock();    // a thread at work on it finishes first
  socket->mutex.unlock();  // none can find it again: the registry's lock is held
  // Closing drops the descriptor from epoll without a word: what was still
  // pending completes here as failed, as on a completion port.
  if (socket->pendingReceive) complete(*socket, socket->pendingReceive, false, 0, false);
  if (socket->pendingSend) complete(*socket, socket->pendingSend, false, 0, false);
  if (socket->port != nullptr) epoll_ctl(socket->port->epollFd, EPOLL_CTL_DEL, socket->fd, nullptr);
  close(socket->fd);
  registry().sockets.erase(handle);
}

void releaseSocketBookkeeping() {
  Registry* current = registryInstance.load(std::memory_order_acquire);
  if (current == nullptr || !current->sockets.empty()) return;
  registryInstance.store(nullptr, std::memory_order_release);
  delete current;
}

}  // namespace brovane::net
