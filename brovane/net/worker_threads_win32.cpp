// worker_threads_win32.cpp: workers from CreateThread; a module reference
// from GetModuleHandleEx keeps the DLL mapped while they run.
#include <windows.h>

#include <memory>

#include "heap.h"
#include "worker_threads.h"

namespace brovane::net {

// The arrays come from the library's heap: a std::vector's size checks
// would bring the runtime's exception texts into the DLL.
struct WorkerPool {
  void (*routine)();
  std::unique_ptr<HANDLE[], zelk::HeapDeleter> threads;
  std::unique_ptr<DWORD[], zelk::HeapDeleter> threadIds;
  unsigned started = 0;
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
  auto* pool = new WorkerPool{routine, nullptr, nullptr};
  pool->threads.reset(static_cast<HANDLE*>(zelk::heapAlloc(count * sizeof(HANDLE))));
  pool->threadIds.reset(static_cast<DWORD*>(zelk::heapAlloc(count * sizeof(DWORD))));
  for (unsigned i = 0; i < count; ++i) {
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, runWorker, pool, 0, &id);
    if (thread == nullptr) continue;
    pool->threads[pool->started] = thread;
    pool->threadIds[pool->started++] = id;
  }
  if (pool->started != 0) return pool;
  delete pool;
  return nullptr;
}

// Waits on the handles themselves: a stop with idle workers returns as soon
// as they have ended.
PoolEnd stopWorkerPool(WorkerPool* pool, unsigned timeoutMs) {
  if (pool == nullptr) return PoolEnd::ended;
  for (unsigned i = 0; i < pool->started; ++i)
    if (pool->threadIds[i] == GetCurrentThreadId()) return PoolEnd::leftRunning;
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  bool allEnded = true;
  for (unsigned i = 0; i < pool->started; ++i) {
    HANDLE thread = pool->threads[i];
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
