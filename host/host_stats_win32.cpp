// host_stats_win32.cpp: Toolhelp thread count, handle count, working set,
// Sleep, the next TLS index and handle value.
#include <windows.h>
// after windows.h, which they need
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>

#include "host_stats.h"

namespace host {

namespace {

bool underWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Wine's GetProcessHandleCount reads 0, and a Windows program cannot see
// its Linux side there: Wine's server opens the files, so /proc/self through
// drive Z: is the server's. So the handles are counted by asking for each
// value whether it names an open handle (values go in fours, lowest free
// first). The first 4,096 values are asked, each a call to the server; a leak
// past them shows in the next handle value.
long probedHandleCount() {
  long count = 0;
  DWORD flags = 0;
  for (uintptr_t value = 4; value <= 4 * 4096; value += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  return count;
}

long nextTlsIndex() {
  const DWORD index = TlsAlloc();
  if (index == TLS_OUT_OF_INDEXES) return -1;
  TlsFree(index);
  return static_cast<long>(index);
}

long privateKib() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  auto* plain = reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters);
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), plain, sizeof counters)) return -1;
  return static_cast<long>(counters.PrivateUsage / 1024);
}

long nextHandleValue() {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) return -1;
  const auto value = static_cast<long>(reinterpret_cast<uintptr_t>(event));
  CloseHandle(event);
  return value;
}

}  // namespace

int threadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  const DWORD self = GetCurrentProcessId();
  int count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == self) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

int handleCount() {
  DWORD count = 0;
  return GetProcessHandleCount(GetCurrentProcess(), &count) ? static_cast<int>(count) : -1;
}

long residentKib() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<long>(counters.WorkingSetSize / 1024);
}

void sleepMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

double monotonicMilliseconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

ProcessCounters processCounters() {
  ProcessCounters counters;
  counters.tlsIndex = nextTlsIndex();
  counters.threads = threadCount();  // under Wine each is a Linux thread too
  counters.handles = handleCount();
  if (counters.handles == 0 && underWine()) counters.handles = probedHandleCount();
  counters.nextHandle = nextHandleValue();
  counters.residentKib = residentKib();
  counters.privateKib = privateKib();
  return counters;
}

bool underMemoryTool() { return false; }

}  // namespace host
