// sync_win32.cpp: SRW locks, condition variables and the performance counter:
// kernel32 alone, no thread library, no handle.
#include <windows.h>

#include "sync.h"

namespace zelk {

static_assert(sizeof(SRWLOCK) <= 64 && sizeof(CONDITION_VARIABLE) <= 64, "storage too small");

namespace {

SRWLOCK* srwOf(Mutex& mutex) { return static_cast<SRWLOCK*>(mutex.native()); }

}  // namespace

void yieldThread() { SwitchToThread(); }

SteadyClock::time_point SteadyClock::now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);  // never fails since Windows XP
  QueryPerformanceCounter(&counter);
  const int64_t perSecond = frequency.QuadPart;
  const int64_t seconds = counter.QuadPart / perSecond;
  const int64_t rest = counter.QuadPart % perSecond;  // no overflow: below perSecond
  return time_point(duration(seconds * 1000000000 + rest * 1000000000 / perSecond));
}

Mutex::Mutex() { InitializeSRWLock(srwOf(*this)); }

Mutex::~Mutex() = default;  // an SRW lock holds nothing to give back

void Mutex::lock() { AcquireSRWLockExclusive(srwOf(*this)); }

void Mutex::unlock() { ReleaseSRWLockExclusive(srwOf(*this)); }

bool Mutex::try_lock() { return TryAcquireSRWLockExclusive(srwOf(*this)) != 0; }

ConditionVariable::ConditionVariable() {
  InitializeConditionVariable(reinterpret_cast<CONDITION_VARIABLE*>(storage_));
}

ConditionVariable::~ConditionVariable() = default;

void ConditionVariable::notify_one() {
  WakeConditionVariable(reinterpret_cast<CONDITION_VARIABLE*>(storage_));
}

void ConditionVariable::notify_all() {
  WakeAllConditionVariable(reinterpret_cast<CONDITION_VARIABLE*>(storage_));
}

void ConditionVariable::wait(UniqueLock& lock) {
  SleepConditionVariableSRW(reinterpret_cast<CONDITION_VARIABLE*>(storage_), srwOf(*lock.mutex()),
                            INFINITE, 0);
}

bool ConditionVariable::waitForMs(UniqueLock& lock, uint32_t timeoutMs) {
  const DWORD wait = timeoutMs < INFINITE ? timeoutMs : INFINITE - 1;
  return SleepConditionVariableSRW(reinterpret_cast<CONDITION_VARIABLE*>(storage_),
                                   srwOf(*lock.mutex()), wait, 0) != 0;
}

}  // namespace zelk
