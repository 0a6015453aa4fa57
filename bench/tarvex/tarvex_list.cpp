// tarvex-list DIRECTORY [PREFIX]: writes DIRECTORY/updat.txt once, as one
// press of the start button does, through the same core as Tarvex.exe; the
// native stand-in for the window program in the benchmark and the demo.
#include <cstdio>

#include "update_list.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tarvex-list DIRECTORY [PREFIX]\n");
    return 2;
  }
  const char* prefix = argc > 2 ? argv[2] : "";
  tarvex::UpdateListTool tool{tarvex::String(argv[1])};
  tool.openListFile();
  bool done = false;
  tool.generateUpdateList([prefix] { return tarvex::String(prefix); },
                          [&done](const char*) { done = true; });
  return done ? 0 : 1;
}
