#include "pal/src/PathMapping.h"

#include "pal/inc/WinFiles.h"
#include "pal/src/FunctionRef.h"
#include "pal/src/Utf.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace OrvaneLib::Pal {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string withBackslashes(std::string text) {
    for (char& c : text) {
        if (c == '/') {
            c = '\\';
        }
    }
    return text;
}

constexpr char drivePrefix[] = "ORVANE_PAL_DRIVE_";
constexpr size_t drivePrefixLength = sizeof(drivePrefix) - 1;

// Whether an entry of the environment begins with drivePrefix: most differ at their first
// character, which this tells without a call.
bool isDriveVariable(const char* entry) {
    for (size_t at = 0; at < drivePrefixLength; ++at) {
        if (entry[at] != drivePrefix[at]) {
            return false;
        }
    }
    return true;
}

// The folder a drive's variable names, without a trailing "/" (except "/" itself); false for a
// text that names no absolute folder.
bool folderOfValue(const char* value, std::string& folder) {
    folder = value;
    if (folder.empty() || folder[0] != '/') {
        return false;
    }
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return true;
}

// The folder a drive letter stands for. Z: is the root unless its variable says otherwise.
bool driveFolder(char drive, std::string& folder) {
    char variable[drivePrefixLength + 2];
    memcpy(variable, drivePrefix, drivePrefixLength);
    variable[drivePrefixLength] = drive;
    variable[drivePrefixLength + 1] = '\0';
    const char* value = getenv(variable);
    return folderOfValue(value != nullptr ? value : drive == 'Z' ? "/" : "", folder);
}

std::string canonicalFolder(const std::string& folder) {
    std::unique_ptr<char, decltype(&free)> resolved(realpath(folder.c_str(), nullptr), &free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// Calls `visit` with every drive that has a canonical folder and that folder, from one pass over
// the environment. Each folder is resolved once for each folder its variable names: as a drive
// letter keeps what it was mapped to, links on the way to its folder count as they were then.
// `visit` runs under the lock of the resolved folders, so it maps no path itself.
void forEachDriveFolder(TFunctionRef<void(char, const std::string&)> visit) {
    std::array<const char*, 26> values{};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const char* text = *entry;
        if (!isDriveVariable(text)) {
            continue;
        }
        const char letter = text[drivePrefixLength];
        if (letter >= 'A' && letter <= 'Z' && text[drivePrefixLength + 1] == '=' &&
            values[letter - 'A'] == nullptr) {
            values[letter - 'A'] = text + drivePrefixLength + 2;  // the first, as getenv finds
        }
    }
    if (values['Z' - 'A'] == nullptr) {
        values['Z' - 'A'] = "/";
    }
    struct TResolved {
        std::string folder;
        std::string canonical;
    };
    static std::mutex mutex;
    // Never destroyed: paths may still be mapped by other static destructors.
    static auto* resolved = new std::array<TResolved, 26>();
    std::string folder;
    std::lock_guard<std::mutex> lock(mutex);
    for (size_t index = 0; index < values.size(); ++index) {
        if (values[index] == nullptr || !folderOfValue(values[index], folder)) {
            continue;
        }
        TResolved& known = (*resolved)[index];
        if (known.folder != folder || known.canonical.empty()) {
            known = {folder, canonicalFolder(folder)};
        }
        if (!known.canonical.empty()) {
            visit(static_cast<char>('A' + index), known.canonical);
        }
    }
}

bool posixCurrentDirectory(std::string& directory, DWORD& error) {
    std::vector<char> buffer(PATH_MAX);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            error = win32ErrorFromErrno(errno);
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
    directory = buffer.data();
    return true;
}

// The current directory in Windows form, in UTF-8 (see GetCurrentDirectoryW).
bool currentDirectoryText(std::string& windowsPath, DWORD& error) {
    std::string directory;
    if (!posixCurrentDirectory(directory, error)) {
        return false;
    }
    if (!windowsFormOf(directory, windowsPath)) {
        windowsPath = withBackslashes(directory);
    }
    return true;
}

// A component as Windows opens it: trailing dots and spaces are not part of the name.
std::string_view withoutTrailingDotsAndSpaces(std::string_view component) {
    while (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
        component.remove_suffix(1);
    }
    return component;
}

// `base` (a POSIX folder) followed by the components of `tail`, "." and ".." resolved.
// Without `verbatim` (the "\\?\" prefix) each component loses its trailing dots and spaces first.
std::string joinResolved(const std::string& base, std::string_view tail, bool verbatim) {
    std::string result = base == "/" ? std::string() : base;
    const size_t baseLength = result.size();
    for (size_t start = 0; start <= tail.size();) {
        size_t end = start;
        while (end < tail.size() && !isSeparator(tail[end])) {
            ++end;
        }
        std::string_view component = tail.substr(start, end - start);
        if (!verbatim && component != "..") {
            component = withoutTrailingDotsAndSpaces(component);
        }
        if (component == "..") {
            // Back over the last component joined: ".." never leaves the base.
            if (result.size() > baseLength) {
                result.erase(result.rfind('/'));
            }
        } else if (!component.empty() && component != ".") {
            result += '/';
            result += component;
        }
        start = end + 1;
    }
    return result.empty() ? std::string("/") : result;
}

TMappedPath failure(DWORD error) {
    return TMappedPath{error, {}};
}

TMappedPath mapText(std::string_view rest) {
    const bool verbatim = rest.substr(0, 4) == "\\\\?\\";
    // "\\.\X:" is the device of drive X:, below which its folders lie.
    const bool device = rest.substr(0, 4) == "\\\\.\\";
    if (device && !(rest.size() >= 7 && isalpha(static_cast<unsigned char>(rest[4])) &&
                    rest[5] == ':' && isSeparator(rest[6]))) {
        return failure(ERROR_PATH_NOT_FOUND);
    }
    if (verbatim || device) {
        rest.remove_prefix(4);
        if (rest.size() >= 4 && toupper(rest[0]) == 'U' && toupper(rest[1]) == 'N' &&
            toupper(rest[2]) == 'C' && rest[3] == '\\') {
            return failure(ERROR_BAD_NETPATH);
        }
    }
    if (rest.empty()) {
        return failure(ERROR_PATH_NOT_FOUND);
    }
    if (rest.size() >= 2 && isSeparator(rest[0]) && isSeparator(rest[1])) {
        return failure(ERROR_BAD_NETPATH);
    }
    if (rest.size() >= 2 && isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':') {
        const char drive = static_cast<char>(toupper(static_cast<unsigned char>(rest[0])));
        std::string folder;
        if (!driveFolder(drive, folder)) {
            return failure(ERROR_PATH_NOT_FOUND);
        }
        std::string_view tail = rest.substr(2);
        std::string relative;  // a tail without a separator, after the drive's current directory
        if (!tail.empty() && !isSeparator(tail[0])) {
            std::string current;
            DWORD error = ERROR_SUCCESS;
            if (currentDirectoryText(current, error) && current.size() >= 2 &&
                current[0] == drive && current[1] == ':') {
                relative = current.substr(2) + "\\" + std::string(tail);
                tail = relative;
            }
        }
        return TMappedPath{ERROR_SUCCESS, joinResolved(folder, tail, verbatim)};
    }
    if (isSeparator(rest[0])) {
        return TMappedPath{ERROR_SUCCESS, joinResolved("/", rest, verbatim)};
    }
    std::string current;
    DWORD error = ERROR_SUCCESS;
    if (!currentDirectoryText(current, error)) {
        return failure(error);
    }
    // The current directory is absolute in one of the forms above, so this does not recurse again.
    return mapText(current + "\\" + std::string(rest));
}

}  // namespace

