// The keys and values of the hive, as rows of its SQLite tables. Every call runs inside the
// transaction that THive opened for one registry function.
#pragma once

#include "pal/inc/WinTypes.h"
#include "pal/src/KeyListings.h"
#include "pal/src/KeyName.h"
#include "pal/src/SqlStatement.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace OrvaneLib::Pal {

struct TSubkeyEntry {
    std::u16string name;
    std::u16string keyClass;
    int64_t lastWrite;
};

class TKeyStore {
public:
    // The key that HKEY_CURRENT_USER stands for.
    static constexpr int64_t rootKey = 1;

    TKeyStore(TStatementCache& statements, TKeyListings& listings, bool readOnly)
        : statements_(statements), listings_(listings), readOnly_(readOnly) {}

    // Makes the tables of a new hive, with its root key.
    static void createSchema(TStatementCache& statements);

    // Whether this process may only read the hive.
    bool readOnly() const { return readOnly_; }
    // Makes the listings forget what they read before the hive last changed.
    void followHive();

    bool exists(int64_t key);
    // ERROR_KEY_DELETED when `from` is gone, ERROR_FILE_NOT_FOUND when a name is missing.
    LONG openPath(int64_t from, const TKeyPath& names, int64_t& key);
    // Creates the missing keys of the path; the last one gets the class. `disposition` tells
    // whether the last key was created or already there.
    LONG createPath(int64_t from, const TKeyPath& names, const std::u16string& keyClass,
                    bool isVolatile, int64_t& key, DWORD& disposition);
    bool hasSubkeys(int64_t key);
    bool hasValues(int64_t key);
    // The subkey at `index` in the order of the upper-case names. Asking for the index next to
    // the previous one of the same key, either way, costs no more than asking for the first.
    bool subkeyAt(int64_t key, DWORD index, TSubkeyEntry& entry);
    // Read once for each state of the hive.
    TKeyInfo info(int64_t key);
    // Removes the values and subkeys of `key` and everything below them; and `key` itself
    // unless it is to be kept.
    void removeTree(int64_t key, bool keepKey);

    bool findValue(int64_t key, const std::u16string& name, TValueEntry& value);
    void setValue(int64_t key, const std::u16string& name, DWORD type, const BYTE* data,
                  DWORD size);
    bool removeValue(int64_t key, const std::u16string& name);
    // The value at `index` in the order the values were first set; as cheap as subkeyAt.
    bool valueAt(int64_t key, DWORD index, TValueEntry& value);

private:
    bool findChild(int64_t parent, std::u16string_view name, int64_t& child);
    // Reads every value of the key into the listings, and finds the one of that folded name in
    // them; false when the key has too many values to keep.
    bool loadValues(int64_t key, const std::string& folded, const TValueEntry*& value);
    // findChild through what this state of the hive already answered.
    bool findKnownChild(int64_t parent, std::u16string_view name, int64_t& child);
    int64_t addChild(int64_t parent, std::u16string_view name, const std::u16string* keyClass,
                     bool isVolatile);
    bool isVolatile(int64_t key);
    void touch(int64_t key);
    // Reads the row of a listing (subkeys or values) at `index` and fills in where it stands.
    typedef std::function<void(const TSqlStatement& row, TListingPlace& place)> TListingRow;
    bool listingAt(int64_t key, DWORD index, bool ofValues, const TListingRow& read);

    TStatementCache& statements_;
    TKeyListings& listings_;
    bool readOnly_;
};

// Now, as a FILETIME count: 100-nanosecond intervals since 1601-01-01 UTC.
int64_t fileTimeNow();

}  // namespace OrvaneLib::Pal
