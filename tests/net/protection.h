// protection.h: whether memory may be executed, for the record tests.
#pragma once

namespace nettest {

bool isExecutable(const void* address);

}  // namespace nettest
