#include "pal/src/CommitWatch.h"

#include <atomic>
#include <cstring>

namespace OrvaneLib::Pal {

namespace {

// The header is kept twice, 48 bytes each; a writer updates the second copy, then the first.
constexpr size_t headerSize = 48;
constexpr size_t headerWords = headerSize / sizeof(uint64_t);
constexpr size_t isInitOffset = 12;
// SQLite maps the index in regions of this size.
constexpr int regionSize = 32 * 1024;

}  // namespace

TCommitWatch::TCommitWatch(sqlite3* db) {
    // The connection's own mapping of the index's first region: while the connection is open no
    // other process shortens the file, so reading it never faults.
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr || file->pMethods->iVersion < 2 ||
        file->pMethods->xShmMap == nullptr) {
        return;
    }
    void volatile* region = nullptr;
    if (file->pMethods->xShmMap(file, 0, regionSize, 0, &region) == SQLITE_OK) {
        index_ = static_cast<const volatile uint8_t*>(region);
    }
}

bool TCommitWatch::read(TLogState& state) const {
    if (index_ == nullptr) {
        return false;
    }
    // The same order as SQLite's readers: the first copy, a barrier, then the second. The region
    // is page-aligned, so the header reads as whole words.
    const volatile uint64_t* words = reinterpret_cast<const volatile uint64_t*>(index_);
    uint64_t first[headerWords];
    uint64_t second[headerWords];
    for (size_t at = 0; at < headerWords; ++at) {
        first[at] = words[at];
    }
    std::atomic_thread_fence(std::memory_order_seq_cst);
    for (size_t at = 0; at < headerWords; ++at) {
        second[at] = words[headerWords + at];
    }
    memcpy(state.header.data(), first, sizeof first);
    // Equal copies are one header, as SQLite's readers take it.
    return memcmp(first, second, sizeof first) == 0 && state.header[isInitOffset] != 0;
}

}  // namespace OrvaneLib::Pal
