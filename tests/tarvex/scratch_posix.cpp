// scratch_posix.cpp: temporary files through POSIX calls.
#include <fcntl.h>
#include <ftw.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "scratch.h"

namespace scratch {

Directory::Directory() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/tarvex-XXXXXX";
  path_ = mkdtemp(pattern.data()) ? pattern : std::string();
}

static int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}

Directory::~Directory() {
  if (!path_.empty()) nftw(path_.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

bool writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

bool namesAreUnicode() { return false; }

bool writeFileNamedInUtf8(const std::string& directory, const std::string& utf8Name,
                          const std::string& bytes, int64_t unixTime) {
  const std::string path = directory + "/" + utf8Name;
  return writeFile(path, bytes) && setLastWrite(path, unixTime);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }
bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }
bool makeDirectory(const std::string& path) { return mkdir(path.c_str(), 0755) == 0; }

bool setFileSize(const std::string& path, uint64_t size) {
  return truncate(path.c_str(), static_cast<off_t>(size)) == 0;
}

bool setLastWrite(const std::string& path, int64_t unixTime) {
  const struct timespec times[2] = {{static_cast<time_t>(unixTime), 0},
                                    {static_cast<time_t>(unixTime), 0}};
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool markHiddenAndSystem(const std::string&) { return true; }  // no such marks here

bool setMarks(const std::string&, unsigned marks) { return marks == 0; }
unsigned marksOf(const std::string&) { return 0; }

bool namesAreCaseSensitive() { return true; }

std::string zoneName() {
  const char* zone = std::getenv("TZ");
  return zone ? zone : "";
}

std::string gbkToUtf8(const char* gbk) {
  std::string in = gbk;
  std::string out(in.size() * 3 + 1, '\0');
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no GBK converter>";
  char* src = in.data();
  char* dst = out.data();
  size_t srcLeft = in.size(), dstLeft = out.size();
  const size_t result = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (result == static_cast<size_t>(-1)) return "<not GBK>";
  out.resize(out.size() - dstLeft);
  return out;
}

}  // namespace scratch
