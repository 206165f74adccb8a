#include "pal/inc/WinKernel.h"

#include "pal/src/FileStatus.h"
#include "pal/src/KernelFault.h"
#include "pal/src/Utf.h"

#include <cstdlib>
#include <string>

using namespace OrvaneLib::Pal;

DWORD WINAPI GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
    if (palFailsWithLastError("GetEnvironmentVariableW")) {
        return 0;
    }
    std::string narrowName;
    if (name == nullptr || !utf8FromUtf16(name, narrowName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* value = getenv(narrowName.c_str());
    if (value == nullptr) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    return copyOut(utf16FromUtf8(value), buffer, size);
}
