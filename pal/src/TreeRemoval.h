// Inside the PAL: permanent removal of a file-system object and everything below it, never
// following a symbolic link and never entering another file system.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace OrvaneLib::Pal {

class TTreeRemoval {
public:
    // `onRemoved` runs after each object removed.
    TTreeRemoval(bool stopAtFirstFailure, std::function<void()> onRemoved);

    // Removes the object at an absolute, normalised POSIX path; the errno of the first object that
    // could not be removed, 0 when all went.
    int remove(const std::string& path);

    // How many objects `remove` would remove: the object itself and, for a folder, all below it.
    static unsigned count(const std::string& path);

private:
    int removeEntry(int parentFolder, const std::string& name, dev_t device);
    int removeChildren(int parentFolder, const std::string& name, mode_t mode, dev_t device);

    bool stopAtFirstFailure_;
    std::function<void()> onRemoved_;
};

}  // namespace OrvaneLib::Pal
