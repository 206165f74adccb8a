// Inside the PAL: the object behind CLSID_FileOperation (see IFileOperation in pal/inc/WinShell.h).
#pragma once

#include "pal/inc/WinShell.h"

namespace OrvaneLib::Pal {

// A new file operation, asked for `riid`.
HRESULT createFileOperation(REFIID riid, void** result);

}  // namespace OrvaneLib::Pal
