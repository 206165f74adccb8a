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

// How a listing gets to an index: from the place of its previous answer when that is the same
// index or next to it, else by counting from whichever end is nearer, when the count is known.
// The order matches the queries of subkeyAt and valueAt.
enum class TListingStep { sameAgain, following, preceding, fromFirst, fromLast, pastTheEnd };

struct TListingPlan {
    TListingStep step;
    int64_t offset;
    bool fromPlace() const { return step < TListingStep::fromFirst; }
};

TListingPlan planListing(const TListingPlace* place, const DWORD* count, DWORD index) {
    if (place != nullptr) {
        if (index == place->index) {
            return {TListingStep::sameAgain, 0};
        }
        if (index == place->index + 1) {
            return {TListingStep::following, 0};
        }
        if (index + 1 == place->index) {
            return {TListingStep::preceding, 0};
        }
    }
    if (count == nullptr || index < *count / 2) {
        return {TListingStep::fromFirst, index};
    }
    if (index >= *count) {
        return {TListingStep::pastTheEnd, 0};
    }
    return {TListingStep::fromLast, *count - 1 - index};
}

// By TListingStep: the same, next and previous item from a place, then by an offset from the
// first or the last item.
const char* const subkeyQueries[] = {
    "SELECT name, class, written, folded FROM keys WHERE parent = ?1 AND folded = ?2",
    "SELECT name, class, written, folded FROM keys WHERE parent = ?1 AND folded > ?2"
    " ORDER BY folded LIMIT 1",
    "SELECT name, class, written, folded FROM keys WHERE parent = ?1 AND folded < ?2"
    " ORDER BY folded DESC LIMIT 1",
    "SELECT name, class, written, folded FROM keys WHERE parent = ?1"
    " ORDER BY folded LIMIT 1 OFFSET ?2",
    "SELECT name, class, written, folded FROM keys WHERE parent = ?1"
    " ORDER BY folded DESC LIMIT 1 OFFSET ?2",
};
const char* const valueQueries[] = {
    "SELECT name, type, data, id FROM keyValues WHERE key = ?1 AND id = ?2",
    "SELECT name, type, data, id FROM keyValues WHERE key = ?1 AND id > ?2 ORDER BY id LIMIT 1",
    ("SELECT name, type, data, id FROM keyValues WHERE key = ?1 AND id < ?2"
     " ORDER BY id DESC LIMIT 1"),
    "SELECT name, type, data, id FROM keyValues WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2",
    "SELECT name, type, data, id FROM keyValues WHERE key = ?1 ORDER BY id DESC LIMIT 1 OFFSET ?2",
};

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

bool TKeyStore::findChild(int64_t parent, std::u16string_view name, int64_t& child) {
    TSqlStatement query(statements_.get("SELECT id FROM keys WHERE parent = ?1 AND folded = ?2"));
    if (!query.bind(1, parent).bind(2, foldedName(name)).step()) {
        return false;
    }
    child = query.integer(0);
    return true;
}

bool TKeyStore::findKnownChild(int64_t parent, std::u16string_view name, int64_t& child) {
    const std::string known = childKey(parent, name);
    if (const int64_t* found = listings_.children().find(known)) {
        child = *found;
        return true;
    }
    if (!findChild(parent, name, child)) {
        return false;
    }
    listings_.children().set(known, child);
    listings_.existing().set(child, true);
    return true;
}

