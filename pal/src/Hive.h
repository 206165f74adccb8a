// The registry hive of the current user: one SQLite connection per process, guarded by a mutex,
// and one transaction per registry function.
//
// The file is in WAL mode with synchronous=FULL: a commit returns only after the log is on disk,
// so neither a killed process nor a crash of the system loses a change that was reported done
// (NORMAL would survive a killed process but could lose the last commits on a power cut).
// Writers take the write lock at the start of their transaction (BEGIN IMMEDIATE), so two
// processes never interleave, and wait up to ten seconds for one another. The log and index files
// stay beside the hive when it is closed, so that a hive in a folder this process may not write
// can still be read.
//
// A forked child never uses its parent's connection: the connection to a file is closed before
// fork() and each process opens its own again; a child that inherits one anyway (from a raw
// clone) leaves it alone. A child of a process with a private in-memory hive starts an empty one.
#pragma once

#include "pal/inc/WinTypes.h"
#include "pal/src/CommitWatch.h"
#include "pal/src/FunctionRef.h"
#include "pal/src/HiveImage.h"
#include "pal/src/KeyStore.h"
#include "pal/src/SqlStatement.h"

#include <sys/types.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace OrvaneLib::Pal {

// What this process read of the hive in the state it is in now; null what it did not keep.
struct TKnownHive {
    const TKeyListings* listings;
    const THiveImage* image;
    bool readOnly;
};

// Where the hive is: ORVANE_PAL_HIVE, else $XDG_DATA_HOME/orvane/HKCU.sqlite3, else
// ~/.local/share/orvane/HKCU.sqlite3. Empty when there is no home folder to put it in.
std::string hivePath();

class THive {
public:
    typedef TFunctionRef<LONG(TKeyStore&)> TWork;

    static THive& instance();

    // Runs `work` in one transaction, committed when it returns ERROR_SUCCESS and rolled back
    // otherwise. The result is that of `work`, or the code of a failure of the hive.
    LONG read(TWork work) { return transact(false, work); }
    LONG write(TWork work) { return transact(true, work); }

    // Answers a read from what this process already read, without a transaction, when nothing
    // was committed to the hive since: `answer` returns false when that does not hold the
    // answer. False when the hive must be asked.
    bool known(TFunctionRef<bool(const TKnownHive&)> answer);

private:
    struct TKnownState {
        int64_t ownChanges = -1;
        TLogState log;
        bool operator==(const TKnownState&) const = default;
    };

    THive();
    LONG transact(bool write, TWork work);
    // The state of the hive now, when it can be told without a transaction.
    std::optional<TKnownState> stateNow() const;
    // Whether a read that begins in `state` is to read the image too.
    bool imageDue(const std::optional<TKnownState>& state) const;
    // Counts a read that saw the hive in `state` from its beginning to its end.
    void countRead(const TKnownState& state);
    LONG open();
    LONG failure(int sqliteCode);
    // Drops everything read of the hive.
    void forget();
    void close();
    void leaveInherited();

    static void beforeFork();
    static void afterForkInParent();
    static void afterForkInChild();
    static void atExit();

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    std::unique_ptr<TStatementCache> statements_;
    // Belong to the connection: its stamps mean nothing to another one.
    TKeyListings listings_;
    std::unique_ptr<TCommitWatch> watch_;
    // The state of the hive that the listings were last known to hold, when they were.
    std::optional<TKnownState> knownState_;
    std::unique_ptr<THiveImage> image_;
    TKnownState imageState_;
    std::optional<TKnownState> countedState_;
    int64_t readsInState_ = 0;
    bool imageRefused_ = false;  // in the counted state
    const int64_t imageAfterReads_;
    pid_t owner_ = 0;
    bool inMemory_ = false;
    bool readOnly_ = false;
};

// The Win32 code for a SQLite result code.
LONG win32FromSqlite(int sqliteCode);

}  // namespace OrvaneLib::Pal
