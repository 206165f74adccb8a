#include "Common/General/PathText.h"

namespace OrvaneLib {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// At least three bytes: "\\" at the start, or a drive letter's colon followed by a separator.
bool isAbsoluteForJoin(const TString& path) {
    const char* text = path.c_str();
    if (path.getLength() < 3) {
        return false;
    }
    return (text[0] == '\\' && text[1] == '\\') || (text[1] == ':' && isSeparator(text[2]));
}

bool isAliasDigit(char c) {
    return c >= '1' && c <= '4';
}

}  // namespace

TString joinPath(TString base, TString relative) {
    if (relative.isEmpty()) {
        return base;
    }
    if (base.isEmpty() || isAbsoluteForJoin(relative)) {
        return relative;
    }

    // One leading separator of the relative path goes: the first backslash when it is the first
    // byte, or, with no backslash at all, the first slash when it is.
    uint32_t position = 0;
    if (!relative.findChar('\\', position, true)) {
        position = 0;
        relative.findChar('/', position, true);
    }
    if (position == 0) {
        relative.erase(0, 1);
    }

    char separator = '\\';
    if (!base.findLastChar('\\', position, true)) {
        separator = '/';
        base.findLastChar('/', position, true);
    }
    if (position != base.getLength() - 1) {
        base += separator;
    }
    return base + relative;
}

TString getDirectory(const TString& path) {
    const char* text = path.c_str();
    uint32_t length = path.getLength();
    if ((length == 2 && text[0] == '\\' && text[1] == '\\') || (length == 3 && text[1] == ':')) {
        return TString("");
    }
    uint32_t lastBackslash = 0;
    uint32_t lastSlash = 0;
    bool hasBackslash = path.findLastChar('\\', lastBackslash, true);
    bool hasSlash = path.findLastChar('/', lastSlash, true);
    if (!hasBackslash && !hasSlash) {
        return TString("");
    }
    uint32_t index = !hasSlash       ? lastBackslash
                     : !hasBackslash ? lastSlash
                                     : (lastBackslash > lastSlash ? lastBackslash : lastSlash);
    if (index == 2 && text[1] == ':') {
        index = 3;
    } else if (index == 1 && text[0] == '\\') {
        return TString("");
    }
    TString directory("");
    path.substring(0, index, directory);
    return directory;
}

TString getFileName(TString path) {
    TString directory = getDirectory(path);
    if (directory.isEmpty()) {
        return path;
    }
    uint32_t cut = directory.getLength();
    if (cut >= path.getLength()) {
        return TString("");
    }
    if (!isSeparator(path.c_str()[cut - 1])) {
        ++cut;
    }
    path.erase(0, static_cast<int32_t>(cut));
    return path;
}

bool isShortPathName(const TString& path) {
    uint32_t position = 0;
    if (!path.find("~", position, true)) {
        return false;
    }
    TString directory = getDirectory(path);
    TString fileName = getFileName(path);

    const char* dir = directory.c_str();
    uint32_t dirLength = directory.getLength();
    position = 0;
    while (dirLength > 0 && directory.findChar('~', position, true)) {
        uint32_t p = position;
        if (p + 2 <= dirLength && isAliasDigit(dir[p + 1]) &&
            (p + 2 == dirLength || isSeparator(dir[p + 2]))) {
            return true;
        }
        position = p + 1;
    }

    if (fileName.isEmpty()) {
        return false;
    }
    const char* name = fileName.c_str();
    uint32_t dot = 0;
    bool hasDot = fileName.findLastChar('.', dot, true);
    uint32_t baseLength = hasDot ? dot : fileName.getLength();
    return baseLength == 8 && (!hasDot || fileName.getLength() <= 12) && name[6] == '~' &&
           isAliasDigit(name[7]);
}

}  // namespace OrvaneLib
