// host_stats_win32.cpp: Toolhelp thread count, handle count, working set,
// Sleep, the next TLS index and handle, and under Wine the Linux side.
#include <windows.h>
// after windows.h, which they need
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host_stats.h"

namespace host {

namespace {

bool underWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Entries of a Linux directory, through Wine's drive Z:; -1 when not there.
long unixEntries(const char* pattern) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return -1;
  long count = 0;
  do {
    if (entry.cFileName[0] != '.') ++count;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return count;
}

// A "Name: N kB" line of the Linux process's status, through drive Z:.
long unixStatusKib(const char* format) {
  HANDLE file = CreateFileA("Z:\\proc\\self\\status", GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  char text[8192] = {};
  DWORD got = 0;
  ReadFile(file, text, sizeof text - 1, &got, nullptr);
  CloseHandle(file);
  long kib = -1;
  for (const char* line = text; line != nullptr && kib < 0; line = std::strchr(line, '\n')) {
    if (*line == '\n') ++line;
    if (std::sscanf(line, format, &kib) != 1) kib = -1;
  }
  return kib;
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
  counters.threads = threadCount();
  counters.handles = handleCount();
  counters.nextHandle = nextHandleValue();
  if (underWine()) {  // the Windows process is this Linux process
    counters.unixThreads = unixEntries("Z:\\proc\\self\\task\\*");
    counters.unixDescriptors = unixEntries("Z:\\proc\\self\\fd\\*");
  }
  counters.residentKib = residentKib();
  counters.privateKib = privateKib();
  if (counters.privateKib <= 0 && underWine()) counters.privateKib = unixStatusKib("VmData: %ld");
  return counters;
}

}  // namespace host