TMappedPath mapWindowsPath(const std::u16string& path) {
    std::string text;
    if (!utf8FromUtf16(path, text)) {
        return failure(ERROR_INVALID_NAME);
    }
    return mapText(text);
}

std::u16string windowsCurrentDirectory(DWORD& error) {
    std::string text;
    if (!currentDirectoryText(text, error)) {
        return {};
    }
    return utf16FromUtf8(text);
}

bool windowsFormOf(const std::string& posixPath, std::string& windowsPath) {
    char bestDrive = 0;
    size_t bestLength = 0;
    forEachDriveFolder([&](char drive, const std::string& canonical) {
        const size_t length = canonical == "/" ? 0 : canonical.size();
        const bool inside = posixPath.compare(0, length, canonical, 0, length) == 0 &&
                            (posixPath.size() == length || posixPath[length] == '/');
        if (inside && (bestDrive == 0 || length > bestLength)) {
            bestDrive = drive;
            bestLength = length;
        }
    });
    if (bestDrive == 0) {
        return false;
    }
    const std::string rest = posixPath.substr(bestLength);
    windowsPath = std::string(1, bestDrive) + ":" + (rest.empty() ? "\\" : withBackslashes(rest));
    return true;
}

bool isDriveRoot(const std::string& posixPath) {
    struct stat status;
    if (lstat(posixPath.c_str(), &status) != 0 || S_ISLNK(status.st_mode)) {
        return false;
    }
    const std::string canonical = canonicalFolder(posixPath);
    if (canonical == "/") {
        return true;
    }
    bool root = false;
    forEachDriveFolder([&](char, const std::string& folder) {
        root = root || (!canonical.empty() && folder == canonical);
    });
    return root;
}

DWORD win32ErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
            return ERROR_ACCESS_DENIED;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case EBUSY:
            return ERROR_BUSY;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ELOOP:
            return ERROR_CANT_RESOLVE_FILENAME;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case ENOSPC:
            return ERROR_DISK_FULL;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        default:
            return ERROR_GEN_FAILURE;
    }
}

DWORD notFoundError(const std::string& posixPath, int error) {
    if (error != ENOENT) {
        return win32ErrorFromErrno(error);
    }
    const size_t slash = posixPath.find_last_of('/');
    const std::string parent =
        slash == 0 || slash == std::string::npos ? std::string("/") : posixPath.substr(0, slash);
    struct stat status;
    const bool parentIsFolder = stat(parent.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    return parentIsFolder ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

}  // namespace OrvaneLib::Pal
