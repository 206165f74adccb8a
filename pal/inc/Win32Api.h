// The PAL: a stand-in for the subset of the Windows API that OrvaneLib calls, under the Windows
// names, types and values, for systems that are not Windows. Include it only through
// win32/Win32Api.h.
#pragma once

#include "pal/inc/WinFiles.h"
#include "pal/inc/WinKernel.h"
#include "pal/inc/WinRegistry.h"
#include "pal/inc/WinShell.h"
#include "pal/inc/WinTypes.h"
