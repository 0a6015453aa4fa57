// library.h: loading a shared library and looking up its exports by name.
#pragma once

#include <string>

namespace host {

class Library {
 public:
  explicit Library(const std::string& path);  // check loaded() afterwards
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  void* symbol(const char* name) const;  // null when absent
  void unload();                         // before the destructor, when the order matters
  static std::string lastError();
  // Whether the library at path is mapped in this process now: after the
  // last free, false unless something keeps it loaded.
  static bool mapped(const std::string& path);

 private:
  void* handle_ = nullptr;
};

std::string defaultLibraryPath(const char* baseName);  // beside this program

}  // namespace host
