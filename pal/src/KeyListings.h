// What this process last read of the keys, so that a walk by index, up or down, continues from
// the previous index instead of counting from the first, the counts and values of a key are read
// once, and the keys of a path are looked up once, per state of the hive. Everything here holds
// only for the state of the hive it was read in: any change since, by this process or another,
// drops all of it.
#pragma once

#include "pal/inc/WinTypes.h"
#include "pal/src/KeyName.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace OrvaneLib::Pal {

struct TKeyInfo {
    std::u16string keyClass;
    int64_t lastWrite;
    DWORD subkeys;
    DWORD maxSubkeyName;
    DWORD maxSubkeyClass;
    DWORD values;
    DWORD maxValueName;
    DWORD maxValueData;
};

struct TValueEntry {
    std::u16string name;
    DWORD type;
    std::string data;
};

// The values of a key by their folded names.
typedef std::unordered_map<std::string, TValueEntry> TKeyValues;

// A state of the hive, as one connection sees it.
struct THiveStamp {
    int64_t ownChanges = -1;     // rows this connection changed
    int64_t othersCommits = -1;  // SQLite's data_version: moves with commits of other connections
    bool operator==(const THiveStamp&) const = default;
};

// Where a listing's last answer stands in the listing's order.
struct TListingPlace {
    uint32_t index = 0;
    std::string folded;  // of the subkey there
    int64_t id = 0;      // of the value there
};

// A bounded number of entries: a walk over many keys each read once must not grow it without end.
template <typename T, typename TKey = int64_t, size_t capacity = 64>
class TRecentByKey {
public:
    const T* find(const TKey& key) const {
        auto entry = entries_.find(key);
        return entry == entries_.end() ? nullptr : &entry->second;
    }
    void set(const TKey& key, T value) {
        if (entries_.size() >= capacity && entries_.count(key) == 0) {
            entries_.clear();
        }
        entries_[key] = std::move(value);
    }
    void erase(const TKey& key) { entries_.erase(key); }
    void clear() { entries_.clear(); }

private:
    std::unordered_map<TKey, T> entries_;
};

class TKeyListings {
public:
    // Drops everything read in another state of the hive.
    void follow(const THiveStamp& now) {
        if (!(now == stamp_)) {
            clear();
            stamp_ = now;
        }
    }
    void clear() {
        stamp_ = THiveStamp();
        subkeys_.clear();
        values_.clear();
        infos_.clear();
        children_.clear();
        keyValues_.clear();
        existing_.clear();
    }

    // The key at the end of the path when every key of it is known; false when the hive must be
    // asked.
    bool knownPath(int64_t from, const TKeyPath& names, int64_t& key) const;
    // Whether the key's values are known; `value` is then the one of that folded name, or null.
    bool knownValue(int64_t key, const std::string& folded, const TValueEntry*& value) const;

    TRecentByKey<TListingPlace>& subkeys() { return subkeys_; }
    TRecentByKey<TListingPlace>& values() { return values_; }
    TRecentByKey<TKeyInfo>& infos() { return infos_; }
    // Child key ids by the parent's id followed by the child's folded name: opening a path looks
    // up the same upper keys again and again.
    TRecentByKey<int64_t, std::string, 4096>& children() { return children_; }
    TRecentByKey<TKeyValues>& keyValues() { return keyValues_; }
    // Keys known to exist, other than the root.
    TRecentByKey<bool, int64_t, 4096>& existing() { return existing_; }

private:
    THiveStamp stamp_;
    TRecentByKey<TListingPlace> subkeys_;
    TRecentByKey<TListingPlace> values_;
    TRecentByKey<TKeyInfo> infos_;
    TRecentByKey<int64_t, std::string, 4096> children_;
    TRecentByKey<TKeyValues> keyValues_;
    TRecentByKey<bool, int64_t, 4096> existing_;
};

// What children() is keyed by.
std::string childKey(int64_t parent, std::u16string_view name);

}  // namespace OrvaneLib::Pal
