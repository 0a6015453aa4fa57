// host_stats_win32.cpp: Toolhelp thread count, handle count, working set, Sleep.
#include <windows.h>
// after windows.h, which they need
#include <psapi.h>
#include <tlhelp32.h>

#include <vector>

#include "host_stats.h"

namespace host {

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

namespace {

// The system's list of open handles (NtQuerySystemInformation, extended form).
struct HandleEntry {
  void* object;
  ULONG_PTR processId;
  ULONG_PTR handleValue;
  ULONG grantedAccess;
  USHORT creatorBackTraceIndex;
  USHORT objectTypeIndex;
  ULONG handleAttributes;
  ULONG reserved;
};
struct HandleList {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};
using QuerySystem = LONG(WINAPI*)(ULONG infoClass, void* buffer, ULONG length, ULONG* needed);
constexpr ULONG extendedHandleInformation = 64;
constexpr LONG lengthMismatch = static_cast<LONG>(0xC0000004);

// Our entries in that list: Wine's GetProcessHandleCount always says 0.
int handlesListed() {
  const auto query = reinterpret_cast<QuerySystem>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return -1;
  std::vector<unsigned char> buffer(1 << 16);
  LONG status;
  while ((status = query(extendedHandleInformation, buffer.data(),
                         static_cast<ULONG>(buffer.size()), nullptr)) == lengthMismatch)
    buffer.resize(buffer.size() * 2);
  if (status != 0) return -1;
  const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
  const ULONG_PTR self = GetCurrentProcessId();
  int count = 0;
  for (ULONG_PTR i = 0; i < list->count; ++i)
    if (list->entries[i].processId == self) ++count;
  return count;
}

}  // namespace

int handleCount() {
  DWORD count = 0;
  if (!GetProcessHandleCount(GetCurrentProcess(), &count)) return -1;
  return count > 0 ? static_cast<int>(count) : handlesListed();
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

}  // namespace host
