#include "pal/src/Hive.h"

#include <errno.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

namespace OrvaneLib::Pal {

namespace {

const char* const inMemoryHive = ":memory:";
// "ORVR": marks a SQLite file as a hive, so that no other database is taken for one.
constexpr int64_t hiveApplicationId = 0x4F525652;
constexpr int busyTimeoutMilliseconds = 10000;
constexpr int64_t defaultImageAfterReads = 64;

std::string environment(const char* name) {
    const char* value = getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string homeFolder() {
    std::string home = environment("HOME");
    if (!home.empty()) {
        return home;
    }
    const passwd* user = getpwuid(getuid());
    return user != nullptr && user->pw_dir != nullptr ? std::string(user->pw_dir) : std::string();
}

// Creates the folders above `path` that are missing.
bool makeParentFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

enum class THiveState { hive, empty, foreign };

// One statement, so both facts come from the same snapshot of the file.
THiveState hiveState(TStatementCache& statements) {
    TSqlStatement query(
        statements.get("SELECT (SELECT application_id FROM pragma_application_id),"
                       " (SELECT count(*) FROM sqlite_master)"));
    if (!query.step()) {
        throw THiveError(SQLITE_NOTADB);
    }
    if (query.integer(0) == hiveApplicationId) {
        return THiveState::hive;
    }
    return query.integer(0) == 0 && query.integer(1) == 0 ? THiveState::empty : THiveState::foreign;
}

// Makes an empty database a hive; refuses any other database. Several processes may try at
// once: the write lock lets one do it, the others find it done.
void prepareHive(TStatementCache& statements, bool inMemory) {
    THiveState state = hiveState(statements);
    if (state == THiveState::empty) {
        statements.execute("BEGIN IMMEDIATE");
        try {
            state = hiveState(statements);
            if (state == THiveState::empty) {
                TKeyStore::createSchema(statements);
                static const std::string markAsHive =
                    "PRAGMA application_id=" + std::to_string(hiveApplicationId);
                statements.execute(markAsHive.c_str());
                state = THiveState::hive;
            }
            statements.execute("COMMIT");
        } catch (const THiveError&) {
            sqlite3_exec(statements.db(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    if (state == THiveState::foreign) {
        throw THiveError(SQLITE_NOTADB);
    }
    if (!inMemory) {
        statements.execute("PRAGMA journal_mode=WAL");
        // A writer that closes last empties the log once it is copied: every process that
        // opens the hive reads the whole log first.
        statements.execute("PRAGMA journal_size_limit=0");
    }
    statements.execute("PRAGMA synchronous=FULL");
}

// Opening waits for other processes as long as a call would: a busy file is retried.
void prepareHiveWhenFree(TStatementCache& statements, bool inMemory) {
    auto giveUp =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMilliseconds);
    for (;;) {
        try {
            prepareHive(statements, inMemory);
            return;
        } catch (const THiveError& error) {
            bool busy =
                (error.code() & 0xFF) == SQLITE_BUSY || (error.code() & 0xFF) == SQLITE_LOCKED;
            if (!busy || std::chrono::steady_clock::now() > giveUp) {
                throw;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

int64_t imageAfterReads() {
    const char* setting = getenv("ORVANE_PAL_IMAGE_AFTER");
    if (setting == nullptr || *setting == '\0') {
        return defaultImageAfterReads;
    }
    char* end = nullptr;
    long long reads = strtoll(setting, &end, 10);
    return *end == '\0' && reads >= 0 ? reads : defaultImageAfterReads;
}

}  // namespace

std::string hivePath() {
    std::string path = environment("ORVANE_PAL_HIVE");
    if (!path.empty()) {
        return path;
    }
    std::string data = environment("XDG_DATA_HOME");
    if (data.empty() || data[0] != '/') {
        std::string home = homeFolder();
        if (home.empty()) {
            return std::string();
        }
        data = home + "/.local/share";
    }
    return data + "/orvane/HKCU.sqlite3";
}

LONG win32FromSqlite(int sqliteCode) {
    switch (sqliteCode & 0xFF) {
        case SQLITE_NOTADB:
            return ERROR_BADDB;
        case SQLITE_CORRUPT:
            return ERROR_REGISTRY_CORRUPT;
        case SQLITE_CANTOPEN:
            return ERROR_CANTOPEN;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return ERROR_ACCESS_DENIED;
        case SQLITE_FULL:
            return ERROR_CANTWRITE;
        case SQLITE_NOMEM:
            return ERROR_OUTOFMEMORY;
        case SQLITE_TOOBIG:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_REGISTRY_IO_FAILED;
    }
}

THive& THive::instance() {
    // Never destroyed: registry calls from other static destructors must still find it.
    static THive* hive = new THive();
    return *hive;
}

THive::THive() : imageAfterReads_(imageAfterReads()) {
    pthread_atfork(&THive::beforeFork, &THive::afterForkInParent, &THive::afterForkInChild);
    atexit(&THive::atExit);
}

void THive::beforeFork() {
    THive& hive = instance();
    hive.mutex_.lock();
    if (!hive.inMemory_) {
        hive.close();
    }
}

void THive::afterForkInParent() {
    instance().mutex_.unlock();
}

void THive::afterForkInChild() {
    THive& hive = instance();
    // A copy of an in-memory hive shares nothing with the parent; the child gets a fresh one.
    hive.close();
    hive.mutex_.unlock();
}

void THive::atExit() {
    THive& hive = instance();
    std::lock_guard<std::mutex> lock(hive.mutex_);
    if (hive.owner_ == getpid()) {
        hive.close();
    }
}

void THive::close() {
    statements_.reset();
    forget();
    watch_.reset();
    if (db_ != nullptr) {
        // The last connection to close copies the log into the file. A process that changed
        // nothing leaves that to the next writer, so that reading never touches the file: the
        // log's pages were most likely copied already.
        if (sqlite3_total_changes64(db_) == 0) {
            sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        }
        sqlite3_close(db_);
        db_ = nullptr;
    }
}

void THive::leaveInherited() {
    // The connection and its file locks belong to another process: drop it untouched.
    static_cast<void>(statements_.release());
    forget();
    watch_.reset();
    db_ = nullptr;
}

LONG THive::open() {
    if (db_ != nullptr && owner_ != getpid()) {
        leaveInherited();
    }
    if (db_ != nullptr) {
        return ERROR_SUCCESS;
    }
    std::string path = hivePath();
    inMemory_ = path == inMemoryHive;
    if (path.empty() || (!inMemory_ && !makeParentFolders(path))) {
        return ERROR_CANTOPEN;
    }
    sqlite3* db = nullptr;
    int result =
        sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (result != SQLITE_OK) {
        sqlite3_close(db);
        return win32FromSqlite(result);
    }
    sqlite3_busy_timeout(db, busyTimeoutMilliseconds);
    // The log and index files stay when the last connection closes: without them a hive in a
    // folder this process may not write could not be read at all.
    int persistent = 1;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persistent);
    auto statements = std::make_unique<TStatementCache>(db);
    try {
        prepareHiveWhenFree(*statements, inMemory_);
    } catch (const THiveError& error) {
        statements.reset();
        sqlite3_close(db);
        return win32FromSqlite(error.code());
    }
    db_ = db;
    statements_ = std::move(statements);
    owner_ = getpid();
    readOnly_ = sqlite3_db_readonly(db_, "main") == 1;
    return ERROR_SUCCESS;
}

LONG THive::failure(int sqliteCode) {
    if (db_ != nullptr && !sqlite3_get_autocommit(db_)) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    LONG code = win32FromSqlite(sqliteCode);
    // A damaged or vanished file: open it afresh on the next call, in case it was mended.
    if (!inMemory_ && (code == ERROR_BADDB || code == ERROR_REGISTRY_CORRUPT ||
                       code == ERROR_CANTOPEN || code == ERROR_REGISTRY_IO_FAILED)) {
        close();
    }
    return code;
}

std::optional<THive::TKnownState> THive::stateNow() const {
    TKnownState state;
    state.ownChanges = sqlite3_total_changes64(db_);
    // A private in-memory hive has no other connection: only this one changes it.
    if (!inMemory_ && (watch_ == nullptr || !watch_->read(state.log))) {
        return std::nullopt;
    }
    return state;
}

void THive::forget() {
    listings_.clear();
    knownState_.reset();
    image_.reset();
    countedState_.reset();
}

bool THive::known(TFunctionRef<bool(const TKnownHive&)> answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    // No call reaches SQLite here, so a child that inherited the connection may answer too: the
    // log's index is shared with the parent, and tells of every commit since.
    if (db_ == nullptr || (!knownState_ && !image_)) {
        return false;
    }
    std::optional<TKnownState> now = stateNow();
    if (!now) {
        return false;
    }
    if (image_ != nullptr && !(imageState_ == *now)) {
        image_.reset();
    }
    const bool listingsHold = knownState_ && *knownState_ == *now;
    if (image_ == nullptr && !listingsHold) {
        return false;
    }
    return answer({listingsHold ? &listings_ : nullptr, image_.get(), readOnly_});
}

bool THive::imageDue(const std::optional<TKnownState>& state) const {
    if (!state || (image_ != nullptr && imageState_ == *state)) {
        return false;
    }
    if (countedState_ != state) {
        return imageAfterReads_ <= 0;
    }
    return !imageRefused_ && readsInState_ >= imageAfterReads_;
}

void THive::countRead(const TKnownState& state) {
    if (countedState_ == state) {
        ++readsInState_;
    } else {
        countedState_ = state;
        readsInState_ = 1;
        imageRefused_ = false;
    }
}

LONG THive::transact(bool write, TWork work) {
    std::lock_guard<std::mutex> lock(mutex_);
    LONG status = open();
    if (status != ERROR_SUCCESS) {
        return status;
    }
    knownState_.reset();
    try {
        // Taken before the transaction begins: when it is the same after it ends, no commit came
        // in between, and what the transaction read is the state that it stands for.
        const std::optional<TKnownState> before = write ? std::nullopt : stateNow();
        const bool loadImage = imageDue(before);
        // A read-only hive makes its writes fail on their own, with SQLITE_READONLY.
        statements_->execute(write && !readOnly_ ? "BEGIN IMMEDIATE" : "BEGIN");
        TKeyStore store(*statements_, listings_, readOnly_);
        store.followHive();
        status = work(store);
        std::unique_ptr<THiveImage> image = loadImage ? THiveImage::load(*statements_) : nullptr;
        statements_->execute(status == ERROR_SUCCESS ? "COMMIT" : "ROLLBACK");
        // The index comes into being with the first transaction on a new hive file.
        if (!inMemory_ && (watch_ == nullptr || !watch_->watching())) {
            watch_ = std::make_unique<TCommitWatch>(db_);
        }
        const std::optional<TKnownState> after = stateNow();
        if (before && after && *before == *after) {
            knownState_ = after;
            countRead(*after);
            if (loadImage) {
                // A hive too large for an image is not read again in this state.
                imageRefused_ = image == nullptr;
                image_ = std::move(image);
                imageState_ = *after;
            }
        }
        return status;
    } catch (const THiveError& error) {
        return failure(error.code());
    } catch (const std::bad_alloc&) {
        return failure(SQLITE_NOMEM);
    }
}

}  // namespace OrvaneLib::Pal
