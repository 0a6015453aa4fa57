// scratch.h: real files in a temporary directory for the update-list tests.
#pragma once

#include <cstdint>
#include <string>

namespace scratch {

// A new, empty directory of its own; removed with everything in it.
class Directory {
 public:
  Directory();
  ~Directory();
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;

  const std::string& path() const { return path_; }
  std::string pathOf(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

bool writeFile(const std::string& path, const std::string& bytes);

// Whether the platform names files in Unicode (wide names) rather than bytes.
bool namesAreUnicode();

// Writes a file named by Unicode text given as UTF-8, made through the wide
// calls where names are Unicode, so that names outside the ANSI code page can
// be made; where names are bytes, those bytes are the name.
bool writeFileNamedInUtf8(const std::string& directory, const std::string& utf8Name,
                          const std::string& bytes, int64_t unixTime);
std::string readFile(const std::string& path);  // empty when absent
bool fileExists(const std::string& path);
bool removeFile(const std::string& path);
bool makeDirectory(const std::string& path);

// Sets the size without writing the bytes (a sparse file where possible).
bool setFileSize(const std::string& path, uint64_t size);

// Sets the last-write time to a Unix time (seconds since 1970-01-01 UTC).
bool setLastWrite(const std::string& path, int64_t unixTime);

// Gives the file the platform's hidden and system marks, where it has them.
bool markHiddenAndSystem(const std::string& path);

// The platform's marks on a file, where it has them.
enum Mark : unsigned { hidden = 1, system = 2 };
// Sets exactly these marks; false when the platform has none of them.
bool setMarks(const std::string& path, unsigned marks);
unsigned marksOf(const std::string& path);

// Whether two names that differ only in letter case name two files.
bool namesAreCaseSensitive();

// The time zone named by the TZ variable, or empty.
std::string zoneName();

// A GBK text as UTF-8 (the platform's own converter).
std::string gbkToUtf8(const char* gbk);

}  // namespace scratch
