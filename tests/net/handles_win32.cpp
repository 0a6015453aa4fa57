// handles_win32.cpp: this process's entries in the system's handle list
// (NtQuerySystemInformation, extended form): Wine's GetProcessHandleCount
// always says 0.
#include <windows.h>

#include <vector>

#include "handles.h"

namespace nettest {
namespace {

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

}  // namespace

int openHandleCount() {
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

}  // namespace nettest
