// Inside the PAL: permanent removal of a file-system object and everything below it, never
// following a symbolic link and never entering another file system.
#pragma once

#include "pal/src/Folders.h"

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace OrvaneLib::Pal {

// Reads the tree once, folder by folder relative to open descriptors, so that its size is known
// before anything goes and no full path is ever formed below the object: any depth is reached.
class TTreeRemoval {
public:
    // Reads the object at an absolute, normalised POSIX path and all below it.
    explicit TTreeRemoval(const std::string& path);

    // How many objects `remove` would remove: the object itself and, for a folder, all below it.
    unsigned count() const;

    // Removes what was read, deepest first; `onRemoved` runs after each object removed. The errno
    // of the first object that could not be removed, 0 when all went.
    int remove(bool stopAtFirstFailure, const std::function<void()>& onRemoved) const;

private:
    // One object, in the order the walk met it; a folder's contents follow it up to `end`.
    struct TNode {
        std::string name;
        uint32_t end = 0;
        int error = 0;  // why the folder's contents could not be read
        bool folder = false;
        bool entered = false;  // its contents follow it
        dev_t device = 0;
        ino_t inode = 0;
        mode_t mode = 0;
    };

    struct TReadingWalk;
    struct TRemovalWalk;

    void read(const std::string& name);

    TDescriptor parent_{-1};
    int error_ = 0;  // why the object itself could not be read
    std::vector<TNode> nodes_;
};

}  // namespace OrvaneLib::Pal
