// Inside the PAL: an owned file descriptor and the listing of an open folder.
#pragma once

#include <unistd.h>

#include <string>
#include <vector>

namespace OrvaneLib::Pal {

class TDescriptor {
public:
    explicit TDescriptor(int descriptor) : descriptor_(descriptor) {}
    ~TDescriptor() {
        if (descriptor_ >= 0) {
            close(descriptor_);
        }
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    int get() const { return descriptor_; }

private:
    int descriptor_;
};

// The names in an open folder but "." and "..", sorted in byte order, so that nothing depends on
// the order the file system keeps; 0, or the errno when the folder can not be read.
int listFolder(int folder, std::vector<std::string>& names);

}  // namespace OrvaneLib::Pal
