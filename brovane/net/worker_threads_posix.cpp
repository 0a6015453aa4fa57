// worker_threads_posix.cpp: workers as std::threads; dlopen pins the module.
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "sync.h"
#include "worker_threads.h"

namespace brovane::net {

struct WorkerPool {
  zelk::Mutex mutex;
  zelk::ConditionVariable ended;
  unsigned running = 0;
  std::vector<std::thread> threads;
};

namespace {

void* moduleReference = nullptr;

// Counted on any way out: a worker a callback ended (pthread_exit) has ended.
struct WorkerEnd {
  WorkerPool* pool;
  ~WorkerEnd() {
    zelk::LockGuard lock(pool->mutex);
    --pool->running;
    pool->ended.notify_all();
  }
};

void runWorker(WorkerPool* pool, void (*routine)()) {
  const WorkerEnd end{pool};
  routine();
}

bool isWorkerOf(WorkerPool* pool) {
  zelk::LockGuard lock(pool->mutex);
  for (const std::thread& thread : pool->threads)
    if (thread.get_id() == std::this_thread::get_id()) return true;
  return false;
}

}  // namespace

unsigned processorCount() {
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<unsigned>(count) : 1;
}

WorkerPool* startWorkerPool(unsigned count, void (*routine)()) {
  auto* pool = new WorkerPool;
  pool->threads.reserve(count);  // nothing is allocated under the pool's lock
  for (unsigned i = 0; i < count; ++i) {
    try {
      zelk::LockGuard lock(pool->mutex);
      pool->threads.emplace_back(runWorker, pool, routine);
      ++pool->running;
    } catch (...) {  // a thread that cannot be made: fewer workers
    }
  }
  if (!pool->threads.empty()) return pool;
  delete pool;
  return nullptr;
}

// Called on a worker, the others are waited for and joined, and the caller
// is left running with the pool, which it still uses.
PoolEnd stopWorkerPool(WorkerPool* pool, unsigned timeoutMs) {
  if (pool == nullptr) return PoolEnd::ended;
  const bool fromWorker = isWorkerOf(pool);
  const unsigned stillRunning = fromWorker ? 1 : 0;
  bool othersEnded = false;
  {
    zelk::UniqueLock lock(pool->mutex);
    othersEnded = pool->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                       [&] { return pool->running == stillRunning; });
  }
  if (!othersEnded) {  // a worker stuck in a callback: left to run, the pool with it
    for (std::thread& thread : pool->threads) thread.detach();
    return PoolEnd::leftRunning;
  }
  for (std::thread& thread : pool->threads)
    thread.get_id() == std::this_thread::get_id() ? thread.detach() : thread.join();
  if (fromWorker) return PoolEnd::leftRunning;
  delete pool;
  return PoolEnd::ended;
}

void pinModule() {
  if (moduleReference != nullptr) return;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&pinModule), &info) == 0 || info.dli_fname == nullptr) return;
  moduleReference = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

void unpinModule() {
  if (moduleReference == nullptr) return;
  dlclose(moduleReference);
  moduleReference = nullptr;
}

}  // namespace brovane::net
