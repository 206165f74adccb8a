// Pure text operations on Windows paths. Both "\" and "/" separate; every character test is an
// exact byte test. Nothing here touches the file system.
#pragma once

#include "Common/General/TString.h"

namespace OrvaneLib {

// base and relative joined with one separator: the base's own kind ("\" when it has one, else
// "/"). An empty side gives the other unchanged; an absolute relative path (a drive path or "\\"
// of three bytes or more) replaces the base.
TString joinPath(TString base, TString relative);
// The part before the last separator; a drive root keeps its separator (C:\Games gives C:\).
TString getDirectory(const TString& path);
// The part after the directory part; a path without a directory part is all file name.
TString getFileName(TString path);
// True when a directory component ends in a tilde alias (~1 to ~4) or the file name has the shape
// of an 8.3 alias (xxxxxx~N with an extension of at most three bytes).
bool isShortPathName(const TString& path);

}  // namespace OrvaneLib
