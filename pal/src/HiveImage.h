// The whole hive as one state of it held: every key with its subkeys in their order and its values
// in theirs. A process that keeps reading while nothing is committed reads the hive once into an
// image and answers from it, as Windows answers from a hive it holds in memory; the first commit,
// by this process or another, ends the image. The answers are those of the queries of TKeyStore.
//
// A handful of blocks: the keys, grouped by parent and ordered by folded name, so that a key's
// subkeys are one run of them; the values in the order they were set, with each key's run of them
// in an index; every name and data in one pool of bytes; and one hash table that finds a subkey,
// or a value of a key that has many, by its owner and its name without folding it into a copy.
#pragma once

#include "pal/inc/WinTypes.h"
#include "pal/src/ImageBlock.h"
#include "pal/src/KeyListings.h"
#include "pal/src/KeyName.h"
#include "pal/src/KeyStore.h"
#include "pal/src/SqlStatement.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace OrvaneLib::Pal {

// A value as the image holds it; the data stays valid as long as the image.
struct TImageValueView {
    DWORD type = 0;
    std::string_view data;
};

class THiveImage {
public:
    // Reads the hive inside the caller's transaction; null when it holds more than an image may.
    static std::unique_ptr<THiveImage> load(TStatementCache& statements);

    // As TKeyStore::openPath.
    LONG openPath(int64_t from, const TKeyPath& names, int64_t& key) const;
    // ERROR_KEY_DELETED when the key is gone, ERROR_NO_MORE_ITEMS past the last entry.
    LONG subkeyAt(int64_t key, DWORD index, TSubkeyEntry& entry) const;
    LONG valueAt(int64_t key, DWORD index, TValueEntry& value) const;
    LONG info(int64_t key, TKeyInfo& info) const;
    // ERROR_KEY_DELETED when the key is gone, ERROR_FILE_NOT_FOUND when it has no such value.
    LONG findValue(int64_t key, std::u16string_view name, TImageValueView& value) const;

private:
    // Bytes of the pool.
    struct TSpan {
        uint32_t offset = 0;
        uint32_t size = 0;
    };
    // A run of keys or of value indexes.
    struct TRun {
        uint32_t first = 0;
        uint32_t count = 0;
    };
    // What RegQueryInfoKeyW tells of the longest names and data below a key, found while loading.
    struct TLongest {
        DWORD subkeyName = 0;
        DWORD subkeyClass = 0;
        DWORD valueName = 0;
        DWORD valueData = 0;
    };
    struct TImageKey {
        int64_t id;
        int64_t parent;
        int64_t written;
        TSpan name, keyClass;
        TRun subkeys, values;
        TLongest longest;
    };
    struct TImageValue {
        uint32_t owner;  // index in keys_
        DWORD type;
        TSpan name, data;
    };

    THiveImage() = default;
    // False when the hive holds more than an image may.
    bool readKeys(TStatementCache& statements);
    bool readValues(TStatementCache& statements);
    // The index by id and each key's run of subkeys.
    void linkKeys();
    // Each key's run of its values, in the order read.
    void groupValues();
    void findLongest();
    // False when the table can not be had.
    bool hashNames();
    bool keep(std::string_view bytes, TSpan& span);

    const TImageKey* find(int64_t id) const;
    // `which` tells the run: subkeys or values.
    LONG entryAt(int64_t key, DWORD index, TRun TImageKey::*which, uint32_t& at) const;
    // The slot of a subkey of `owner` (a key's id) or of a value of `owner` (an index in keys_)
    // by that name, compared as the hive compares names; the slot is empty when there is none.
    size_t slotOf(bool value, int64_t owner, std::u16string_view name) const;
    bool sameName(TSpan stored, std::u16string_view name) const;
    // A value of `key` by that name, through the hash or through the key's run; null when none.
    const TImageValue* hashedValue(const TImageKey& key, std::u16string_view name) const;
    const TImageValue* listedValue(const TImageKey& key, std::u16string_view name) const;
    char16_t unitAt(TSpan name, size_t at) const;
    std::string_view bytes(TSpan span) const { return {pool_.data() + span.offset, span.size}; }
    std::u16string text(TSpan span) const;
    TSubkeyEntry entryOf(const TImageKey& key) const;

    TImageBlock<TImageKey> keys_;
    TImageBlock<int64_t> ids_;    // every key's id, in order
    TImageBlock<uint32_t> byId_;  // indexes of keys_, in the order of ids_
    TImageBlock<TImageValue> values_;
    TImageBlock<uint32_t> valueOrder_;  // indexes of values_, grouped by key
    // Open addressing: 0 is empty, else a key's index + 1, or a value's with the top bit set.
    TImageBlock<uint32_t> slots_;
    TImageBlock<char> pool_;
};

}  // namespace OrvaneLib::Pal
