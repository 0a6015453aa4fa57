// update_list.cpp: collecting the names and writing the lines of updat.txt.
#include "update_list.h"

#include <charconv>

#include "left_out.h"
#include "path.h"
#include "process.h"
#include "texts.h"

namespace tarvex {

static constexpr size_t programPathCapacity = 260;

String runDirectoryOf(const char* programPath) {
  const size_t length =
      zelk::directoryLengthOrZero(programPath, zelk::sys::pathSeparator(), zelk::sys::isLeadByte);
  return String(programPath, length);
}

String runDirectory() {
  char path[programPathCapacity] = {};
  if (!zelk::sys::mainProgramPath(path, sizeof path)) return String();
  return runDirectoryOf(path);
}

int32_t collectFileNames(const char* pattern, NameList& names, NameList* leftOut) {
  names.clear();
  if (leftOut) leftOut->clear();
  if (pattern == nullptr || *pattern == '\0') return 0;
  sys::forEachFileName(
      pattern, [&](const char* name, size_t length) { names.emplace_back(name, length); },
      [&](const char* shown, size_t length) {
        if (leftOut) leftOut->emplace_back(shown, length);
      });
  return static_cast<int32_t>(names.size());
}

template <class Integer>
static void appendDecimal(String& out, Integer value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

void formatLine(String& line, const char* prefix, const String& name, int64_t count, int32_t size) {
  line.assign(prefix);
  line += name;
  line += ' ';
  appendDecimal(line, count);
  line += ' ';
  appendDecimal(line, size);
  line += "\r\n";
}

UpdateListTool::UpdateListTool(String runDirectory) : runDirectory_(std::move(runDirectory)) {}

UpdateListTool::~UpdateListTool() { sys::closeFile(listFile_); }

void UpdateListTool::openListFile() {
  sys::closeFile(listFile_);
  const String path = runDirectory_ + "/" + listFileName;
  listFile_ = sys::createListFile(path.c_str());
}

void UpdateListTool::generateUpdateList(PrefixGetter prefix, LabelSetter setLabel) {
  const String pattern = runDirectory_ + "/*.*";
  const int32_t count = collectFileNames(pattern.c_str(), names_, &leftOut_);
  String line;
  for (int32_t i = 0; i < count; ++i) {
    const String& name = names_[static_cast<size_t>(i)];
    if (name == listFileName || name == toolFileName) continue;
    writeLineOf(name, prefix, line);
  }
  setLabel(texts::done);
  if (!leftOut_.empty()) showLeftOut(leftOut_);
}

// Two look-ups (time, then size) and one write, the line handed over at once.
void UpdateListTool::writeLineOf(const String& name, PrefixGetter prefix, String& line) {
  const String path = runDirectory_ + "/" + name;
  DateTime written;
  if (!sys::lastWriteTime(path.c_str(), &written)) written = earliestDateTime;
  int32_t size;
  if (!sys::fileSizeLow(path.c_str(), &size)) size = -1;
  formatLine(line, prefix().c_str(), name, secondsSinceReference(written), size);
  if (listFile_ != sys::noFile) sys::writeBytes(listFile_, line.data(), line.size());
}

}  // namespace tarvex
