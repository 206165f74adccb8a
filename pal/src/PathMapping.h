// Inside the PAL: Windows paths to POSIX paths by the rule documented in pal/inc/WinFiles.h, and the
// text and error conversions that go with them.
#pragma once

#include "pal/inc/WinTypes.h"

#include <string>

namespace OrvaneLib::Pal {

// UTF-16 to UTF-8; false for an unpaired surrogate.
bool utf8FromUtf16(const std::u16string& text, std::string& utf8);
// UTF-8 to UTF-16; each byte of a malformed sequence becomes U+FFFD.
std::u16string utf16FromUtf8(const std::string& utf8);

struct TMappedPath {
    DWORD error = ERROR_SUCCESS;  // ERROR_SUCCESS when `posix` holds the path
    std::string posix;
};

TMappedPath mapWindowsPath(const std::u16string& path);

// The current directory as a Windows path; empty with `error` set when it can not be read.
std::u16string windowsCurrentDirectory(DWORD& error);

// Whether a POSIX path (not a link) is "/" or the folder of a mapped drive: a drive root.
bool isDriveRoot(const std::string& posixPath);

// The Win32 error code for an errno value.
DWORD win32ErrorFromErrno(int error);

// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND for a path that lstat could not find (`error`
// its errno), as Windows tells a missing name from a missing folder on the way.
DWORD notFoundError(const std::string& posixPath, int error);

}  // namespace OrvaneLib::Pal
