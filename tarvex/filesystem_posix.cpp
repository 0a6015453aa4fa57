// filesystem_posix.cpp: readdir, stat and plain descriptors. Nothing is
// hidden here: every entry that is not a directory is listed, when its name
// is GBK.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "filesystem.h"
#include "memory.h"

namespace tarvex::sys {

FileHandle createListFile(const char* path) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return fd < 0 ? noFile : fd;
}

bool writeBytes(FileHandle file, const char* bytes, size_t length) {
  while (length > 0) {
    const ssize_t written = write(static_cast<int>(file), bytes, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

void closeFile(FileHandle file) {
  if (file != noFile) close(static_cast<int>(file));
}

namespace {

struct DirectoryCloser {
  void operator()(DIR* directory) const { closedir(directory); }
};

// "*.*" matches every name, as it does on Windows.
bool nameMatches(const char* mask, const char* name) {
  return std::strcmp(mask, "*.*") == 0 || fnmatch(mask, name, 0) == 0;
}

bool isDirectory(const String& directory, const dirent* entry) {
  if (entry->d_type == DT_DIR) return true;
  if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) return false;
  String path = directory + "/" + entry->d_name;  // a link counts as what it names
  struct stat facts;
  return stat(path.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode);
}

bool isTrailByte(unsigned char byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFE);
}

// Names are bytes here, with no code page: the tool's text is GBK (code page
// 936), so a name is held when it is well-formed GBK. The length of the
// character at text, 0 when it is none.
size_t gbkCharLength(const unsigned char* text) {
  if (text[0] <= 0x80) return 1;  // 0x80 alone: code page 936's euro
  if (text[0] == 0xFF) return 0;
  return isTrailByte(text[1]) ? 2 : 0;  // a lead byte 0x81..0xFE and its trail
}

bool isGbk(const char* name) {
  const auto* text = reinterpret_cast<const unsigned char*>(name);
  for (size_t length; *text != 0; text += length)
    if ((length = gbkCharLength(text)) == 0) return false;
  return true;
}

// A name for the person at the screen: each byte that is no part of a GBK
// character written in hexadecimal, <FF>, the others as they are.
String shownName(const char* name) {
  static constexpr char hex[] = "0123456789ABCDEF";
  String shown;
  const auto* text = reinterpret_cast<const unsigned char*>(name);
  while (*text != 0) {
    const size_t length = gbkCharLength(text);
    if (length == 0) {
      const char escaped[] = {'<', hex[*text >> 4], hex[*text & 0xF], '>'};
      shown.append(escaped, sizeof escaped);
      ++text;
    } else {
      shown.append(reinterpret_cast<const char*>(text), length);
      text += length;
    }
  }
  return shown;
}

}  // namespace

bool forEachFileName(const char* pattern, NameVisitor visit, NameVisitor leftOut) {
  const char* slash = std::strrchr(pattern, '/');
  const String directory = slash ? String(pattern, slash - pattern) : String(".");
  const char* mask = slash ? slash + 1 : pattern;
  std::unique_ptr<DIR, DirectoryCloser> stream(
      opendir(directory.empty() ? "/" : directory.c_str()));
  if (!stream) return false;
  while (const dirent* entry = readdir(stream.get())) {
    if (!nameMatches(mask, entry->d_name) || isDirectory(directory, entry)) continue;
    if (isGbk(entry->d_name)) {
      visit(entry->d_name, std::strlen(entry->d_name));
    } else {
      const String shown = shownName(entry->d_name);
      leftOut(shown.data(), shown.size());
    }
  }
  return true;
}

bool lastWriteTime(const char* path, DateTime* local) {
  struct stat facts;
  if (stat(path, &facts) != 0) return false;
  // Shift by the offset in force now, not the one of the file's date.
  const time_t now = time(nullptr);
  struct tm nowLocal;
  if (localtime_r(&now, &nowLocal) == nullptr) return false;
  const time_t shifted = facts.st_mtim.tv_sec + nowLocal.tm_gmtoff;
  struct tm fields;
  if (gmtime_r(&shifted, &fields) == nullptr) return false;
  *local = DateTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                    fields.tm_hour,        fields.tm_min,     fields.tm_sec};
  return true;
}

bool fileSizeLow(const char* path, int32_t* size) {
  struct stat facts;
  if (stat(path, &facts) != 0) return false;
  *size = static_cast<int32_t>(static_cast<uint32_t>(facts.st_size));
  return true;
}

}  // namespace tarvex::sys
