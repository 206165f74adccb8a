// Inside the PAL: Windows paths to POSIX paths by the rule documented in pal/inc/WinFiles.h, and
// the error conversions that go with them (the text conversions are in pal/src/Utf.h).
#pragma once

#include "pal/inc/WinTypes.h"

#include <string>

namespace OrvaneLib::Pal {

struct TMappedPath {
    DWORD error = ERROR_SUCCESS;  // ERROR_SUCCESS when `posix` holds the path
    std::string posix;
};

TMappedPath mapWindowsPath(const std::u16string& path);

// The current directory as a Windows path; empty with `error` set when it can not be read.
std::u16string windowsCurrentDirectory(DWORD& error);

// The Windows form, in UTF-8, of a canonical POSIX path (no links, no "." or ".."): below the
// mapped drive whose folder holds it, the deepest one; false when no drive holds it.
bool windowsFormOf(const std::string& posixPath, std::string& windowsPath);

// Whether a POSIX path (not a link) is "/" or the folder of a mapped drive: a drive root.
bool isDriveRoot(const std::string& posixPath);

// The Win32 error code for an errno value.
DWORD win32ErrorFromErrno(int error);

// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND for a path that lstat could not find (`error`
// its errno), as Windows tells a missing name from a missing folder on the way.
DWORD notFoundError(const std::string& posixPath, int error);

}  // namespace OrvaneLib::Pal
