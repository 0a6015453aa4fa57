// sync.h: the locks, condition variables and monotonic clock of the
// libraries. On Windows they are the system's own (SRW locks, condition
// variables, the performance counter), so a DLL needs no thread library that
// would keep a TLS index of the process after it is freed; elsewhere they
// are the standard ones. None of them holds a handle.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>  // std::lock_guard, a template over any lock, and std::try_to_lock

namespace zelk {

// A monotonic clock in the shape of std::chrono's clocks.
struct SteadyClock {
  using duration = std::chrono::nanoseconds;
  using rep = duration::rep;
  using period = duration::period;
  using time_point = std::chrono::time_point<SteadyClock>;
  static constexpr bool is_steady = true;
  static time_point now();
};

// Gives the rest of this thread's time slice to another ready thread, if any.
void yieldThread();

// Not recursive. Its storage holds the platform's lock.
class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock();
  void unlock();
  bool try_lock();  // never waits; false when another thread holds it

  void* native() { return storage_; }

 private:
  alignas(8) unsigned char storage_[64];
};

using LockGuard = std::lock_guard<Mutex>;

// A lock of a Mutex that can be given up and taken again. std::unique_lock
// would do, but its misuse checks throw std::system_error, and that one
// unused throw brings the runtime's string and error texts into the DLLs.
class UniqueLock {
 public:
  explicit UniqueLock(Mutex& mutex) : mutex_(&mutex) { lock(); }
  UniqueLock(Mutex& mutex, std::try_to_lock_t) : mutex_(&mutex), owns_(mutex.try_lock()) {}
  ~UniqueLock() {
    if (owns_) mutex_->unlock();
  }
  UniqueLock(const UniqueLock&) = delete;
  UniqueLock& operator=(const UniqueLock&) = delete;

  void lock() {
    mutex_->lock();
    owns_ = true;
  }
  void unlock() {
    mutex_->unlock();
    owns_ = false;
  }
  bool owns_lock() const { return owns_; }
  Mutex* mutex() const { return mutex_; }

 private:
  Mutex* mutex_;
  bool owns_ = false;
};

// Waits with a UniqueLock held; the waits with a predicate are the
// standard's, and wake-ups without a notification are allowed.
class ConditionVariable {
 public:
  ConditionVariable();
  ~ConditionVariable();
  ConditionVariable(const ConditionVariable&) = delete;
  ConditionVariable& operator=(const ConditionVariable&) = delete;

  void notify_one();
  void notify_all();
  void wait(UniqueLock& lock);
  // At most timeoutMs; false when the time ran out.
  bool waitForMs(UniqueLock& lock, uint32_t timeoutMs);

  template <typename Ready>
  void wait(UniqueLock& lock, Ready ready) {
    while (!ready()) wait(lock);
  }

  // A SteadyClock time point only: std::chrono::steady_clock of the win32
  // thread model's runtime reads the wall clock (gettimeofday).
  template <typename Ready>
  bool wait_until(UniqueLock& lock, SteadyClock::time_point until, Ready ready) {
    while (!ready()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - SteadyClock::now());
      if (left.count() <= 0) return ready();
      const auto step = left.count() < maxStepMs ? left.count() : maxStepMs;
      waitForMs(lock, static_cast<uint32_t>(step));
    }
    return true;
  }

  template <typename Rep, typename Period, typename Ready>
  bool wait_for(UniqueLock& lock, const std::chrono::duration<Rep, Period>& timeout, Ready ready) {
    return wait_until(lock, SteadyClock::now() + timeout, ready);
  }

 private:
  static constexpr int64_t maxStepMs = 24 * 3600 * 1000;  // far below any platform's "forever"
  alignas(8) unsigned char storage_[64];
};

template <typename TimePoint>
concept TimedWaitTakes = requires(ConditionVariable& variable, UniqueLock& lock, TimePoint until) {
  variable.wait_until(lock, until, [] { return true; });
};
static_assert(TimedWaitTakes<SteadyClock::time_point> &&
              !TimedWaitTakes<std::chrono::steady_clock::time_point>);

}  // namespace zelk
