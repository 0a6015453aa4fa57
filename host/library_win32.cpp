// library_win32.cpp: LoadLibraryA and GetProcAddress.
#include <windows.h>

#include "library.h"

namespace host {

Library::Library(const std::string& path) : handle_(LoadLibraryA(path.c_str())) {}

Library::~Library() { unload(); }

void Library::unload() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

void* Library::symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::string Library::lastError() { return "error " + std::to_string(GetLastError()); }

bool Library::mapped(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }

std::string defaultLibraryPath(const char* baseName) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  const size_t cut = dir.find_last_of("\\/");
  dir = cut == std::string::npos ? "." : dir.substr(0, cut);
  return dir + "\\" + baseName + ".dll";
}

}  // namespace host
