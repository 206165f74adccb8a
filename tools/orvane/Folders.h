// Whether the folders that the records name are on disk. Nothing here changes a file.
#pragma once

#include <string>

namespace OrvaneHost {

// True when the path names an existing file or folder.
bool pathExists(const std::string& path);
// True when the path names an existing folder.
bool folderExists(const std::string& path);
// The game's folder: its install path, else the folder that holds its path; empty when the
// record names neither.
std::string gameFolder(const std::string& installPath, const std::string& path);
// True when the record names a folder and that folder is not on disk.
bool folderMissing(const std::string& installPath, const std::string& path);

}  // namespace OrvaneHost