int64_t TKeyStore::addChild(int64_t parent, std::u16string_view name,
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

LONG TKeyStore::openPath(int64_t from, const TKeyPath& names, int64_t& key) {
    if (!exists(from)) {
        return ERROR_KEY_DELETED;
    }
    followHive();
    if (from != rootKey) {
        listings_.existing().set(from, true);
    }
    key = from;
    for (std::u16string_view name : names) {
        if (!findKnownChild(key, name, key)) {
            return ERROR_FILE_NOT_FOUND;
        }
    }
    return ERROR_SUCCESS;
}

LONG TKeyStore::createPath(int64_t from, const TKeyPath& names, const std::u16string& keyClass,
                           bool makeVolatile, int64_t& key, DWORD& disposition) {
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

void TKeyStore::followHive() {
    TSqlStatement version(statements_.get("PRAGMA data_version"));
    version.step();
    listings_.follow({sqlite3_total_changes64(statements_.db()), version.integer(0)});
}

bool TKeyStore::listingAt(int64_t key, DWORD index, bool ofValues, const TListingRow& read) {
    followHive();
    TRecentByKey<TListingPlace>& places = ofValues ? listings_.values() : listings_.subkeys();
    const TListingPlace* place = places.find(key);
    const TKeyInfo* info = listings_.infos().find(key);
    const DWORD* count = info == nullptr ? nullptr : ofValues ? &info->values : &info->subkeys;
    const TListingPlan plan = planListing(place, count, index);
    if (plan.step == TListingStep::pastTheEnd) {
        return false;
    }
    const int step = static_cast<int>(plan.step);
    TSqlStatement query(statements_.get(ofValues ? valueQueries[step] : subkeyQueries[step]));
    query.bind(1, key);
    if (!plan.fromPlace()) {
        query.bind(2, plan.offset);
    } else if (ofValues) {
        query.bind(2, place->id);
    } else {
        query.bind(2, place->folded);
    }
    if (!query.step()) {
        places.erase(key);
        return false;
    }
    TListingPlace reached;
    reached.index = index;
    read(query, reached);
    places.set(key, std::move(reached));
    return true;
}

bool TKeyStore::subkeyAt(int64_t key, DWORD index, TSubkeyEntry& entry) {
    return listingAt(key, index, false, [&entry](const TSqlStatement& row, TListingPlace& place) {
        entry.name = row.text16(0);
        entry.keyClass = row.isNull(1) ? std::u16string() : row.text16(1);
        entry.lastWrite = row.integer(2);
        place.folded = row.bytes(3);
    });
}

TKeyInfo TKeyStore::info(int64_t key) {
    followHive();
    if (const TKeyInfo* known = listings_.infos().find(key)) {
        return *known;
    }
    // One pass over the subkeys and one over the values.
    TSqlStatement query(statements_.get(
        "SELECT k.class, k.written, s.n, s.name, s.class, v.n, v.name, v.data FROM keys AS k,"
        " (SELECT count(*) AS n, ifnull(max(length(name)), 0) AS name,"
        "  ifnull(max(length(class)), 0) AS class FROM keys WHERE parent = ?1) AS s,"
        " (SELECT count(*) AS n, ifnull(max(length(name)), 0) AS name,"
        "  ifnull(max(length(data)), 0) AS data FROM keyValues WHERE key = ?1) AS v"
        " WHERE k.id = ?1"));
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
    listings_.infos().set(key, info);
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
    followHive();
    const std::string folded = foldedName(name);
    const TValueEntry* known = nullptr;
    if (listings_.knownValue(key, folded, known) || loadValues(key, folded, known)) {
        if (known == nullptr) {
            return false;
        }
        value = *known;
        value.name = name;
        return true;
    }
    TSqlStatement query(
        statements_.get("SELECT type, data FROM keyValues WHERE key = ?1 AND folded = ?2"));
    if (!query.bind(1, key).bind(2, folded).step()) {
        return false;
    }
    value.name = name;
    value.type = dword(query.integer(0));
    value.data = query.bytes(1);
    return true;
}

bool TKeyStore::loadValues(int64_t key, const std::string& folded, const TValueEntry*& value) {
    // A record is read value by value: all of them at once, unless there are too many to keep.
    constexpr int64_t mostKept = 256;
    TSqlStatement query(
        statements_.get("SELECT name, type, data, folded FROM keyValues WHERE key = ?1 LIMIT ?2"));
    query.bind(1, key).bind(2, mostKept + 1);
    TKeyValues values;
    while (query.step()) {
        if (static_cast<int64_t>(values.size()) == mostKept) {
            return false;
        }
        values[query.bytes(3)] = {query.text16(0), dword(query.integer(1)), query.bytes(2)};
    }
    listings_.keyValues().set(key, std::move(values));
    return listings_.knownValue(key, folded, value);
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
    return listingAt(key, index, true, [&value](const TSqlStatement& row, TListingPlace& place) {
        value.name = row.text16(0);
        value.type = dword(row.integer(1));
        value.data = row.bytes(2);
        place.id = row.integer(3);
    });
}

}  // namespace OrvaneLib::Pal
