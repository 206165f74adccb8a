#include "pal/src/KeyStore.h"

#include "pal/inc/WinRegistry.h"
#include "pal/src/KeyName.h"

#include <chrono>

namespace OrvaneLib::Pal {

namespace {

// Names are kept twice: as given (UTF-16), and folded (see foldedName), which is what lookups
// match and what subkeys are ordered by. Key ids never come back after a deletion
// (AUTOINCREMENT), so a handle of a deleted key can not reach a newer key.
const char* const schema[] = {
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER,"
    " name BLOB NOT NULL,"
    " folded BLOB NOT NULL,"
    " class BLOB,"
    " volatile INTEGER NOT NULL DEFAULT 0,"
    " written INTEGER NOT NULL)",
    "CREATE UNIQUE INDEX IF NOT EXISTS keysByParent ON keys(parent, folded)",
    "CREATE TABLE IF NOT EXISTS keyValues("
    " id INTEGER PRIMARY KEY,"
    " key INTEGER NOT NULL,"
    " name BLOB NOT NULL,"
    " folded BLOB NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL)",
    "CREATE UNIQUE INDEX IF NOT EXISTS valuesByName ON keyValues(key, folded)",
    "CREATE INDEX IF NOT EXISTS valuesInOrder ON keyValues(key)",
};

DWORD dword(int64_t value) {
    return static_cast<DWORD>(value);
}

}  // namespace

int64_t fileTimeNow() {
    constexpr int64_t unixEpochAsFileTime = 116444736000000000;
    auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return unixEpochAsFileTime +
           std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count() / 100;
}

void TKeyStore::createSchema(TStatementCache& statements) {
    for (const char* statement : schema) {
        statements.execute(statement);
    }
    TSqlStatement root(
        statements.get("INSERT OR IGNORE INTO keys(id, parent, name, folded, written) VALUES(?1, "
                       "NULL, ?2, ?2, ?3)"));
    root.bind(1, rootKey).bind(2, std::string()).bind(3, fileTimeNow()).run();
}

bool TKeyStore::exists(int64_t key) {
    TSqlStatement query(statements_.get("SELECT 1 FROM keys WHERE id = ?1"));
    return query.bind(1, key).step();
}

bool TKeyStore::findChild(int64_t parent, const std::u16string& name, int64_t& child) {
    TSqlStatement query(statements_.get("SELECT id FROM keys WHERE parent = ?1 AND folded = ?2"));
    if (!query.bind(1, parent).bind(2, foldedName(name)).step()) {
        return false;
    }
    child = query.integer(0);
    return true;
}

int64_t TKeyStore::addChild(int64_t parent, const std::u16string& name,
                            const std::u16string* keyClass, bool isVolatile) {
    TSqlStatement insert(
        statements_.get("INSERT INTO keys(parent, name, folded, class, volatile, written)"
                        " VALUES(?1, ?2, ?3, ?4, ?5, ?6)"));
    insert.bind(1, parent).bind(2, name).bind(3, foldedName(name));
    if (keyClass != nullptr && !keyClass->empty()) {
        insert.bind(4, *keyClass);
    }
    insert.bind(5, isVolatile ? 1 : 0).bind(6, fileTimeNow()).run();
    touch(parent);
    return sqlite3_last_insert_rowid(statements_.db());
}

bool TKeyStore::isVolatile(int64_t key) {
    TSqlStatement query(statements_.get("SELECT volatile FROM keys WHERE id = ?1"));
    return query.bind(1, key).step() && query.integer(0) != 0;
}

void TKeyStore::touch(int64_t key) {
    TSqlStatement update(statements_.get("UPDATE keys SET written = ?2 WHERE id = ?1"));
    update.bind(1, key).bind(2, fileTimeNow()).run();
}

LONG TKeyStore::openPath(int64_t from, const std::vector<std::u16string>& names, int64_t& key) {
    if (!exists(from)) {
        return ERROR_KEY_DELETED;
    }
    key = from;
    for (const std::u16string& name : names) {
        if (!findChild(key, name, key)) {
            return ERROR_FILE_NOT_FOUND;
        }
    }
    return ERROR_SUCCESS;
}

LONG TKeyStore::createPath(int64_t from, const std::vector<std::u16string>& names,
                           const std::u16string& keyClass, bool makeVolatile, int64_t& key,
                           DWORD& disposition) {
    if (!exists(from)) {
        return ERROR_KEY_DELETED;
    }
    key = from;
    disposition = REG_OPENED_EXISTING_KEY;
    for (size_t index = 0; index < names.size(); ++index) {
        if (findChild(key, names[index], key)) {
            continue;
        }
        if (!makeVolatile && isVolatile(key)) {
            return ERROR_CHILD_MUST_BE_VOLATILE;
        }
        bool last = index + 1 == names.size();
        key = addChild(key, names[index], last ? &keyClass : nullptr, makeVolatile);
        disposition = REG_CREATED_NEW_KEY;
    }
    return ERROR_SUCCESS;
}

bool TKeyStore::hasSubkeys(int64_t key) {
    TSqlStatement query(statements_.get("SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1"));
    return query.bind(1, key).step();
}

bool TKeyStore::hasValues(int64_t key) {
    TSqlStatement query(statements_.get("SELECT 1 FROM keyValues WHERE key = ?1 LIMIT 1"));
    return query.bind(1, key).step();
}

bool TKeyStore::subkeyAt(int64_t key, DWORD index, TSubkeyEntry& entry) {
    // A listing goes index by index; counting from the first subkey each time would make it
    // quadratic. The cursor serves only while nobody has changed the hive since it was left.
    TSubkeyCursor& cursor = statements_.subkeyCursor();
    TSqlStatement version(statements_.get("PRAGMA data_version"));
    version.step();
    const int64_t othersChanges = version.integer(0);
    const int64_t ownChanges = sqlite3_total_changes64(statements_.db());
    const bool follows = index > 0 && cursor.parent == key && cursor.index + 1 == index &&
                         cursor.ownChanges == ownChanges && cursor.othersChanges == othersChanges;
    TSqlStatement query(statements_.get(
        follows ? "SELECT name, class, written, folded FROM keys WHERE parent = ?1 AND folded > ?2 "
                  "ORDER BY folded LIMIT 1"
                : "SELECT name, class, written, folded FROM keys WHERE parent = ?1 ORDER BY folded "
                  "LIMIT 1 OFFSET ?2"));
    query.bind(1, key);
    if (follows) {
        query.bind(2, cursor.folded);
    } else {
        query.bind(2, static_cast<int64_t>(index));
    }
    if (!query.step()) {
        cursor.parent = 0;
        return false;
    }
    entry.name = query.text16(0);
    entry.keyClass = query.isNull(1) ? std::u16string() : query.text16(1);
    entry.lastWrite = query.integer(2);
    cursor = {key, index, query.bytes(3), ownChanges, othersChanges};
    return true;
}

TKeyInfo TKeyStore::info(int64_t key) {
    TSqlStatement query(
        statements_.get("SELECT class, written,"
                        " (SELECT count(*) FROM keys WHERE parent = ?1),"
                        " (SELECT ifnull(max(length(name)), 0) FROM keys WHERE parent = ?1),"
                        " (SELECT ifnull(max(length(class)), 0) FROM keys WHERE parent = ?1),"
                        " (SELECT count(*) FROM keyValues WHERE key = ?1),"
                        " (SELECT ifnull(max(length(name)), 0) FROM keyValues WHERE key = ?1),"
                        " (SELECT ifnull(max(length(data)), 0) FROM keyValues WHERE key = ?1)"
                        " FROM keys WHERE id = ?1"));
    TKeyInfo info{};
    if (!query.bind(1, key).step()) {
        return info;
    }
    info.keyClass = query.isNull(0) ? std::u16string() : query.text16(0);
    info.lastWrite = query.integer(1);
    info.subkeys = dword(query.integer(2));
    info.maxSubkeyName = dword(query.integer(3) / 2);
    info.maxSubkeyClass = dword(query.integer(4) / 2);
    info.values = dword(query.integer(5));
    info.maxValueName = dword(query.integer(6) / 2);
    info.maxValueData = dword(query.integer(7));
    return info;
}

void TKeyStore::removeTree(int64_t key, bool keepKey) {
    int64_t parent = 0;
    {
        TSqlStatement query(statements_.get("SELECT parent FROM keys WHERE id = ?1"));
        if (query.bind(1, key).step()) {
            parent = query.integer(0);
        }
    }
    TSqlStatement values(
        statements_.get("WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL"
                        " SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id)"
                        " DELETE FROM keyValues WHERE key IN tree"));
    values.bind(1, key).run();
    TSqlStatement keys(
        statements_.get("WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL"
                        " SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id)"
                        " DELETE FROM keys WHERE id IN tree AND NOT (id = ?1 AND ?2)"));
    keys.bind(1, key).bind(2, keepKey ? 1 : 0).run();
    touch(keepKey ? key : parent);
}

bool TKeyStore::findValue(int64_t key, const std::u16string& name, TValueEntry& value) {
    TSqlStatement query(
        statements_.get("SELECT type, data FROM keyValues WHERE key = ?1 AND folded = ?2"));
    if (!query.bind(1, key).bind(2, foldedName(name)).step()) {
        return false;
    }
    value.name = name;
    value.type = dword(query.integer(0));
    value.data = query.bytes(1);
    return true;
}

void TKeyStore::setValue(int64_t key, const std::u16string& name, DWORD type, const BYTE* data,
                         DWORD size) {
    // An existing value keeps its name and its place in the enumeration.
    TSqlStatement upsert(statements_.get(
        "INSERT INTO keyValues(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
        " ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data"));
    upsert.bind(1, key).bind(2, name).bind(3, foldedName(name)).bind(4, type);
    upsert.bind(5, data, size).run();
    touch(key);
}

bool TKeyStore::removeValue(int64_t key, const std::u16string& name) {
    TSqlStatement remove(statements_.get("DELETE FROM keyValues WHERE key = ?1 AND folded = ?2"));
    remove.bind(1, key).bind(2, foldedName(name)).run();
    if (sqlite3_changes(statements_.db()) == 0) {
        return false;
    }
    touch(key);
    return true;
}

bool TKeyStore::valueAt(int64_t key, DWORD index, TValueEntry& value) {
    TSqlStatement query(statements_.get(
        "SELECT name, type, data FROM keyValues WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2"));
    if (!query.bind(1, key).bind(2, static_cast<int64_t>(index)).step()) {
        return false;
    }
    value.name = query.text16(0);
    value.type = dword(query.integer(1));
    value.data = query.bytes(2);
    return true;
}

}  // namespace OrvaneLib::Pal
