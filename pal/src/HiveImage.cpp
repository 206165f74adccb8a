#include "pal/src/HiveImage.h"

#include "pal/inc/WinRegistry.h"
#include "pal/src/KeyName.h"

#include <algorithm>
#include <cstring>

namespace OrvaneLib::Pal {

namespace {

// A hive beyond these is left to the queries: its image would take more memory than it saves.
constexpr int64_t mostRows = 1000000;
constexpr size_t mostBytes = size_t(256) << 20;

constexpr uint32_t valueSlot = 0x80000000u;
// A key with no more values than this finds one by going through them, which its neighbours in
// the cache make quicker than the hash.
constexpr uint32_t shortRun = 16;

// FNV-1a over the upper-case units, then a final mix so that the low bits index well.
template <class UnitAt>
uint64_t nameHash(bool value, int64_t owner, size_t length, UnitAt unitAt) {
    uint64_t hash = 14695981039346656037ull ^ (static_cast<uint64_t>(owner) << 1 | value);
    for (size_t at = 0; at < length; ++at) {
        hash = (hash ^ upcaseUnit(unitAt(at))) * 1099511628211ull;
    }
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    return hash ^ (hash >> 33);
}

}  // namespace

std::unique_ptr<THiveImage> THiveImage::load(TStatementCache& statements) {
    TSqlStatement count(statements.get(
        "SELECT (SELECT count(*) FROM keys), (SELECT count(*) FROM keyValues),"
        " (SELECT page_count * page_size FROM pragma_page_count, pragma_page_size)"));
    if (!count.step() || count.integer(0) + count.integer(1) > mostRows) {
        return nullptr;
    }
    const size_t keys = static_cast<size_t>(count.integer(0));
    const size_t values = static_cast<size_t>(count.integer(1));
    std::unique_ptr<THiveImage> image(new THiveImage());
    // Every byte kept is a byte of the file: the pool never grows past the file's size.
    if (!image->keys_.reserve(keys) || !image->ids_.reserve(keys) || !image->byId_.reserve(keys) ||
        !image->values_.reserve(values) || !image->valueOrder_.reserve(values) ||
        !image->pool_.reserve(std::min(static_cast<size_t>(count.integer(2)), mostBytes)) ||
        !image->readKeys(statements)) {
        return nullptr;
    }
    image->linkKeys();
    if (!image->readValues(statements)) {
        return nullptr;
    }
    image->groupValues();
    image->findLongest();
    return image->hashNames() ? std::move(image) : nullptr;
}

bool THiveImage::keep(std::string_view bytes, TSpan& span) {
    span = {static_cast<uint32_t>(pool_.size()), static_cast<uint32_t>(bytes.size())};
    return pool_.append(bytes.data(), bytes.size());
}

bool THiveImage::readKeys(TStatementCache& statements) {
    // In the order of the index: the subkeys of each key come together, by their folded names.
    TSqlStatement query(
        statements.get("SELECT id, ifnull(parent, 0), written, name, class FROM keys"
                       " ORDER BY parent, folded"));
    while (query.step()) {
        TImageKey key{query.integer(0), query.integer(1), query.integer(2), {}, {}, {}, {}, {}};
        if (!keep(query.view(3), key.name) || !keep(query.view(4), key.keyClass)) {
            return false;
        }
        if (!keys_.append(&key, 1)) {
            return false;  // the count said otherwise
        }
    }
    return true;
}

void THiveImage::linkKeys() {
    byId_.resize(keys_.size());
    for (uint32_t index = 0; index < byId_.size(); ++index) {
        byId_[index] = index;
    }
    std::sort(byId_.begin(), byId_.end(),
              [this](uint32_t left, uint32_t right) { return keys_[left].id < keys_[right].id; });
    ids_.resize(keys_.size());
    for (size_t at = 0; at < ids_.size(); ++at) {
        ids_[at] = keys_[byId_[at]].id;
    }
    for (uint32_t first = 0, next = 0; first < keys_.size(); first = next) {
        for (next = first + 1; next < keys_.size() && keys_[next].parent == keys_[first].parent;
             ++next) {
        }
        if (const TImageKey* parent = find(keys_[first].parent)) {
            keys_[parent - keys_.data()].subkeys = {first, next - first};
        }
    }
}

bool THiveImage::readValues(TStatementCache& statements) {
    // In the order they were set, which is each key's order of its values.
    TSqlStatement query(statements.get("SELECT key, type, name, data FROM keyValues ORDER BY id"));
    const TImageKey* owner = nullptr;
    while (query.step()) {
        if (owner == nullptr || owner->id != query.integer(0)) {
            owner = find(query.integer(0));
            if (owner == nullptr) {
                continue;  // left by no key: no call can reach it
            }
        }
        TImageValue value{static_cast<uint32_t>(owner - keys_.data()),
                          static_cast<DWORD>(query.integer(1)),
                          {},
                          {}};
        if (!keep(query.view(2), value.name) || !keep(query.view(3), value.data)) {
            return false;
        }
        if (!values_.append(&value, 1)) {
            return false;
        }
    }
    return true;
}

void THiveImage::groupValues() {
    for (const TImageValue& value : values_) {
        ++keys_[value.owner].values.count;
    }
    std::vector<uint32_t> next(keys_.size());
    for (uint32_t index = 0, first = 0; index < keys_.size(); ++index) {
        keys_[index].values.first = next[index] = first;
        first += keys_[index].values.count;
    }
    valueOrder_.resize(values_.size());
    for (uint32_t index = 0; index < values_.size(); ++index) {
        valueOrder_[next[values_[index].owner]++] = index;
    }
}

void THiveImage::findLongest() {
    for (const TImageKey& key : keys_) {
        if (const TImageKey* parent = find(key.parent)) {
            TLongest& longest = keys_[parent - keys_.data()].longest;
            longest.subkeyName = std::max<DWORD>(longest.subkeyName, key.name.size / 2);
            longest.subkeyClass = std::max<DWORD>(longest.subkeyClass, key.keyClass.size / 2);
        }
    }
    for (const TImageValue& value : values_) {
        TLongest& longest = keys_[value.owner].longest;
        longest.valueName = std::max<DWORD>(longest.valueName, value.name.size / 2);
        longest.valueData = std::max<DWORD>(longest.valueData, value.data.size);
    }
}

bool THiveImage::hashNames() {
    size_t hashed = keys_.size();
    for (const TImageValue& value : values_) {
        hashed += keys_[value.owner].values.count > shortRun ? 1 : 0;
    }
    size_t size = 2;
    while (size < 2 * hashed) {
        size *= 2;
    }
    if (!slots_.reserve(size)) {
        return false;
    }
    slots_.resize(size);
    // The hive holds no two names of one owner that fold alike: a new name takes the first free
    // slot.
    auto insert = [this](bool value, int64_t owner, TSpan name, uint32_t entry) {
        const size_t mask = slots_.size() - 1;
        size_t slot = nameHash(value, owner, name.size / sizeof(char16_t),
                               [this, name](size_t at) { return unitAt(name, at); }) &
                      mask;
        while (slots_[slot] != 0) {
            slot = (slot + 1) & mask;
        }
        slots_[slot] = entry;
    };
    for (uint32_t index = 0; index < keys_.size(); ++index) {
        insert(false, keys_[index].parent, keys_[index].name, index + 1);
    }
    for (uint32_t index = 0; index < values_.size(); ++index) {
        if (keys_[values_[index].owner].values.count > shortRun) {
            insert(true, values_[index].owner, values_[index].name, (index + 1) | valueSlot);
        }
    }
    return true;
}

size_t THiveImage::slotOf(bool value, int64_t owner, std::u16string_view name) const {
    const size_t mask = slots_.size() - 1;
    const uint64_t hash =
        nameHash(value, owner, name.size(), [name](size_t at) { return name[at]; });
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const uint32_t entry = slots_[slot];
        if (entry == 0) {
            return slot;
        }
        const uint32_t index = (entry & ~valueSlot) - 1;
        if ((entry & valueSlot) != 0
                ? value && values_[index].owner == owner && sameName(values_[index].name, name)
                : !value && keys_[index].parent == owner && sameName(keys_[index].name, name)) {
            return slot;
        }
    }
}

