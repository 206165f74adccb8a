// Tells without a transaction or a system call whether anything was committed to a hive file
// since a moment before: every commit rewrites the header of the log's index, which all SQLite
// connections to the file share through the "-shm" file. The header's layout is shared by every
// SQLite version that may use the file at the same time, so it does not move.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace OrvaneLib::Pal {

// The index header as it was read: equal states mean no commit in between.
struct TLogState {
    std::array<uint8_t, 48> header{};
    bool operator==(const TLogState&) const = default;
};

class TCommitWatch {
public:
    // Watches the index that the connection `db` has mapped; nothing when it has none yet. Must
    // not outlive the connection, which owns the mapping.
    explicit TCommitWatch(sqlite3* db);
    TCommitWatch(const TCommitWatch&) = delete;
    TCommitWatch& operator=(const TCommitWatch&) = delete;

    bool watching() const { return index_ != nullptr; }
    // False when nothing is watched or a commit was under way while reading.
    bool read(TLogState& state) const;

private:
    const volatile uint8_t* index_ = nullptr;
};

}  // namespace OrvaneLib::Pal
