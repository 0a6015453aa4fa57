// worker_threads_win32.cpp: workers from CreateThread; a module reference
// from GetModuleHandleEx keeps the DLL mapped while they run.
#include <windows.h>

#include <vector>

#include "worker_threads.h"

namespace brovane::net {

struct WorkerPool {
  void (*routine)();
  std::vector<HANDLE> threads;
  std::vector<DWORD> threadIds;
};

namespace {

HMODULE moduleReference = nullptr;

DWORD WINAPI runWorker(LPVOID parameter) {
  static_cast<WorkerPool*>(parameter)->routine();
  return 0xFFFFFFFF;  // the stop key's exit code
}

}  // namespace

unsigned processorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

WorkerPool* startWorkerPool(unsigned count, void (*routine)()) {
  auto* pool = new WorkerPool{routine, {}, {}};
  for (unsigned i = 0; i < count; ++i) {
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, runWorker, pool, 0, &id);
    if (thread == nullptr) continue;
    pool->threads.push_back(thread);
    pool->threadIds.push_back(id);
  }
  if (!pool->threads.empty()) return pool;
  delete pool;
  return nullptr;
}

// Waits on the handles themselves: a stop with idle workers returns as soon
// as they have ended.
PoolEnd stopWorkerPool(WorkerPool* pool, unsigned timeoutMs) {
  if (pool == nullptr) return PoolEnd::ended;
  for (DWORD id : pool->threadIds)
    if (id == GetCurrentThreadId()) return PoolEnd::leftRunning;
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  bool allEnded = true;
  for (HANDLE thread : pool->threads) {
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (WaitForSingleObject(thread, left) != WAIT_OBJECT_0) {
      TerminateThread(thread, 1);
      allEnded = false;
    }
    CloseHandle(thread);
  }
  delete pool;
  return allEnded ? PoolEnd::ended : PoolEnd::forced;
}

void pinModule() {
  if (moduleReference != nullptr) return;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&pinModule),
                     &moduleReference);
}

void unpinModule() {
  if (moduleReference == nullptr) return;
  FreeLibrary(moduleReference);
  moduleReference = nullptr;
}

}  // namespace brovane::net