bool THiveImage::sameName(TSpan stored, std::u16string_view name) const {
    if (stored.size != name.size() * sizeof(char16_t)) {
        return false;
    }
    for (size_t at = 0; at < name.size(); ++at) {
        const char16_t unit = unitAt(stored, at);
        if (unit != name[at] && upcaseUnit(unit) != upcaseUnit(name[at])) {
            return false;
        }
    }
    return true;
}

const THiveImage::TImageKey* THiveImage::find(int64_t id) const {
    auto found = std::lower_bound(ids_.begin(), ids_.end(), id);
    return found != ids_.end() && *found == id ? &keys_[byId_[found - ids_.begin()]] : nullptr;
}

char16_t THiveImage::unitAt(TSpan name, size_t at) const {
    char16_t unit;
    memcpy(&unit, pool_.data() + name.offset + at * sizeof(char16_t), sizeof(unit));
    return unit;
}

std::u16string THiveImage::text(TSpan span) const {
    std::u16string text(span.size / sizeof(char16_t), u'\0');
    if (!text.empty()) {
        memcpy(&text[0], pool_.data() + span.offset, text.size() * sizeof(char16_t));
    }
    return text;
}

TSubkeyEntry THiveImage::entryOf(const TImageKey& key) const {
    return {text(key.name), text(key.keyClass), key.written};
}

