// update_list.h: the tool's working logic, without any window: where it
// runs, the list file, the names of the files and the lines of updat.txt.
#pragma once

#include <cstdint>

#include "date_time.h"
#include "filesystem.h"
#include "function_ref.h"
#include "memory.h"

namespace tarvex {

inline constexpr char listFileName[] = "updat.txt";
inline constexpr char toolFileName[] = "Tarvex.exe";  // the name the tool ships under

// The directory of programPath, cut before its last separator (double-byte
// aware); the empty text when there is none.
String runDirectoryOf(const char* programPath);

// The directory of the running program's own file.
String runDirectory();

// Empties names and refills it with the names of the files (not directories)
// that pattern matches, in enumeration order; returns their count. The names
// the tool's text cannot hold are not among them: they go, in a form fit to
// show, to leftOut when given (emptied first).
int32_t collectFileNames(const char* pattern, NameList& names, NameList* leftOut = nullptr);

// One line of the list, CR LF included.
void formatLine(String& line, const char* prefix, const String& name, int64_t count, int32_t size);

using PrefixGetter = FunctionRef<String()>;          // the edit box's current text
using LabelSetter = FunctionRef<void(const char*)>;  // replaces the label's caption

// The program-wide state: run directory, name list and the list-file slot.
class UpdateListTool {
 public:
  explicit UpdateListTool(String runDirectory);
  ~UpdateListTool();
  UpdateListTool(const UpdateListTool&) = delete;
  UpdateListTool& operator=(const UpdateListTool&) = delete;

  // Creates or empties updat.txt in the run directory and keeps it open;
  // a failure leaves the slot empty, silently.
  void openListFile();

  // Appends one line per listed file, then sets the label to "done"; then,
  // when files were left out, names them in a box.
  void generateUpdateList(PrefixGetter prefix, LabelSetter setLabel);

  const String& runDirectory() const { return runDirectory_; }
  const NameList& names() const { return names_; }
  const NameList& leftOut() const { return leftOut_; }

 private:
  void writeLineOf(const String& name, PrefixGetter prefix, String& line);

  String runDirectory_;
  NameList names_;
  NameList leftOut_;  // of the last press, as shown
  sys::FileHandle listFile_ = sys::noFile;
};

}  // namespace tarvex
