#include "pal/src/FileStatus.h"

#include "pal/inc/WinFiles.h"

#include <fcntl.h>

#include <algorithm>

namespace OrvaneLib::Pal {

namespace {

constexpr long long secondsFrom1601To1970 = 11644473600LL;

bool isFolder(const std::string& posixPath) {
    struct stat status;
    return stat(posixPath.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

FILETIME fileTime(const struct statx_timestamp& time) {
    long long ticks = (time.tv_sec + secondsFrom1601To1970) * 10000000LL + time.tv_nsec / 100;
    ticks = std::max(ticks, 0LL);
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

DWORD attributesOf(const std::string& posixPath, const struct statx& status) {
    DWORD attributes = 0;
    if (S_ISLNK(status.stx_mode)) {
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        if (isFolder(posixPath)) {
            attributes |= FILE_ATTRIBUTE_DIRECTORY;
        }
    } else {
        if (S_ISDIR(status.stx_mode)) {
            attributes |= FILE_ATTRIBUTE_DIRECTORY;
        }
        if ((status.stx_mode & S_IWUSR) == 0) {
            attributes |= FILE_ATTRIBUTE_READONLY;
        }
    }
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

int statusOf(int folder, const char* path, int flags, struct statx& status) {
    return statx(folder, path, flags, STATX_BASIC_STATS | STATX_BTIME, &status);
}

DWORD copyOut(const std::u16string& text, LPWSTR buffer, DWORD bufferLength) {
    const DWORD needed = static_cast<DWORD>(text.size() + 1);
    if (buffer == nullptr || bufferLength < needed) {
        return needed;
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return needed - 1;
}

}  // namespace OrvaneLib::Pal
