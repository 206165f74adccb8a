// Injected faults of kernel32 functions: they fail the way those functions do, with the injected
// result as the thread's last error.
#pragma once

#include "pal/inc/WinKernel.h"
#include "pal/src/Faults.h"

inline bool palFailsWithLastError(const char* function) {
    LONG error = ERROR_SUCCESS;
    if (!palFault(function, error)) {
        return false;
    }
    SetLastError(static_cast<DWORD>(error));
    return true;
}
