// Permanent deletion of files and folders through the Windows Shell.
#pragma once

#include "Common/General/ProgressCallback.h"
#include "Common/General/TArray.h"
#include "Common/General/TString.h"

namespace OrvaneLib {

// Deletes every listed file or folder with all that it holds, permanently and without dialogs,
// on the calling thread, which becomes a single-threaded COM apartment unless it already is a
// multi-threaded one. Paths may be relative to the current directory and use either separator;
// empty and missing ones are skipped, and one that lies inside another listed path is left to
// that one. progress hears (done, total) on this thread, inside the call. True when everything
// that existed was deleted or nothing needed deleting; a failure is logged and gives false.
bool shellDeletePaths(TArray<TString> paths, ProgressCallback progress);

}  // namespace OrvaneLib
