#include "pal/src/CommitWatch.h"

#include <fcntl.h>
#include <unistd.h>

namespace OrvaneLib::Pal {

namespace {

// The header is kept twice, 48 bytes each; a writer updates the second copy, then the first.
constexpr size_t headerSize = 48;
constexpr size_t isInitOffset = 12;

}  // namespace

TCommitWatch::TCommitWatch(const std::string& hivePath)
    : index_(open((hivePath + "-shm").c_str(), O_RDONLY | O_CLOEXEC)) {}

TCommitWatch::~TCommitWatch() {
    if (index_ >= 0) {
        close(index_);
    }
}

bool TCommitWatch::read(TLogState& state) const {
    // Read, not mapped: another process may shorten the file while this one is not connected,
    // and a mapping would then fault where a read only comes back short.
    uint8_t both[2 * headerSize];
    if (index_ < 0 || pread(index_, both, sizeof both, 0) != static_cast<ssize_t>(sizeof both)) {
        return false;
    }
    // Equal copies are one header, as SQLite's readers take it.
    std::copy(both, both + headerSize, state.header.begin());
    return std::equal(both, both + headerSize, both + headerSize) && both[isInitOffset] != 0;
}

}  // namespace OrvaneLib::Pal
