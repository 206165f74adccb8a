#include "pal/src/Folders.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

namespace OrvaneLib::Pal {

namespace {

struct TDirectoryCloser {
    void operator()(DIR* directory) const { closedir(directory); }
};

}  // namespace

int listFolder(int folder, std::vector<TFolderEntry>& entries) {
    const int copy = fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        return errno;
    }
    std::unique_ptr<DIR, TDirectoryCloser> directory(fdopendir(copy));
    if (!directory) {
        const int error = errno;
        close(copy);
        return error;
    }
    errno = 0;
    while (const dirent* entry = readdir(directory.get())) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
            entries.push_back({entry->d_name, entry->d_type});
        }
    }
    if (errno != 0) {
        return errno;
    }
    std::sort(entries.begin(), entries.end(),
              [](const TFolderEntry& a, const TFolderEntry& b) { return a.name < b.name; });
    return 0;
}

int listFolder(int folder, std::vector<std::string>& names) {
    std::vector<TFolderEntry> entries;
    const int error = listFolder(folder, entries);
    for (TFolderEntry& entry : entries) {
        names.push_back(std::move(entry.name));
    }
    return error;
}

}  // namespace OrvaneLib::Pal
