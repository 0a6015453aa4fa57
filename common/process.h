// process.h: ending the process, and the path of its main program file.
#pragma once

#include <cstddef>

namespace zelk::sys {

[[noreturn]] void exitProcess(int code);
[[noreturn]] void parkForever();  // this thread waits for the process's end
unsigned long currentThreadId();

// The full path of the running process's main program file, written into
// buffer (cut to fit, always terminated); false when it cannot be had.
bool mainProgramPath(char* buffer, size_t size);

// The separator of directories in that path.
char pathSeparator();

// Whether byte is the lead byte of a double-byte character of the machine's
// ANSI code page (GBK on the machines served).
bool isLeadByte(unsigned char byte);

}  // namespace zelk::sys
