// The whole hive as one state of it held: every key with its subkeys in their order and its values
// in theirs. A process that keeps reading while nothing is committed reads the hive once into an
// image and answers from it, as Windows answers from a hive it holds in memory; the first commit,
// by this process or another, ends the image. The answers are those of the queries of TKeyStore.
//
// A handful of blocks: the keys, grouped by parent and ordered by folded name, so that a key's
// subkeys are one run of them; the values, grouped by key in their order; every name and data in
// one pool of bytes.
#pragma once

#include "pal/inc/WinTypes.h"
#include "pal/src/KeyListings.h"
#include "pal/src/KeyStore.h"
#include "pal/src/SqlStatement.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace OrvaneLib::Pal {

class THiveImage {
public:
    // Reads the hive inside the caller's transaction; null when it holds more than an image may.
    static std::unique_ptr<THiveImage> load(TStatementCache& statements);

    // As TKeyStore::openPath.
    LONG openPath(int64_t from, const std::vector<std::u16string>& names, int64_t& key) const;
    // ERROR_KEY_DELETED when the key is gone, ERROR_NO_MORE_ITEMS past the last entry.
    LONG subkeyAt(int64_t key, DWORD index, TSubkeyEntry& entry) const;
    LONG valueAt(int64_t key, DWORD index, TValueEntry& value) const;
    LONG info(int64_t key, TKeyInfo& info) const;
    // ERROR_KEY_DELETED when the key is gone, ERROR_FILE_NOT_FOUND when it has no such value.
    LONG findValue(int64_t key, const std::u16string& name, TValueEntry& value) const;

private:
    // Bytes of the pool.
    struct TSpan {
        uint32_t offset = 0;
        uint32_t size = 0;
    };
    // A run of keys, values or value names.
    struct TRun {
        uint32_t first = 0;
        uint32_t count = 0;
    };
    struct TImageKey {
        int64_t id;
        int64_t parent;
        int64_t written;
        TSpan name, folded, keyClass;
        TRun subkeys, values;
    };
    struct TImageValue {
        TSpan name, folded, data;
        DWORD type;
    };

    THiveImage() = default;
    // False when the hive holds more than an image may.
    bool readKeys(TStatementCache& statements);
    bool readValues(TStatementCache& statements);
    // Puts the values, in the order read, into one run for each key; `owners` are their keys.
    void groupValues(const std::vector<uint32_t>& owners);
    // The index by id and each key's run of subkeys.
    void linkKeys();
    bool keep(std::string_view bytes, TSpan& span);

    TImageKey* find(int64_t id);
    const TImageKey* find(int64_t id) const;
    std::string_view bytes(TSpan span) const { return {pool_.data() + span.offset, span.size}; }
    std::u16string text(TSpan span) const;
    TSubkeyEntry entryOf(const TImageKey& key) const;
    TValueEntry entryOf(const TImageValue& value) const;

    std::vector<TImageKey> keys_;
    std::vector<uint32_t> byId_;  // indexes of keys_, by id
    std::vector<TImageValue> values_;
    std::vector<uint32_t> valueNames_;  // indexes of values_, each key's run by folded name
    std::string pool_;
};

}  // namespace OrvaneLib::Pal
