#include "pal/src/TreeRemoval.h"

#include "pal/src/Folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace OrvaneLib::Pal {

namespace {

// Opens a folder for walking; never through a link at its last component.
int openFolder(int parentFolder, const std::string& name) {
    return openat(parentFolder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

unsigned countEntry(int parentFolder, const std::string& name, dev_t device) {
    struct stat status;
    if (fstatat(parentFolder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(status.st_mode) || status.st_dev != device) {
        return 1;
    }
    TDescriptor folder(openFolder(parentFolder, name));
    std::vector<std::string> names;
    if (folder.get() < 0 || listFolder(folder.get(), names) != 0) {
        return 1;
    }
    unsigned count = 1;
    for (const std::string& child : names) {
        count += countEntry(folder.get(), child, device);
    }
    return count;
}

// Splits an absolute path into its folder and last name, opens the folder and calls `use` with
// it, the name and the device the object lies on; the errno when any of that fails.
template <typename Use>
int withParent(const std::string& path, Use use) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == path.size()) {
        return EINVAL;
    }
    const std::string folderPath = slash == 0 ? std::string("/") : path.substr(0, slash);
    const std::string name = path.substr(slash + 1);
    TDescriptor folder(open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        return errno;
    }
    struct stat status;
    if (fstatat(folder.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    return use(folder.get(), name, status.st_dev);
}

}  // namespace

TTreeRemoval::TTreeRemoval(bool stopAtFirstFailure, std::function<void()> onRemoved)
    : stopAtFirstFailure_(stopAtFirstFailure), onRemoved_(std::move(onRemoved)) {}

int TTreeRemoval::remove(const std::string& path) {
    return withParent(path, [this](int folder, const std::string& name, dev_t device) {
        return removeEntry(folder, name, device);
    });
}

unsigned TTreeRemoval::count(const std::string& path) {
    unsigned count = 1;
    withParent(path, [&count](int folder, const std::string& name, dev_t device) {
        count = countEntry(folder, name, device);
        return 0;
    });
    return count;
}

int TTreeRemoval::removeEntry(int parentFolder, const std::string& name, dev_t device) {
    struct stat status;
    if (fstatat(parentFolder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    int firstError = 0;
    if (S_ISDIR(status.st_mode)) {
        if (status.st_dev == device) {
            firstError = removeChildren(parentFolder, name, status.st_mode, device);
            if (firstError != 0 && stopAtFirstFailure_) {
                return firstError;
            }
        }
        if (unlinkat(parentFolder, name.c_str(), AT_REMOVEDIR) != 0) {
            return firstError != 0 ? firstError : errno;
        }
    } else if (unlinkat(parentFolder, name.c_str(), 0) != 0) {
        return errno;
    }
    onRemoved_();
    return 0;
}

int TTreeRemoval::removeChildren(int parentFolder, const std::string& name, mode_t mode,
                                 dev_t device) {
    TDescriptor folder(openFolder(parentFolder, name));
    if (folder.get() < 0) {
        return errno;
    }
    // Windows deletes the contents of read-only folders too.
    const mode_t needed = S_IWUSR | S_IXUSR;
    if (geteuid() != 0 && (mode & needed) != needed) {
        fchmod(folder.get(), (mode & 07777) | needed);
    }
    std::vector<std::string> names;
    if (const int error = listFolder(folder.get(), names); error != 0) {
        return error;
    }
    int firstError = 0;
    for (const std::string& child : names) {
        int error = removeEntry(folder.get(), child, device);
        if (error == ENOENT) {
            error = 0;  // gone meanwhile: nothing left to remove
        }
        if (error != 0 && stopAtFirstFailure_) {
            return error;
        }
        if (firstError == 0) {
            firstError = error;
        }
    }
    return firstError;
}

}  // namespace OrvaneLib::Pal
