// handles.h: the process's open handles (Windows) or descriptors (POSIX).
#pragma once

namespace nettest {

int openHandleCount();  // -1 when unknown

}  // namespace nettest
