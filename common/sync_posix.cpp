// sync_posix.cpp: the standard mutex, condition variable and steady clock.
#include <sched.h>

#include <condition_variable>
#include <new>

#include "sync.h"

namespace zelk {

static_assert(sizeof(std::mutex) <= 64 && alignof(std::mutex) <= 8, "storage too small");
static_assert(sizeof(std::condition_variable) <= 64 && alignof(std::condition_variable) <= 8,
              "storage too small");

namespace {

std::mutex& standardOf(Mutex& mutex) {
  return *std::launder(static_cast<std::mutex*>(mutex.native()));
}

}  // namespace

void yieldThread() { sched_yield(); }

SteadyClock::time_point SteadyClock::now() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return time_point(std::chrono::duration_cast<duration>(since));
}

Mutex::Mutex() { new (storage_) std::mutex; }

Mutex::~Mutex() { standardOf(*this).~mutex(); }

void Mutex::lock() { standardOf(*this).lock(); }

void Mutex::unlock() { standardOf(*this).unlock(); }

bool Mutex::try_lock() { return standardOf(*this).try_lock(); }

ConditionVariable::ConditionVariable() { new (storage_) std::condition_variable; }

ConditionVariable::~ConditionVariable() {
  std::launder(reinterpret_cast<std::condition_variable*>(storage_))->~condition_variable();
}

namespace {

std::condition_variable& standardOf(unsigned char* storage) {
  return *std::launder(reinterpret_cast<std::condition_variable*>(storage));
}

// The standard waits take a std::unique_lock of the std::mutex inside ours:
// one adopts the lock for the wait and gives it back after.
template <typename Wait>
auto waitAdopted(UniqueLock& lock, Wait wait) {
  std::unique_lock<std::mutex> standard(standardOf(*lock.mutex()), std::adopt_lock);
  const auto result = wait(standard);
  standard.release();
  return result;
}

}  // namespace

void ConditionVariable::notify_one() { standardOf(storage_).notify_one(); }

void ConditionVariable::notify_all() { standardOf(storage_).notify_all(); }

void ConditionVariable::wait(UniqueLock& lock) {
  waitAdopted(lock, [this](std::unique_lock<std::mutex>& standard) {
    standardOf(storage_).wait(standard);
    return true;
  });
}

bool ConditionVariable::waitForMs(UniqueLock& lock, uint32_t timeoutMs) {
  return waitAdopted(lock, [&](std::unique_lock<std::mutex>& standard) {
    return standardOf(storage_).wait_for(standard, std::chrono::milliseconds(timeoutMs)) ==
           std::cv_status::no_timeout;
  });
}

}  // namespace zelk
