#include "pal/inc/WinFiles.h"

#include "pal/inc/WinKernel.h"
#include "pal/src/Faults.h"
#include "pal/src/FileStatus.h"
#include "pal/src/KernelObjects.h"
#include "pal/src/PathMapping.h"
#include "pal/src/Utf.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

using namespace OrvaneLib::Pal;

namespace {

// An open file: a descriptor that only names the object (O_PATH), which is all that reading its
// identity and final path needs, and works without read permission, as FILE_READ_ATTRIBUTES does.
class TFileObject : public TKernelObject {
public:
    explicit TFileObject(int descriptor) : descriptor_(descriptor) {}
    ~TFileObject() override { close(descriptor_); }
    TFileObject(const TFileObject&) = delete;
    TFileObject& operator=(const TFileObject&) = delete;

    int descriptor() const { return descriptor_; }
    // The path the kernel keeps for the descriptor: canonical, links resolved.
    bool posixPath(std::string& path) const {
        const std::string link = "/proc/self/fd/" + std::to_string(descriptor_);
        std::vector<char> buffer(256);
        for (;;) {
            const ssize_t length = readlink(link.c_str(), buffer.data(), buffer.size());
            if (length < 0) {
                return false;
            }
            if (static_cast<size_t>(length) < buffer.size()) {
                path.assign(buffer.data(), static_cast<size_t>(length));
                return true;
            }
            buffer.resize(buffer.size() * 2);
        }
    }

private:
    const int descriptor_;
};

constexpr DWORD kReadAccess = GENERIC_READ | FILE_READ_ATTRIBUTES;

HANDLE failOpen(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
    LONG fault = 0;
    if (palFault("CreateFileW", fault)) {
        return failOpen(fault);
    }
    if (fileName == nullptr) {
        return failOpen(ERROR_INVALID_PARAMETER);
    }
    if (creationDisposition != OPEN_EXISTING || (desiredAccess & ~kReadAccess) != 0) {
        return failOpen(ERROR_NOT_SUPPORTED);
    }
    const TMappedPath mapped = mapWindowsPath(fileName);
    if (mapped.error != ERROR_SUCCESS) {
        return failOpen(mapped.error);
    }
    const bool linkItself = (flagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) != 0;
    const int descriptor =
        open(mapped.posix.c_str(), O_PATH | O_CLOEXEC | (linkItself ? O_NOFOLLOW : 0));
    if (descriptor < 0) {
        return failOpen(notFoundError(mapped.posix, errno));
    }
    auto file = std::make_shared<TFileObject>(descriptor);
    // Backup semantics open folders and files alike: only without them does the kind matter.
    if ((flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) == 0) {
        struct stat status;
        if (fstat(descriptor, &status) != 0) {
            return failOpen(win32ErrorFromErrno(errno));
        }
        if (S_ISDIR(status.st_mode)) {
            return failOpen(ERROR_ACCESS_DENIED);
        }
    }
    HANDLE handle = insertHandle(std::move(file));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION information) {
    LONG fault = 0;
    if (palFault("GetFileInformationByHandle", fault)) {
        return fail(fault);
    }
    std::shared_ptr<TFileObject> file = findHandleOf<TFileObject>(handle);
    if (!file) {
        return FALSE;
    }
    if (information == nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    struct statx status;
    if (statusOf(file->descriptor(), "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, status) != 0) {
        return fail(win32ErrorFromErrno(errno));
    }
    // Only a link needs its path: whether it leads to a folder.
    std::string path;
    if (S_ISLNK(status.stx_mode)) {
        file->posixPath(path);
    }
    information->dwFileAttributes = attributesOf(path, status);
    const bool hasBirthTime = (status.stx_mask & STATX_BTIME) != 0;
    information->ftCreationTime = fileTime(hasBirthTime ? status.stx_btime : status.stx_ctime);
    information->ftLastAccessTime = fileTime(status.stx_atime);
    information->ftLastWriteTime = fileTime(status.stx_mtime);
    // Major and minor together, so that no two mounted file systems share a serial number.
    information->dwVolumeSerialNumber = (status.stx_dev_major << 20) ^ status.stx_dev_minor;
    const uint64_t size = S_ISREG(status.stx_mode) ? status.stx_size : 0;
    information->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    information->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
    information->nNumberOfLinks = status.stx_nlink;
    information->nFileIndexHigh = static_cast<DWORD>(status.stx_ino >> 32);
    information->nFileIndexLow = static_cast<DWORD>(status.stx_ino & 0xFFFFFFFF);
    return TRUE;
}

DWORD WINAPI GetFinalPathNameByHandleW(HANDLE handle, LPWSTR filePath, DWORD filePathLength,
                                       DWORD flags) {
    LONG fault = 0;
    if (palFault("GetFinalPathNameByHandleW", fault)) {
        SetLastError(fault);
        return 0;
    }
    std::shared_ptr<TFileObject> file = findHandleOf<TFileObject>(handle);
    if (!file) {
        return 0;
    }
    if (flags != (FILE_NAME_NORMALIZED | VOLUME_NAME_DOS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string posix;
    std::string windows;
    if (!file->posixPath(posix)) {
        SetLastError(win32ErrorFromErrno(errno));
        return 0;
    }
    if (!windowsFormOf(posix, windows)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    return copyOut(utf16FromUtf8("\\\\?\\" + windows), filePath, filePathLength);
}
