#include "pal/src/Folders.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace OrvaneLib::Pal {

namespace {

struct TDirectoryCloser {
    void operator()(DIR* directory) const { closedir(directory); }
};

}  // namespace

int listFolder(int folder, std::vector<std::string>& names) {
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
            names.emplace_back(entry->d_name);
        }
    }
    if (errno != 0) {
        return errno;
    }
    std::sort(names.begin(), names.end());
    return 0;
}

}  // namespace OrvaneLib::Pal
