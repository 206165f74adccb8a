// The PAL: a stand-in for the subset of the Windows API that OrvaneLib calls, under the Windows
// names, types and values, for systems that are not Windows. Include it only through
// platform/Win32Api.h.
#pragma once

#include "pal/WinFiles.h"
#include "pal/WinKernel.h"
#include "pal/WinRegistry.h"
#include "pal/WinShell.h"
#include "pal/WinTypes.h"
