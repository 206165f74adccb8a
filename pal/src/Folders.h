// Inside the PAL: an owned file descriptor and the listing of an open folder.
#pragma once

#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

namespace OrvaneLib::Pal {

class TDescriptor {
public:
    explicit TDescriptor(int descriptor) : descriptor_(descriptor) {}
    ~TDescriptor() { reset(); }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    TDescriptor(TDescriptor&& other) noexcept : descriptor_(other.descriptor_) {
        other.descriptor_ = -1;
    }
    TDescriptor& operator=(TDescriptor&& other) noexcept {
        if (this != &other) {
            reset(other.descriptor_);
            other.descriptor_ = -1;
        }
        return *this;
    }
    int get() const { return descriptor_; }
    int release() { return std::exchange(descriptor_, -1); }
    void reset(int descriptor = -1) {
        if (descriptor_ >= 0) {
            close(descriptor_);
        }
        descriptor_ = descriptor;
    }

private:
    int descriptor_;
};

struct TFolderEntry {
    std::string name;
    unsigned char type;  // DT_DIR, DT_LNK, ...; DT_UNKNOWN where the file system does not say
};

// The entries of an open folder but "." and "..", sorted by name in byte order, so that nothing
// depends on the order the file system keeps; 0, or the errno when the folder can not be read.
int listFolder(int folder, std::vector<TFolderEntry>& entries);

// The names alone.
int listFolder(int folder, std::vector<std::string>& names);

}  // namespace OrvaneLib::Pal
