#include "pal/src/TreeRemoval.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace OrvaneLib::Pal {

namespace {

// Descriptors the walk keeps open at once, whatever the depth; a folder whose descriptor was closed
// is reopened through ".." of its child on the way back up.
constexpr size_t kOpenFolders = 64;

// The folders from the one holding the removed object down to the one being walked.
class TFolderChain {
public:
    explicit TFolderChain(int base) : base_(base) {}

    int current() const { return frames_.empty() ? base_ : frames_.back().descriptor.get(); }

    // Opens the folder `name` of the current one, never through a link, and makes it current.
    int enter(const std::string& name, struct stat& status) {
        TDescriptor folder(
            openat(current(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (folder.get() < 0 || fstat(folder.get(), &status) != 0) {
            return errno;
        }
        frames_.push_back({std::move(folder), status.st_dev, status.st_ino});
        if (frames_.size() > kOpenFolders) {
            frames_[frames_.size() - 1 - kOpenFolders].descriptor.reset();
        }
        return 0;
    }

    // Makes the parent of the current folder current again.
    int leave() {
        const TFrame left = std::move(frames_.back());
        frames_.pop_back();
        if (frames_.empty() || frames_.back().descriptor.get() >= 0) {
            return 0;
        }
        TFrame& parent = frames_.back();
        TDescriptor reopened(
            openat(left.descriptor.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat status;
        if (reopened.get() < 0 || fstat(reopened.get(), &status) != 0) {
            return errno;
        }
        if (status.st_dev != parent.device || status.st_ino != parent.inode) {
            return ESTALE;  // the folder was moved meanwhile: ".." is somewhere else now
        }
        parent.descriptor = std::move(reopened);
        return 0;
    }

private:
    struct TFrame {
        TDescriptor descriptor;
        dev_t device;
        ino_t inode;
    };

    int base_;
    std::vector<TFrame> frames_;
};

// Opens a folder by its absolute path, one component after the other when the path is too long to
// be opened at once.
int openFolderPath(const std::string& path) {
    const int folder = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0 || errno != ENAMETOOLONG) {
        return folder;
    }
    TDescriptor walked(open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (size_t start = 1; walked.get() >= 0 && start < path.size();) {
        const size_t end = std::min(path.find('/', start), path.size());
        const std::string name = path.substr(start, end - start);
        if (!name.empty()) {
            walked.reset(openat(walked.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        }
        start = end + 1;
    }
    return walked.release();
}

bool isFolder(const TFolderEntry& entry, int folder) {
    if (entry.type != DT_UNKNOWN) {
        return entry.type == DT_DIR;
    }
    struct stat status;
    return fstatat(folder, entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(status.st_mode);
}

}  // namespace

TTreeRemoval::TTreeRemoval(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == path.size()) {
        error_ = EINVAL;
        return;
    }
    parent_ = TDescriptor(openFolderPath(slash == 0 ? std::string("/") : path.substr(0, slash)));
    if (parent_.get() < 0) {
        error_ = errno;
        return;
    }
    read(path.substr(slash + 1));
}

unsigned TTreeRemoval::count() const {
    return nodes_.empty() ? 1 : static_cast<unsigned>(nodes_.size());
}

// One reading of a folder's tree, depth first, in the order the removal will meet its objects.
struct TTreeRemoval::TReadingWalk {
    // A folder entered and not yet finished, with its entries and the next one to read.
    struct TPending {
        size_t node;
        std::vector<TFolderEntry> entries;
        size_t next = 0;
    };

    std::vector<TNode>& nodes;
    const dev_t device;
    TFolderChain chain;
    std::vector<TPending> pending;

    // Reads the folder's entries, unless it lies on another file system.
    void enter(size_t index) {
        TNode& node = nodes[index];
        struct stat status;
        node.error = chain.enter(node.name, status);
        if (node.error != 0) {
            return;
        }
        node.device = status.st_dev;
        node.inode = status.st_ino;
        node.mode = status.st_mode;
        std::vector<TFolderEntry> entries;
        if (status.st_dev == device) {
            node.error = listFolder(chain.current(), entries);
            node.entered = node.error == 0;
        }
        if (node.entered) {
            pending.push_back({index, std::move(entries)});
        } else {
            chain.leave();
        }
    }

    // Takes the next entry of the deepest folder being read, or finishes that folder; the errno
    // when the walk can not go on.
    int next() {
        TPending& top = pending.back();
        if (top.next == top.entries.size()) {
            nodes[top.node].end = static_cast<uint32_t>(nodes.size());
            pending.pop_back();
            return chain.leave();
        }
        TFolderEntry& entry = top.entries[top.next++];
        const bool folder = isFolder(entry, chain.current());
        const size_t index = nodes.size();
        nodes.push_back({std::move(entry.name), static_cast<uint32_t>(index + 1), 0, folder});
        if (folder) {
            enter(index);
        }
        return 0;
    }
};

void TTreeRemoval::read(const std::string& name) {
    struct stat status;
    if (fstatat(parent_.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        error_ = errno;
        return;
    }
    nodes_.push_back({name, 1, 0, S_ISDIR(status.st_mode)});
    if (!nodes_[0].folder) {
        return;
    }
    TReadingWalk walk{nodes_, status.st_dev, TFolderChain(parent_.get()), {}};
    walk.enter(0);
    while (!walk.pending.empty() && error_ == 0) {
        error_ = walk.next();
    }
}

// One removal of what was read: the folders entered on the way down, removed on the way back up.
struct TTreeRemoval::TRemovalWalk {
    const std::vector<TNode>& nodes;
    const bool stopAtFirstFailure;
    const std::function<void()>& onRemoved;
    TFolderChain chain;
    const bool privileged;
    std::vector<size_t> entered;
    int firstError;

    // Counts one object's outcome; true when the walk must stop.
    bool settle(size_t index, int error) {
        if (error == ENOENT && index != 0) {
            error = 0;  // gone meanwhile: nothing left to remove
        } else if (error == 0) {
            onRemoved();
        }
        if (firstError == 0) {
            firstError = error;
        }
        return error != 0 && stopAtFirstFailure;
    }

    bool unlink(size_t index) {
        const TNode& node = nodes[index];
        const int flags = node.folder ? AT_REMOVEDIR : 0;
        return settle(index, unlinkat(chain.current(), node.name.c_str(), flags) == 0 ? 0 : errno);
    }

    // Removes the entered folders whose contents end before `index`.
    bool leaveFolders(size_t index) {
        while (!entered.empty() && nodes[entered.back()].end <= index) {
            const size_t folder = entered.back();
            entered.pop_back();
            if (const int error = chain.leave(); error != 0) {
                firstError = firstError != 0 ? firstError : error;
                return true;
            }
            if (unlink(folder)) {
                return true;
            }
        }
        return false;
    }

    // An object whose contents, if any, were not read.
    bool removeWhole(size_t index) {
        const int error = nodes[index].error;
        if (error != 0 && settle(index, error)) {
            return true;
        }
        return error != ENOENT && unlink(index);
    }

    // Makes the folder current when it is still the one that was read.
    int enter(size_t index) {
        const TNode& node = nodes[index];
        struct stat status;
        if (const int error = chain.enter(node.name, status); error != 0) {
            return error;
        }
        if (status.st_dev != node.device || status.st_ino != node.inode) {
            chain.leave();
            return ESTALE;  // another folder took its place since it was read
        }
        // Windows deletes the contents of read-only folders too.
        const mode_t needed = S_IWUSR | S_IXUSR;
        if (!privileged && (node.mode & needed) != needed) {
            fchmod(chain.current(), (node.mode & 07777) | needed);
        }
        entered.push_back(index);
        return 0;
    }
};

int TTreeRemoval::remove(bool stopAtFirstFailure, const std::function<void()>& onRemoved) const {
    if (error_ != 0) {
        return error_;
    }
    TRemovalWalk walk{
        nodes_, stopAtFirstFailure, onRemoved, TFolderChain(parent_.get()), geteuid() == 0, {}, 0};
    for (size_t index = 0; !walk.leaveFolders(index) && index < nodes_.size();) {
        const TNode& node = nodes_[index];
        const size_t next = node.end;
        if (node.error != 0 || !node.entered) {
            if (walk.removeWhole(index)) {
                break;
            }
            index = next;
        } else if (const int error = walk.enter(index); error != 0) {
            if (walk.settle(index, error)) {
                break;
            }
            index = next;
        } else {
            ++index;
        }
    }
    return walk.firstError;
}

}  // namespace OrvaneLib::Pal
