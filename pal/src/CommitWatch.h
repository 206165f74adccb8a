// Tells without a transaction, with one read of a few bytes, whether anything was committed to a
// hive file since a moment before: every commit rewrites the header of the log's index, which all
// SQLite connections to the file share through the "-shm" file. The header's layout is
// shared by every SQLite version that may use the file at the same time, so it does not move.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace OrvaneLib::Pal {

// The index header as it was read: equal states mean no commit in between.
struct TLogState {
    std::array<uint8_t, 48> header{};
    bool operator==(const TLogState&) const = default;
};

class TCommitWatch {
public:
    // Opens the index of the hive at `hivePath`; watches nothing when there is none.
    explicit TCommitWatch(const std::string& hivePath);
    ~TCommitWatch();
    TCommitWatch(const TCommitWatch&) = delete;
    TCommitWatch& operator=(const TCommitWatch&) = delete;

    bool watching() const { return index_ >= 0; }
    // False when nothing is watched or a commit was under way while reading.
    bool read(TLogState& state) const;

private:
    int index_;
};

}  // namespace OrvaneLib::Pal
