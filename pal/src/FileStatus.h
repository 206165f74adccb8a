// Inside the PAL: Windows attributes and times of a host file's status, and the way file functions
// hand out text.
#pragma once

#include "pal/inc/WinTypes.h"

#include <sys/stat.h>

#include <string>

namespace OrvaneLib::Pal {

FILETIME fileTime(const struct statx_timestamp& time);

// The attributes of the object whose status this is; `posixPath` names it, to tell a link to a
// folder from other links.
DWORD attributesOf(const std::string& posixPath, const struct statx& status);

// The status, with the birth time where the file system keeps one. `flags` as statx takes them.
int statusOf(int folder, const char* path, int flags, struct statx& status);

// Copies text and its terminator out as Windows does: the length without the terminator, or, when
// the buffer is missing or too small (left alone), the size needed with the terminator.
DWORD copyOut(const std::u16string& text, LPWSTR buffer, DWORD bufferLength);

}  // namespace OrvaneLib::Pal
