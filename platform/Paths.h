// Paths of the file system: canonical text form, existence, the long form of 8.3 aliases and the
// current directory. Texts are UTF-8; the Windows calls see their UTF-16 form. Both "\" and "/"
// separate on input; the canonical form separates with "/".
#pragma once

#include "Common/General/PathText.h"
#include "Common/General/TString.h"

namespace OrvaneLib {

// False for an empty path; otherwise whether a file or folder is there.
bool pathExists(const TString& path);
// A leading separator, or a drive letter's colon followed by a separator.
bool isAbsolutePath(const TString& path);
// The leading part that ".." never removes: "C:/", "C:", "/", "\\server/", "\\.\C:/" or empty.
TString getPathRoot(const TString& path);
// Removes the first "\\?\" found anywhere in the path; false when there is none.
bool stripLongPathPrefix(TString& path);
// Replaces the path by its long form; false (path unchanged) when the system cannot expand it.
bool expandShortPathName(TString& path);
// Resolves "." and "..", drops repeated separators, separates with "/" and expands 8.3 aliases
// of folders that exist. ".." never climbs above the root of an absolute path; in a relative path
// the ".." that have nothing left to remove are kept.
void normalizePath(TString& path);
// The process's current directory; empty when the system cannot tell it.
TString getCurrentDirectory();
// The value of an environment variable; empty when it is not set.
TString getEnvironmentVariable(const char* name);

}  // namespace OrvaneLib
