// engine.cpp: the engine's life: its start, its workers and the completions
// they take, its stop, and its end at unload; ending a connection in order.
#include "engine_parts.h"

namespace brovane::net {

EngineState* engine = nullptr;
std::atomic<bool> callbacksOff{false};

namespace {

std::chrono::milliseconds leftUntil(Clock::time_point until) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
  return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

void handleCompletion(const Completion& done) {
  if (done.key == stopKey || done.record == nullptr) return;
  if (!validSlot(static_cast<int32_t>(done.key))) return;
  const auto slot = static_cast<int32_t>(done.key);
  const int32_t operation = done.record->operation;  // the record may be gone after
  if (operation == receiveOperation) finishReceive(slot, done.record, done);
  if (operation == sendOperation) finishSend(slot, done.record, done);
}

// With no worker left: this thread takes one completion and handles it.
// False when none came by until.
bool handleOneHere(Clock::time_point until) {
  const auto left = leftUntil(until);
  Completion done;
  if (left.count() == 0 ||
      !waitCompletionFor(engine->completionPort, static_cast<unsigned>(left.count()), &done))
    return false;
  handleCompletion(done);
  return true;
}

// Waits until ready() holds for the link, by until: on what the workers
// signal, or, alone, by handling the completions on this thread.
template <typename Ready>
bool awaitLink(SlotLink* link, Clock::time_point until, bool alone, Ready ready) {
  zelk::UniqueLock lock(link->mutex);
  if (!alone) return link->drained.wait_until(lock, until, ready);
  while (!ready()) {
    lock.unlock();
    const bool handled = handleOneHere(until);
    lock.lock();
    if (!handled) return ready();
  }
  return true;
}

void endSlotBy(int32_t slot, Clock::time_point flushUntil, bool alone) {
  std::shared_ptr<SlotLink> link = linkOf(slot);
  if (link == nullptr) return;
  const bool sentOut = awaitLink(link.get(), flushUntil, alone,
                                 [&] { return link->sends.idle() || link->receiveEnded; });
  {
    zelk::LockGuard lock(link->mutex);
    if (link->receiveEnded || link->ending) return;
    if (sentOut) shutdownSending(link->socket);
    link->sendingEnded = sentOut;
  }
  // Closing with data still coming in would reset the connection, and a
  // reset can cost the peer the frames it has not read yet: the receive
  // stays posted until the peer ends too, within the same time.
  if (sentOut) awaitLink(link.get(), flushUntil, alone, [&] { return link->receiveEnded; });
  closeSlotSocket(slot);  // what was not sent by now is dropped
}

void workerLoop() {
  // Its own port: a worker that a stop left running takes its stop key there.
  CompletionPort* const port = engine->completionPort;
  for (;;) {
    const Completion done = waitCompletion(port);
    if (done.key == stopKey) return;
    handleCompletion(done);
  }
}

}  // namespace

bool engineRunning() { return engine != nullptr && engine->running; }

bool handleReadyCompletion() {
  Completion done;
  if (!engineRunning() || !takeReadyCompletion(engine->completionPort, &done)) return false;
  handleCompletion(done);
  return true;
}

int startEngine() {
  if (engine == nullptr) return 0;
  if (engine->running) return 1;
  if (!startSockets()) return 0;
  callbacksOff = false;  // a start after a finish at unload (tests) has a reader again
  engine->completionPort = createCompletionPort();
  if (engine->completionPort == nullptr) {
    stopSockets();
    return 0;
  }
  pinModule();  // the host may free the library while workers run
  engine->workerCount = 2 * processorCount();
  engine->workerThreads = startWorkerPool(engine->workerCount, workerLoop);
  if (engine->workerThreads == nullptr) {
    closeCompletionPort(engine->completionPort);
    stopSockets();
    unpinModule();
    return 0;
  }
  engine->running = true;
  return 1;
}

bool finishEngineAlone(int32_t slot, Clock::time_point until) {
  if (!engineRunning()) return true;
  if (engine->abandoned) return false;  // a second try would only cost the time again
  engine->abandoned = true;             // until it has ended below
  for (unsigned i = 0; i < engine->workerCount; ++i) postStopKey(engine->completionPort);
  const PoolEnd workersEnd =
      stopWorkerPool(engine->workerThreads, static_cast<unsigned>(aloneWorkersWait.count()));
  engine->workerThreads = nullptr;
  // A process's end stops the workers wherever they are, often inside a
  // receive's start; only a lock held then leaves the state untrusted.
  if (workersEnd != PoolEnd::ended || !takeOverFromEndedWorkers(slot)) return false;
  callbacksOff = true;
  endSlotBy(slot, until, true);
  for (int32_t other : slotsInUse()) closeSlotSocket(other);
  while (slotsTaken() > 0 && handleOneHere(until)) {
  }
  if (slotsTaken() > 0) return false;  // their records may still be in the system's hands
  engine->abandoned = false;
  closeCompletionPort(engine->completionPort);
  engine->completionPort = nullptr;
  engine->running = false;
  // The sockets' start stays: WSACleanup is not to be called under the loader lock.
  return true;  // the module reference stays: the loader is at work
}

int stopEngine() { return stopEngine(endDeadlinesFrom(Clock::now()).stop); }

int stopEngine(Clock::time_point until) {
  if (!engineRunning()) return 0;
  using std::chrono::milliseconds;
  for (int32_t slot : slotsInUse()) closeSlotSocket(slot);
  // Their closed procedures run before the stop keys; the workers keep a
  // little time of their own even when the slots took all.
  const milliseconds workersAtLeast(100);
  waitForFreeSlots(until - workersAtLeast);
  for (unsigned i = 0; i < engine->workerCount; ++i) postStopKey(engine->completionPort);
  const auto workersLeft = std::max(leftUntil(until), workersAtLeast);
  const PoolEnd workersEnd =
      stopWorkerPool(engine->workerThreads, static_cast<unsigned>(workersLeft.count()));
  // A worker left running takes its stop key from the port when it comes
  // back: the port and the pool are then left to the process's end.
  if (workersEnd == PoolEnd::leftRunning)
    engine->leftRunning =
        new LeftRunning{engine->completionPort, engine->workerThreads, engine->leftRunning};
  else
    closeCompletionPort(engine->completionPort);
  engine->workerThreads = nullptr;
  engine->completionPort = nullptr;
  stopSockets();
  engine->running = false;
  if (workersEnd == PoolEnd::ended) unpinModule();  // a forced worker may still need our code
  return 1;
}

void endSlot(int32_t slot, Clock::time_point flushUntil) { endSlotBy(slot, flushUntil, false); }

}  // namespace brovane::net
