#include "platform/FileIdentity.h"

#include "Common/General/TWideText.h"
#include "platform/Paths.h"
#include "win32/Win32Api.h"

namespace OrvaneLib {

namespace {

class TFileHandle {
public:
    explicit TFileHandle(HANDLE handle) : handle_(handle) {}
    ~TFileHandle() {
        if (isOpen()) {
            CloseHandle(handle_);
        }
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// Errors that mean nothing can be at the path: whatever it names, it can not be deleted either.
bool meansMissing(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_NOT_READY:
            return true;
        default:
            return false;
    }
}

TFolderIdentity failed(DWORD error) {
    TFolderIdentity result;
    result.lookup = meansMissing(error) ? TLookup::missing : TLookup::failed;
    result.error = error;
    return result;
}

// "\\?\C:\Games" -> "C:/Games", "\\?\UNC\server\share" -> "//server/share".
TString canonicalFinalPath(TString path) {
    if (stripLongPathPrefix(path) && startsWithNoCase(path.c_str(), "UNC\\") == 0) {
        TString share;
        path = TString("\\") + path.substring(3, path.getLength(), share);
    }
    path.replaceChar('\\', '/', true);
    uint32_t rootLength = getPathRoot(path).getLength();
    uint32_t length = path.getLength();
    if (length > rootLength && path.c_str()[length - 1] == '/') {
        path.erase(length - 1, 1);
    }
    return path;
}

// One call for most paths; a longer one is asked again with the size the first call reported.
bool readFinalPath(HANDLE file, TString& finalPath, DWORD& error) {
    std::vector<WCHAR> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetFinalPathNameByHandleW(file, buffer.data(), size,
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            error = GetLastError();
            return false;
        }
        if (length < size) {
            finalPath = canonicalFinalPath(TString(buffer.data()));
            return true;
        }
        buffer.resize(length);
    }
}

}  // namespace

TFolderIdentity readFolderIdentity(const TString& path) {
    if (path.isEmpty()) {
        return failed(ERROR_PATH_NOT_FOUND);
    }
    TWideText widePath = path.toWide();
    // Reading attributes needs no access to the content; sharing everything disturbs nobody.
    TFileHandle file(CreateFileW(widePath.get(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.isOpen()) {
        return failed(GetLastError());
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file.get(), &information)) {
        return failed(GetLastError());
    }
    TFolderIdentity result;
    DWORD error = ERROR_SUCCESS;
    if (!readFinalPath(file.get(), result.finalPath, error)) {
        return failed(error);
    }
    result.lookup = TLookup::found;
    result.identity.volume = information.dwVolumeSerialNumber;
    result.identity.index =
        (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return result;
}

bool readAncestorIdentities(const TString& finalPath, std::vector<TFileIdentity>& identities,
                            TFolderIdentity& failure) {
    const uint32_t rootLength = getPathRoot(finalPath).getLength();
    TString folder = finalPath;
    while (folder.getLength() > rootLength) {
        uint32_t cut = folder.getLength();
        while (cut > rootLength && folder.c_str()[cut - 1] != '/') {
            --cut;
        }
        folder.erase(cut > rootLength ? cut - 1 : cut, -1);
        TFolderIdentity ancestor = readFolderIdentity(folder);
        if (ancestor.lookup != TLookup::found) {
            failure = ancestor;
            return false;
        }
        identities.push_back(ancestor.identity);
    }
    return true;
}

}  // namespace OrvaneLib
