#include "pal/inc/WinFiles.h"

#include "pal/inc/WinKernel.h"
#include "pal/src/Faults.h"
#include "pal/src/FileStatus.h"
#include "pal/src/Folders.h"
#include "pal/src/PathMapping.h"
#include "pal/src/Utf.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

using namespace OrvaneLib::Pal;

namespace {

bool isSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

char16_t upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

// Whether the object at a mapped path exists (a link counts, whatever it points to).
DWORD lookUp(const std::u16string& windowsPath) {
    const TMappedPath mapped = mapWindowsPath(windowsPath);
    if (mapped.error != ERROR_SUCCESS) {
        return mapped.error;
    }
    struct stat status;
    if (lstat(mapped.posix.c_str(), &status) != 0) {
        return notFoundError(mapped.posix, errno);
    }
    return ERROR_SUCCESS;
}

DWORD failWith(DWORD error) {
    SetLastError(error);
    return 0;
}

// A component in 8.3 form: BASE~N[.EXT].
struct TShortName {
    std::u16string base;
    std::u16string extension;
    unsigned ordinal = 0;
};

bool parseShortName(const std::u16string& component, TShortName& shortName) {
    const size_t tilde = component.find(u'~');
    if (tilde == std::u16string::npos || tilde == 0 || tilde > 6) {
        return false;
    }
    const size_t dot = component.find(u'.', tilde);
    const size_t digitsEnd = dot == std::u16string::npos ? component.size() : dot;
    if (digitsEnd == tilde + 1 || digitsEnd > 8) {
        return false;
    }
    unsigned ordinal = 0;
    for (size_t i = tilde + 1; i < digitsEnd; ++i) {
        if (component[i] < u'0' || component[i] > u'9') {
            return false;
        }
        ordinal = ordinal * 10 + (component[i] - u'0');
    }
    std::u16string extension;
    if (dot != std::u16string::npos) {
        extension = component.substr(dot + 1);
        if (extension.empty() || extension.size() > 3 ||
            extension.find(u'.') != std::u16string::npos) {
            return false;
        }
    }
    std::u16string base = component.substr(0, tilde);
    if (ordinal == 0 || base.find_first_of(u". ") != std::u16string::npos) {
        return false;
    }
    std::transform(base.begin(), base.end(), base.begin(), upper);
    std::transform(extension.begin(), extension.end(), extension.begin(), upper);
    shortName = TShortName{base, extension, ordinal};
    return true;
}

bool startsWith(const std::u16string& text, const std::u16string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool matchesShortName(const std::u16string& name, const TShortName& shortName) {
    const size_t dot = name.rfind(u'.');
    const bool hasExtension = dot != std::u16string::npos && dot > 0;
    std::u16string base;
    for (char16_t c : name.substr(0, hasExtension ? dot : name.size())) {
        if (c != u' ' && c != u'.') {
            base += upper(c);
        }
    }
    std::u16string extension;
    if (hasExtension) {
        for (char16_t c : name.substr(dot + 1)) {
            if (c != u' ') {
                extension += upper(c);
            }
        }
    }
    return startsWith(base, shortName.base) && startsWith(extension, shortName.extension);
}

// The long name that a short component stands for in `folderPath` (a Windows path), or empty.
std::u16string expandShortName(const std::u16string& folderPath, const TShortName& shortName) {
    TMappedPath folder = mapWindowsPath(folderPath.empty() ? u"." : folderPath);
    if (folder.error != ERROR_SUCCESS) {
        return {};
    }
    TDescriptor descriptor(open(folder.posix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::vector<std::string> entries;
    if (descriptor.get() < 0 || listFolder(descriptor.get(), entries) != 0) {
        return {};
    }
    unsigned seen = 0;
    for (const std::string& entry : entries) {
        std::u16string name = utf16FromUtf8(entry);
        if (matchesShortName(name, shortName) && ++seen == shortName.ordinal) {
            return name;
        }
    }
    return {};
}

// The length of the part before the first component: "\\?\", a drive, leading separators.
size_t leadLength(const std::u16string& path) {
    size_t at = path.compare(0, 4, u"\\\\?\\") == 0 ? 4 : 0;
    if (path.size() >= at + 2 && path[at + 1] == u':') {
        at += 2;
    }
    while (at < path.size() && isSeparator(path[at])) {
        ++at;
    }
    return at;
}

}  // namespace

BOOL WINAPI GetFileAttributesExW(LPCWSTR fileName, GET_FILEEX_INFO_LEVELS infoLevelId,
                                 LPVOID fileInformation) {
    LONG fault = 0;
    if (palFault("GetFileAttributesExW", fault)) {
        return failWith(fault);
    }
    if (fileName == nullptr || fileInformation == nullptr || infoLevelId != GetFileExInfoStandard) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    TMappedPath mapped = mapWindowsPath(fileName);
    if (mapped.error != ERROR_SUCCESS) {
        return failWith(mapped.error);
    }
    struct statx status;
    if (statusOf(AT_FDCWD, mapped.posix.c_str(), AT_SYMLINK_NOFOLLOW, status) != 0) {
        return failWith(notFoundError(mapped.posix, errno));
    }
    auto* data = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(fileInformation);
    data->dwFileAttributes = attributesOf(mapped.posix, status);
    const bool hasBirthTime = (status.stx_mask & STATX_BTIME) != 0;
    data->ftCreationTime = fileTime(hasBirthTime ? status.stx_btime : status.stx_ctime);
    data->ftLastAccessTime = fileTime(status.stx_atime);
    data->ftLastWriteTime = fileTime(status.stx_mtime);
    const uint64_t size = S_ISREG(status.stx_mode) ? status.stx_size : 0;
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
    return TRUE;
}

DWORD WINAPI GetLongPathNameW(LPCWSTR shortPath, LPWSTR longPath, DWORD bufferLength) {
    LONG fault = 0;
    if (palFault("GetLongPathNameW", fault)) {
        return failWith(fault);
    }
    if (shortPath == nullptr) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    const std::u16string path(shortPath);
    if (path.empty()) {
        return failWith(ERROR_PATH_NOT_FOUND);
    }
    size_t at = leadLength(path);
    std::u16string result = path.substr(0, at);
    if (DWORD error = lookUp(result.empty() ? u"." : result); error != ERROR_SUCCESS) {
        return failWith(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
    }
    while (at < path.size()) {
        size_t end = at;
        while (end < path.size() && !isSeparator(path[end])) {
            ++end;
        }
        const std::u16string component = path.substr(at, end - at);
        std::u16string found = result + component;
        DWORD error = lookUp(found);
        TShortName shortName;
        if (error != ERROR_SUCCESS && parseShortName(component, shortName)) {
            std::u16string name = expandShortName(result, shortName);
            if (!name.empty()) {
                found = result + name;
                error = ERROR_SUCCESS;
            }
        }
        if (error != ERROR_SUCCESS) {
            return failWith(error);
        }
        while (end < path.size() && isSeparator(path[end])) {
            ++end;
        }
        result = found + path.substr(at + component.size(), end - at - component.size());
        at = end;
    }
    return copyOut(result, longPath, bufferLength);
}

DWORD WINAPI GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer) {
    LONG fault = 0;
    if (palFault("GetCurrentDirectoryW", fault)) {
        return failWith(fault);
    }
    DWORD error = ERROR_SUCCESS;
    const std::u16string directory = windowsCurrentDirectory(error);
    if (error != ERROR_SUCCESS) {
        return failWith(error);
    }
    return copyOut(directory, buffer, bufferLength);
}
