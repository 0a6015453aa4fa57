// filesystem_win32.cpp: FindFirstFileA look-ups, a listing by wide names
// and a shared CreateFileA.
#include <windows.h>

#include <charconv>

#include "filesystem.h"
#include "memory.h"

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

namespace {

using WideString = std::basic_string<wchar_t, std::char_traits<wchar_t>, Allocator<wchar_t>>;

// One FindFirstFileW enumeration, ended on every path out. The ANSI calls
// would hand a name outside the code page over with '?' in it, which then
// names no file, or the wrong one ('?' is a wildcard to a look-up).
class WideFindScope {
 public:
  explicit WideFindScope(const WideString& pattern)
      : handle_(FindFirstFileW(pattern.c_str(), &data_)) {}
  ~WideFindScope() {
    if (found()) FindClose(handle_);
  }
  WideFindScope(const WideFindScope&) = delete;
  WideFindScope& operator=(const WideFindScope&) = delete;

  bool found() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool next() { return FindNextFileW(handle_, &data_) != 0; }
  const WIN32_FIND_DATAW& data() const { return data_; }

 private:
  WIN32_FIND_DATAW data_{};
  HANDLE handle_;
};

bool widen(const char* text, WideString& wide) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 0) return false;
  wide.assign(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  wide.resize(static_cast<size_t>(length) - 1);
  return true;
}

// The characters in the ANSI code page, when they convert there with no
// best fit and no default character and back to the very same characters.
bool toAnsi(const wchar_t* wide, int length, String& ansi) {
  // The UTF-8 code page takes neither the flag nor the default's report.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* const reportDefault = utf8 ? nullptr : &usedDefault;
  const int bytes =
      WideCharToMultiByte(CP_ACP, flags, wide, length, nullptr, 0, nullptr, reportDefault);
  if (bytes <= 0 || usedDefault) return false;
  ansi.assign(static_cast<size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, wide, length, ansi.data(), bytes, nullptr,
                          reportDefault) != bytes ||
      usedDefault)
    return false;
  WideString back(static_cast<size_t>(length), L'\0');
  return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), bytes, back.data(),
                             length) == length &&
         back.compare(0, static_cast<size_t>(length), wide, static_cast<size_t>(length)) == 0;
}

void appendCodePoint(String& shown, unsigned codePoint) {
  char digits[8];
  const auto end = std::to_chars(digits, digits + sizeof digits, codePoint, 16).ptr;
  shown += "<U+";
  shown.append(static_cast<size_t>(4 > end - digits ? 4 - (end - digits) : 0), '0');
  for (const char* digit = digits; digit != end; ++digit)
    shown += *digit >= 'a' ? static_cast<char>(*digit - 'a' + 'A') : *digit;
  shown += '>';
}

// A name for the person at the screen: each character the code page cannot
// hold written as its code point, <U+D55C>, the others as they are.
String shownName(const wchar_t* wide, size_t length) {
  String shown, piece;
  for (size_t i = 0; i < length;) {
    const bool pair = IS_HIGH_SURROGATE(wide[i]) && i + 1 < length && IS_LOW_SURROGATE(wide[i + 1]);
    const int units = pair ? 2 : 1;
    if (toAnsi(wide + i, units, piece))
      shown += piece;
    else
      appendCodePoint(
          shown, pair ? 0x10000u + ((wide[i] - 0xD800u) << 10) + (wide[i + 1] - 0xDC00u) : wide[i]);
    i += static_cast<size_t>(units);
  }
  return shown;
}

}  // namespace

bool forEachFileName(const char* pattern, NameVisitor visit, NameVisitor leftOut) {
  WideString widePattern;
  if (!widen(pattern, widePattern)) return false;
  WideFindScope scan(widePattern);
  if (!scan.found()) return false;
  String name;
  do {
    const WIN32_FIND_DATAW& entry = scan.data();
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == FILE_ATTRIBUTE_DIRECTORY) continue;
    const size_t length = wcsnlen(entry.cFileName, MAX_PATH);
    if (toAnsi(entry.cFileName, static_cast<int>(length), name)) {
      visit(name.data(), name.size());
    } else {
      const String shown = shownName(entry.cFileName, length);
      leftOut(shown.data(), shown.size());
    }
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
