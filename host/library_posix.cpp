// library_posix.cpp: dlopen and dlsym.
#include <dlfcn.h>
#include <unistd.h>

#include "library.h"

namespace host {

Library::Library(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

Library::~Library() { unload(); }

void Library::unload() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

void* Library::symbol(const char* name) const { return dlsym(handle_, name); }

std::string Library::lastError() {
  const char* error = dlerror();
  return error ? error : "unknown error";
}

bool Library::mapped(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle != nullptr;
}

std::string defaultLibraryPath(const char* baseName) {
  char path[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string dir(path, length > 0 ? static_cast<size_t>(length) : 0);
  const size_t cut = dir.find_last_of('/');
  dir = cut == std::string::npos ? "." : dir.substr(0, cut);
  return dir + "/" + baseName + ".so";
}

}  // namespace host
