// The one door to the Windows API. On Windows it is the system's own headers; elsewhere the PAL
// provides the same names, types and values, so that code above it is one source for both.
#pragma once

#ifdef _WIN32
// windows.h first: the other headers build on its types.
#include <windows.h>

#include <mmsystem.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

// Wide literals: L"..." is UTF-16 on Windows.
#define W(text) L##text
#else
#include "pal/inc/Win32Api.h"
#endif
