#include "tools/orvane/Folders.h"

#include "tools/orvane/HostRegistry.h"

namespace OrvaneHost {

namespace {

// The attributes of what the path names; 0 when nothing is there.
DWORD attributesOf(const std::string& path) {
    if (path.empty()) {
        return 0;
    }
    std::u16string units = toUtf16(path);
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (GetFileAttributesExW(reinterpret_cast<const WCHAR*>(units.c_str()), GetFileExInfoStandard,
                             &attributes) == FALSE) {
        return 0;
    }
    return attributes.dwFileAttributes;
}

}  // namespace

bool pathExists(const std::string& path) {
    return attributesOf(path) != 0;
}

bool folderExists(const std::string& path) {
    return (attributesOf(path) & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string gameFolder(const std::string& installPath, const std::string& path) {
    if (!installPath.empty()) {
        return installPath;
    }
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(0, separator);
}

bool folderMissing(const std::string& installPath, const std::string& path) {
    const std::string folder = gameFolder(installPath, path);
    return !folder.empty() && !folderExists(folder);
}

}  // namespace OrvaneHost