LONG THiveImage::openPath(int64_t from, const TKeyPath& names, int64_t& key) const {
    if (find(from) == nullptr) {
        return ERROR_KEY_DELETED;
    }
    for (std::u16string_view name : names) {
        const uint32_t entry = slots_[slotOf(false, from, name)];
        if (entry == 0) {
            return ERROR_FILE_NOT_FOUND;
        }
        from = keys_[entry - 1].id;
    }
    key = from;
    return ERROR_SUCCESS;
}

LONG THiveImage::entryAt(int64_t key, DWORD index, TRun TImageKey::*which, uint32_t& at) const {
    const TImageKey* found = find(key);
    if (found == nullptr) {
        return ERROR_KEY_DELETED;
    }
    const TRun& run = found->*which;
    if (index >= run.count) {
        return ERROR_NO_MORE_ITEMS;
    }
    at = run.first + index;
    return ERROR_SUCCESS;
}

LONG THiveImage::subkeyAt(int64_t key, DWORD index, TSubkeyEntry& entry) const {
    uint32_t at = 0;
    const LONG status = entryAt(key, index, &TImageKey::subkeys, at);
    if (status == ERROR_SUCCESS) {
        entry = entryOf(keys_[at]);
    }
    return status;
}

LONG THiveImage::valueAt(int64_t key, DWORD index, TValueEntry& value) const {
    uint32_t at = 0;
    const LONG status = entryAt(key, index, &TImageKey::values, at);
    if (status == ERROR_SUCCESS) {
        const TImageValue& found = values_[valueOrder_[at]];
        value = {text(found.name), found.type, std::string(bytes(found.data))};
    }
    return status;
}

LONG THiveImage::info(int64_t key, TKeyInfo& info) const {
    const TImageKey* at = find(key);
    if (at == nullptr) {
        return ERROR_KEY_DELETED;
    }
    info = {
        text(at->keyClass),      at->written,      at->subkeys.count,     at->longest.subkeyName,
        at->longest.subkeyClass, at->values.count, at->longest.valueName, at->longest.valueData};
    return ERROR_SUCCESS;
}

const THiveImage::TImageValue* THiveImage::hashedValue(const TImageKey& key,
                                                       std::u16string_view name) const {
    const uint32_t entry = slots_[slotOf(true, &key - keys_.data(), name)];
    return entry == 0 ? nullptr : &values_[(entry & ~valueSlot) - 1];
}

const THiveImage::TImageValue* THiveImage::listedValue(const TImageKey& key,
                                                       std::u16string_view name) const {
    for (uint32_t next = 0; next < key.values.count; ++next) {
        const TImageValue& value = values_[valueOrder_[key.values.first + next]];
        if (sameName(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

LONG THiveImage::findValue(int64_t key, std::u16string_view name, TImageValueView& value) const {
    const TImageKey* at = find(key);
    if (at == nullptr) {
        return ERROR_KEY_DELETED;
    }
    const TImageValue* found =
        at->values.count > shortRun ? hashedValue(*at, name) : listedValue(*at, name);
    if (found == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    value = {found->type, bytes(found->data)};
    return ERROR_SUCCESS;
}

}  // namespace OrvaneLib::Pal
