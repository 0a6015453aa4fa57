// filesystem.h: the directory and file operations of the update list.
#pragma once

#include <cstddef>
#include <cstdint>

#include "date_time.h"
#include "function_ref.h"

namespace tarvex::sys {

using FileHandle = intptr_t;
inline constexpr FileHandle noFile = -1;

// Opens path for writing: created when absent, emptied when present (hidden
// and system files too, keeping their attributes); others may read and write
// it meanwhile; bytes go out unchanged. noFile on failure.
FileHandle createListFile(const char* path);
bool writeBytes(FileHandle file, const char* bytes, size_t length);
void closeFile(FileHandle file);

// Every entry that pattern (a directory + "/*.*") matches and that is not a
// directory, in the platform's order, by its long name. A name that the
// tool's text (the ANSI code page, GBK) cannot hold goes to leftOut instead,
// in a form fit to show: what cannot be held is written as <U+D55C> (a
// character, Windows) or <FF> (a byte, POSIX). False when the enumeration
// could not begin.
using NameVisitor = FunctionRef<void(const char* name, size_t length)>;
bool forEachFileName(const char* pattern, NameVisitor visit, NameVisitor leftOut);

// The last-write time of path in local wall-clock terms, taken with the zone
// offset in force now (whatever the file's own date), cut to the second.
bool lastWriteTime(const char* path, DateTime* local);

// The low 32 bits of path's size, read as signed.
bool fileSizeLow(const char* path, int32_t* size);

}  // namespace tarvex::sys
