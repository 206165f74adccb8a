// Controls that only the PAL has, for tests and fault drills. Not part of the Windows API: include
// it directly, never through win32/Win32Api.h.
#pragma once

#include "pal/inc/WinTypes.h"

// Makes the named PAL function fail with `result` (a Win32 error code, an HRESULT or a status, as
// that function returns failures) after `callsToSkip` successful calls, `failures` times in a row.
// The environment variable ORVANE_PAL_FAULTS arms faults at start-up for whole processes:
// "Function=result[@skip][*count]" entries separated by commas, result in decimal or 0x-hex,
// for example "RegCreateKeyExW=5,CoCreateInstance=0x80004005@1".
PAL_API void palInjectFault(const char* function, LONG result, unsigned callsToSkip,
                            unsigned failures);
PAL_API void palClearFaults();

// How many timeBeginPeriod requests of this process have succeeded.
PAL_API unsigned palTimerPeriodRequests();
