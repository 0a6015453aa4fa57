// filesystem_win32.cpp: FindFirstFileA look-ups and a shared CreateFileA.
#include <windows.h>

#include <cstring>

#include "filesystem.h"

namespace tarvex::sys {

// Opened, then cut to zero length, rather than CREATE_ALWAYS: that refuses an
// existing hidden or system file unless the same attributes are asked for,
// and replaces the attributes it finds. A list its user hid stays hidden.
FileHandle createListFile(const char* path) {
  const HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return noFile;
  if (!SetEndOfFile(file)) {  // at offset 0: an earlier list is not kept in part
    CloseHandle(file);
    return noFile;
  }
  return reinterpret_cast<FileHandle>(file);
}

bool writeBytes(FileHandle file, const char* bytes, size_t length) {
  if (file == noFile) return false;
  while (length > 0) {
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(file), bytes, static_cast<DWORD>(length), &written,
                   nullptr) ||
        written == 0)
      return false;
    bytes += written;
    length -= written;
  }
  return true;
}

void closeFile(FileHandle file) {
  if (file != noFile) CloseHandle(reinterpret_cast<HANDLE>(file));
}

namespace {

// One FindFirstFileA enumeration, ended on every path out.
class FindScope {
 public:
  explicit FindScope(const char* pattern) : handle_(FindFirstFileA(pattern, &data_)) {}
  ~FindScope() {
    if (found()) FindClose(handle_);
  }
  FindScope(const FindScope&) = delete;
  FindScope& operator=(const FindScope&) = delete;

  bool found() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool next() { return FindNextFileA(handle_, &data_) != 0; }
  const WIN32_FIND_DATAA& data() const { return data_; }

 private:
  WIN32_FIND_DATAA data_{};
  HANDLE handle_;
};

}  // namespace

bool forEachFileName(const char* pattern, NameVisitor visit) {
  FindScope scan(pattern);
  if (!scan.found()) return false;
  do {
    const WIN32_FIND_DATAA& entry = scan.data();
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == FILE_ATTRIBUTE_DIRECTORY) continue;
    visit(entry.cFileName, strnlen(entry.cFileName, sizeof entry.cFileName));
  } while (scan.next());
  return true;
}

bool lastWriteTime(const char* path, DateTime* local) {
  FindScope lookup(path);
  if (!lookup.found()) return false;
  FILETIME localTime;
  SYSTEMTIME fields;
  if (!FileTimeToLocalFileTime(&lookup.data().ftLastWriteTime, &localTime) ||
      !FileTimeToSystemTime(&localTime, &fields))
    return false;
  *local = DateTime{fields.wYear, fields.wMonth,  fields.wDay,
                    fields.wHour, fields.wMinute, fields.wSecond};  // milliseconds dropped
  return true;
}

bool fileSizeLow(const char* path, int32_t* size) {
  FindScope lookup(path);
  if (!lookup.found()) return false;
  *size = static_cast<int32_t>(lookup.data().nFileSizeLow);  // the high half is ignored
  return true;
}

}  // namespace tarvex::sys
