// scratch_win32.cpp: temporary files through Win32 calls.
#include <windows.h>
#include <winioctl.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "scratch.h"

namespace scratch {

Directory::Directory() {
  char base[MAX_PATH] = {};
  GetTempPathA(sizeof base, base);
  for (unsigned attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
    const std::string candidate = std::string(base) + "tarvex-" +
                                  std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(GetTickCount() + attempt);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
  }
}

static std::wstring widened(const std::string& text, UINT codePage) {
  const int length = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.c_str(), -1, wide.data(), length);
  wide.resize(static_cast<size_t>(length - 1));
  return wide;
}

// By wide names: a name outside the ANSI code page has no ANSI form to delete.
static void removeTree(const std::wstring& directory) {
  WIN32_FIND_DATAW entry;
  const HANDLE scan = FindFirstFileW((directory + L"\\*").c_str(), &entry);
  if (scan != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = directory + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(scan, &entry));
    FindClose(scan);
  }
  RemoveDirectoryW(directory.c_str());
}

Directory::~Directory() {
  if (!path_.empty()) removeTree(widened(path_, CP_ACP));
}

bool writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

bool namesAreUnicode() { return true; }

static FILETIME fileTimeOf(int64_t unixTime) {
  const uint64_t ticks = static_cast<uint64_t>((unixTime + 11644473600LL) * 10000000LL);
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool writeFileNamedInUtf8(const std::string& directory, const std::string& utf8Name,
                          const std::string& bytes, int64_t unixTime) {
  const std::wstring path = widened(directory, CP_ACP) + L"\\" + widened(utf8Name, CP_UTF8);
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const FILETIME time = fileTimeOf(unixTime);
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size() && SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
  return ok;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool fileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
bool removeFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }
bool makeDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr); }

// One handle, closed on every path out.
struct OpenFile {
  HANDLE handle;
  explicit OpenFile(const std::string& path)
      : handle(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~OpenFile() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

bool setFileSize(const std::string& path, uint64_t size) {
  OpenFile file(path);
  if (file.handle == INVALID_HANDLE_VALUE) return false;
  DWORD returned = 0;  // sparse where the file system can; plain otherwise
  DeviceIoControl(file.handle, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(file.handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(file.handle);
}

bool setLastWrite(const std::string& path, int64_t unixTime) {
  OpenFile file(path);
  if (file.handle == INVALID_HANDLE_VALUE) return false;
  const FILETIME time = fileTimeOf(unixTime);
  return SetFileTime(file.handle, nullptr, nullptr, &time) != 0;
}

bool markHiddenAndSystem(const std::string& path) {
  return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) != 0;
}

namespace {
const struct {
  Mark mark;
  DWORD attribute;
} markAttributes[] = {{hidden, FILE_ATTRIBUTE_HIDDEN}, {system, FILE_ATTRIBUTE_SYSTEM}};
}  // namespace

bool setMarks(const std::string& path, unsigned marks) {
  DWORD attributes = 0;
  for (const auto& m : markAttributes)
    if (marks & m.mark) attributes |= m.attribute;
  return SetFileAttributesA(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL) != 0;
}

unsigned marksOf(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  unsigned marks = 0;
  if (attributes == INVALID_FILE_ATTRIBUTES) return marks;
  for (const auto& m : markAttributes)
    if (attributes & m.attribute) marks |= m.mark;
  return marks;
}

bool namesAreCaseSensitive() { return false; }

std::string zoneName() {
  const char* zone = std::getenv("TZ");
  return zone ? zone : "";
}

std::string gbkToUtf8(const char* gbk) {
  const int wide = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk, -1, nullptr, 0);
  if (wide <= 0) return "<not GBK>";
  std::wstring utf16(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(936, 0, gbk, -1, utf16.data(), wide);
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, utf16.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.c_str(), -1, out.data(), bytes, nullptr, nullptr);
  out.resize(static_cast<size_t>(bytes > 0 ? bytes - 1 : 0));
  return out;
}

}  // namespace scratch
