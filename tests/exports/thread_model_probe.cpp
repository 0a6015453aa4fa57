// thread_model_probe.cpp: what check-thread-model must find in a DLL built
// the old way (posix thread model, static winpthread): a thread_local and a
// function-local static with a guard.
#include <string>

int probeCount() {
  thread_local int calls = 0;
  return ++calls;
}

const std::string& probeName() {
  static const std::string name = std::to_string(probeCount());
  return name;
}
