#include "pal/src/PathMapping.h"

#include "pal/inc/WinFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

namespace OrvaneLib::Pal {

namespace {

constexpr char16_t replacementCharacter = 0xFFFD;

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

void appendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

void appendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out += static_cast<char16_t>(codePoint);
    } else {
        codePoint -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
        out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    }
}

// The code point of a well-formed sequence at `at`, advancing `at`; false for a malformed one.
bool decodeUtf8(const std::string& text, size_t& at, char32_t& codePoint) {
    struct Form {
        unsigned char mask;
        unsigned char value;
        size_t length;
        char32_t minimum;
    };
    static constexpr Form forms[] = {{0x80, 0x00, 1, 0},
                                     {0xE0, 0xC0, 2, 0x80},
                                     {0xF0, 0xE0, 3, 0x800},
                                     {0xF8, 0xF0, 4, 0x10000}};
    const auto lead = static_cast<unsigned char>(text[at]);
    const Form* form = nullptr;
    for (const Form& candidate : forms) {
        if ((lead & candidate.mask) == candidate.value) {
            form = &candidate;
            break;
        }
    }
    if (form == nullptr) {
        return false;
    }
    const size_t length = form->length;
    const char32_t minimum = form->minimum;
    codePoint = lead & static_cast<unsigned char>(~form->mask);
    if (at + length > text.size()) {
        return false;
    }
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return false;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return false;
    }
    at += length;
    return true;
}

std::string withBackslashes(std::string text) {
    for (char& c : text) {
        if (c == '/') {
            c = '\\';
        }
    }
    return text;
}

// The folder a drive letter stands for, without a trailing "/" (except "/" itself).
bool driveFolder(char drive, std::string& folder) {
    const std::string name = std::string("ORVANE_PAL_DRIVE_") + drive;
    const char* value = getenv(name.c_str());
    if (value == nullptr) {
        if (drive != 'Z') {
            return false;
        }
        value = "/";
    }
    folder = value;
    if (folder.empty() || folder[0] != '/') {
        return false;
    }
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return true;
}

std::string canonicalFolder(const std::string& folder) {
    std::unique_ptr<char, decltype(&free)> resolved(realpath(folder.c_str(), nullptr), &free);
    return resolved ? std::string(resolved.get()) : std::string();
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
    char bestDrive = 0;
    size_t bestLength = 0;
    for (char drive = 'A'; drive <= 'Z'; ++drive) {
        std::string folder;
        if (!driveFolder(drive, folder)) {
            continue;
        }
        std::string canonical = canonicalFolder(folder);
        if (canonical.empty()) {
            continue;
        }
        const size_t length = canonical == "/" ? 0 : canonical.size();
        const bool inside = directory.compare(0, length, canonical, 0, length) == 0 &&
                            (directory.size() == length || directory[length] == '/');
        if (inside && (bestDrive == 0 || length > bestLength)) {
            bestDrive = drive;
            bestLength = length;
        }
    }
    if (bestDrive == 0) {
        windowsPath = withBackslashes(directory);
        return true;
    }
    const std::string rest = directory.substr(bestLength);
    windowsPath = std::string(1, bestDrive) + ":" + (rest.empty() ? "\\" : withBackslashes(rest));
    return true;
}

// `base` (a POSIX folder) followed by the components of `tail`, "." and ".." resolved.
std::string joinResolved(const std::string& base, const std::string& tail) {
    std::vector<std::string> components;
    size_t start = 0;
    while (start <= tail.size()) {
        size_t end = start;
        while (end < tail.size() && !isSeparator(tail[end])) {
            ++end;
        }
        const std::string component = tail.substr(start, end - start);
        if (component == "..") {
            if (!components.empty()) {
                components.pop_back();
            }
        } else if (!component.empty() && component != ".") {
            components.push_back(component);
        }
        start = end + 1;
    }
    std::string result = base == "/" ? std::string() : base;
    for (const std::string& component : components) {
        result += '/';
        result += component;
    }
    return result.empty() ? std::string("/") : result;
}

TMappedPath failure(DWORD error) {
    return TMappedPath{error, {}};
}

TMappedPath mapText(const std::string& path) {
    std::string rest = path;
    if (rest.compare(0, 4, "\\\\?\\") == 0) {
        rest.erase(0, 4);
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
        std::string tail = rest.substr(2);
        if (!tail.empty() && !isSeparator(tail[0])) {
            std::string current;
            DWORD error = ERROR_SUCCESS;
            if (currentDirectoryText(current, error) && current.size() >= 2 &&
                current[0] == drive && current[1] == ':') {
                tail = current.substr(2) + "\\" + tail;
            }
        }
        return TMappedPath{ERROR_SUCCESS, joinResolved(folder, tail)};
    }
    if (isSeparator(rest[0])) {
        return TMappedPath{ERROR_SUCCESS, joinResolved("/", rest)};
    }
    std::string current;
    DWORD error = ERROR_SUCCESS;
    if (!currentDirectoryText(current, error)) {
        return failure(error);
    }
    // The current directory is absolute in one of the forms above, so this does not recurse again.
    return mapText(current + "\\" + rest);
}

}  // namespace

bool utf8FromUtf16(const std::u16string& text, std::string& utf8) {
    utf8.clear();
    utf8.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            return false;
        }
        appendUtf8(utf8, unit);
    }
    return true;
}

std::u16string utf16FromUtf8(const std::string& utf8) {
    std::u16string text;
    text.reserve(utf8.size());
    size_t at = 0;
    while (at < utf8.size()) {
        char32_t codePoint = 0;
        if (decodeUtf8(utf8, at, codePoint)) {
            appendUtf16(text, codePoint);
        } else {
            text += replacementCharacter;
            ++at;
        }
    }
    return text;
}

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

bool isDriveRoot(const std::string& posixPath) {
    struct stat status;
    if (lstat(posixPath.c_str(), &status) != 0 || S_ISLNK(status.st_mode)) {
        return false;
    }
    const std::string canonical = canonicalFolder(posixPath);
    if (canonical == "/") {
        return true;
    }
    for (char drive = 'A'; drive <= 'Z'; ++drive) {
        std::string folder;
        if (!canonical.empty() && driveFolder(drive, folder) &&
            canonicalFolder(folder) == canonical) {
            return true;
        }
    }
    return false;
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
