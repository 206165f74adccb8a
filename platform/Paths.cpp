#include "platform/Paths.h"

#include "Common/General/TWideText.h"
#include "win32/Win32Api.h"

#include <cstring>
#include <vector>

namespace OrvaneLib {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// The canonical form under construction: the root, then one segment after the other. Every
// removable segment records the text's length after it, so that ".." cuts back to the end of the
// one before; the root and the ".." kept at the start of a relative path are never cut.
class TCanonicalPath {
public:
    TCanonicalPath(TString root, bool absolute, uint32_t room)
        : text_(std::move(root)), absolute_(absolute), floor_(text_.getLength()) {
        text_.grow(room);  // the segments are appended into this room
    }

    void addSegment(const char* segment, uint32_t size, bool separatorFollows, bool hasTilde) {
        if (size == 0 || (size == 1 && segment[0] == '.')) {
            return;
        }
        if (size == 2 && segment[0] == '.' && segment[1] == '.') {
            climb(separatorFollows);
            return;
        }
        append(segment, size, separatorFollows);
        appended_.push_back(text_.getLength());
        if (hasTilde && isShortPathName(text_)) {
            expandShortPathName(text_);
            appended_.back() = text_.getLength();
        }
    }

    TString& text() { return text_; }

private:
    void climb(bool separatorFollows) {
        if (!appended_.empty()) {
            appended_.pop_back();
            text_.erase(appended_.empty() ? floor_ : appended_.back(), -1);
        } else if (!absolute_) {
            append("..", 2, separatorFollows);
            floor_ = text_.getLength();
        }
    }

    void append(const char* segment, uint32_t size, bool separatorFollows) {
        text_.append(segment, size);
        if (separatorFollows) {
            text_ += '/';
        }
    }

    TString text_;
    bool absolute_;
    uint32_t floor_;
    std::vector<uint32_t> appended_;
};

}  // namespace

bool pathExists(const TString& path) {
    if (path.isEmpty()) {
        return false;
    }
    TWideText widePath = path.toWide();
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    return GetFileAttributesExW(widePath.get(), GetFileExInfoStandard, &attributes) != FALSE;
}

bool isAbsolutePath(const TString& path) {
    const char* text = path.c_str();
    uint32_t length = path.getLength();
    return (length >= 1 && isSeparator(text[0])) ||
           (length >= 3 && text[1] == ':' && isSeparator(text[2]));
}

TString getPathRoot(const TString& path) {
    const char* text = path.c_str();
    uint32_t length = path.getLength();
    TString root("");
    if (length >= 2 && text[0] == '\\' && text[1] == '\\') {
        uint32_t end = strncmp(text, "\\\\.\\", 4) == 0 ? 4 : 2;
        if (length <= end) {
            return root;
        }
        while (end < length && !isSeparator(text[end])) {
            ++end;
        }
        path.substring(0, end, root);
        root += '/';
    } else if (length >= 2 && text[1] == ':') {
        path.substring(0, 2, root);
        if (length > 2 && isSeparator(text[2])) {
            root += '/';
        }
    } else if (length >= 1 && isSeparator(text[0])) {
        root = "/";
    }
    return root;
}

bool stripLongPathPrefix(TString& path) {
    const char* found = strstr(path.c_str(), "\\\\?\\");
    if (found == nullptr) {
        return false;
    }
    path.erase(static_cast<uint32_t>(found - path.c_str()), 4);
    return true;
}

bool expandShortPathName(TString& path) {
    if (path.isEmpty()) {
        return false;
    }
    TWideText shortPath = path.toWide();
    DWORD size = GetLongPathNameW(shortPath.get(), nullptr, 0);
    if (size == 0) {
        return false;
    }
    std::vector<WCHAR> buffer(size);
    DWORD length = GetLongPathNameW(shortPath.get(), buffer.data(), size);
    if (length == 0 || length >= size) {
        return false;
    }
    TString longPath(buffer.data());
    if (longPath.isEmpty()) {
        return false;
    }
    path = std::move(longPath);
    return true;
}

void normalizePath(TString& path) {
    if (path.isEmpty()) {
        return;
    }
    stripLongPathPrefix(path);
    TString root = getPathRoot(path);
    const char* text = path.c_str();
    uint32_t length = path.getLength();
    // The root stands for as many characters of the path as it has, except that "\\server"
    // without a separator gains one.
    uint32_t start = root.getLength() < length ? root.getLength() : length;
    TCanonicalPath canonical(std::move(root), isAbsolutePath(path), length - start);

    uint32_t segmentStart = start;
    bool hasTilde = false;
    for (uint32_t i = start; i < length; ++i) {
        bool separator = isSeparator(text[i]);
        hasTilde = hasTilde || text[i] == '~';
        if (separator || i + 1 == length) {
            uint32_t end = separator ? i : length;
            canonical.addSegment(text + segmentStart, end - segmentStart, separator, hasTilde);
            segmentStart = i + 1;
            hasTilde = false;
        }
    }
    path = std::move(canonical.text());
}

TString getCurrentDirectory() {
    std::vector<WCHAR> buffer;
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    // The directory may change between the calls; then the second one asks for more room.
    while (size != 0) {
        buffer.resize(size);
        DWORD length = GetCurrentDirectoryW(size, buffer.data());
        if (length < size) {
            return length == 0 ? TString("") : TString(buffer.data());
        }
        size = length;
    }
    return TString("");
}

TString getEnvironmentVariable(const char* name) {
    TWideText wideName(name);
    DWORD size = GetEnvironmentVariableW(wideName.get(), nullptr, 0);
    if (size == 0) {
        return TString();
    }
    std::vector<WCHAR> buffer(size);
    DWORD length = GetEnvironmentVariableW(wideName.get(), buffer.data(), size);
    return length == 0 || length >= size ? TString() : TString(buffer.data());
}

}  // namespace OrvaneLib
