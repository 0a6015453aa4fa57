// filesystem_posix.cpp: readdir, stat and plain descriptors. Nothing is
// hidden here: every entry that is not a directory is listed.
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

}  // namespace

bool forEachFileName(const char* pattern, NameVisitor visit) {
  const char* slash = std::strrchr(pattern, '/');
  const String directory = slash ? String(pattern, slash - pattern) : String(".");
  const char* mask = slash ? slash + 1 : pattern;
  std::unique_ptr<DIR, DirectoryCloser> stream(
      opendir(directory.empty() ? "/" : directory.c_str()));
  if (!stream) return false;
  while (const dirent* entry = readdir(stream.get())) {
    if (!nameMatches(mask, entry->d_name) || isDirectory(directory, entry)) continue;
    visit(entry->d_name, std::strlen(entry->d_name));
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
