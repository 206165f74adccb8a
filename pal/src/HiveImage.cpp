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

}  // namespace

std::unique_ptr<THiveImage> THiveImage::load(TStatementCache& statements) {
    TSqlStatement count(statements.get(
        "SELECT (SELECT count(*) FROM keys), (SELECT count(*) FROM keyValues),"
        " (SELECT page_count * page_size FROM pragma_page_count, pragma_page_size)"));
    if (!count.step() || count.integer(0) + count.integer(1) > mostRows) {
        return nullptr;
    }
    std::unique_ptr<THiveImage> image(new THiveImage());
    image->keys_.reserve(static_cast<size_t>(count.integer(0)));
    image->values_.reserve(static_cast<size_t>(count.integer(1)));
    // Every byte kept is a byte of the file: the pool never grows past the file's size.
    image->pool_.reserve(std::min(static_cast<size_t>(count.integer(2)), mostBytes));
    if (!image->readKeys(statements)) {
        return nullptr;
    }
    image->linkKeys();
    return image->readValues(statements) ? std::move(image) : nullptr;
}

bool THiveImage::keep(std::string_view bytes, TSpan& span) {
    if (pool_.size() + bytes.size() > mostBytes) {
        return false;
    }
    span = {static_cast<uint32_t>(pool_.size()), static_cast<uint32_t>(bytes.size())};
    pool_.append(bytes);
    return true;
}

bool THiveImage::readKeys(TStatementCache& statements) {
    // In the order of the index: the subkeys of each key come together, by their folded names.
    TSqlStatement query(
        statements.get("SELECT id, ifnull(parent, 0), written, name, folded, class FROM keys"
                       " ORDER BY parent, folded"));
    while (query.step()) {
        TImageKey key{query.integer(0), query.integer(1), query.integer(2), {}, {}, {}, {}, {}};
        if (!keep(query.view(3), key.name) || !keep(query.view(4), key.folded) ||
            !keep(query.view(5), key.keyClass)) {
            return false;
        }
        keys_.push_back(key);
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
    for (uint32_t first = 0, next = 0; first < keys_.size(); first = next) {
        for (next = first + 1; next < keys_.size() && keys_[next].parent == keys_[first].parent;
             ++next) {
        }
        if (TImageKey* parent = find(keys_[first].parent)) {
            parent->subkeys = {first, next - first};
        }
    }
}

bool THiveImage::readValues(TStatementCache& statements) {
    // In the order they were set, which is each key's order of its values; then grouped by key.
    TSqlStatement query(
        statements.get("SELECT key, type, name, folded, data FROM keyValues ORDER BY id"));
    std::vector<uint32_t> owners;
    owners.reserve(values_.capacity());
    const TImageKey* owner = nullptr;
    while (query.step()) {
        if (owner == nullptr || owner->id != query.integer(0)) {
            owner = find(query.integer(0));
            if (owner == nullptr) {
                continue;  // left by no key: no call can reach it
            }
        }
        TImageValue value{{}, {}, {}, static_cast<DWORD>(query.integer(1))};
        if (!keep(query.view(2), value.name) || !keep(query.view(3), value.folded) ||
            !keep(query.view(4), value.data)) {
            return false;
        }
        values_.push_back(value);
        owners.push_back(static_cast<uint32_t>(owner - keys_.data()));
    }
    groupValues(owners);
    valueNames_.resize(values_.size());
    for (uint32_t index = 0; index < valueNames_.size(); ++index) {
        valueNames_[index] = index;
    }
    for (const TImageKey& key : keys_) {
        auto first = valueNames_.begin() + key.values.first;
        std::sort(first, first + key.values.count, [this](uint32_t left, uint32_t right) {
            return bytes(values_[left].folded) < bytes(values_[right].folded);
        });
    }
    return true;
}

void THiveImage::groupValues(const std::vector<uint32_t>& owners) {
    for (uint32_t owner : owners) {
        ++keys_[owner].values.count;
    }
    std::vector<uint32_t> next(keys_.size());
    for (uint32_t index = 0, first = 0; index < keys_.size(); ++index) {
        keys_[index].values.first = next[index] = first;
        first += keys_[index].values.count;
    }
    std::vector<TImageValue> grouped(values_.size());
    for (size_t index = 0; index < values_.size(); ++index) {
        grouped[next[owners[index]]++] = values_[index];
    }
    values_.swap(grouped);
}

THiveImage::TImageKey* THiveImage::find(int64_t id) {
    return const_cast<TImageKey*>(static_cast<const THiveImage*>(this)->find(id));
}

const THiveImage::TImageKey* THiveImage::find(int64_t id) const {
    auto found = std::lower_bound(
        byId_.begin(), byId_.end(), id,
        [this](uint32_t index, int64_t wanted) { return keys_[index].id < wanted; });
    return found != byId_.end() && keys_[*found].id == id ? &keys_[*found] : nullptr;
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

TValueEntry THiveImage::entryOf(const TImageValue& value) const {
    return {text(value.name), value.type, std::string(bytes(value.data))};
}

LONG THiveImage::openPath(int64_t from, const std::vector<std::u16string>& names,
                          int64_t& key) const {
    const TImageKey* at = find(from);
    if (at == nullptr) {
        return ERROR_KEY_DELETED;
    }
    for (const std::u16string& name : names) {
        const std::string folded = foldedName(name);
        auto first = keys_.begin() + at->subkeys.first;
        auto last = first + at->subkeys.count;
        auto child = std::lower_bound(first, last, folded,
                                      [this](const TImageKey& subkey, const std::string& wanted) {
                                          return bytes(subkey.folded) < wanted;
                                      });
        if (child == last || bytes(child->folded) != folded) {
            return ERROR_FILE_NOT_FOUND;
        }
        at = &*child;
    }
    key = at->id;
    return ERROR_SUCCESS;
}

LONG THiveImage::subkeyAt(int64_t key, DWORD index, TSubkeyEntry& entry) const {
    const TImageKey* at = find(key);
    if (at == nullptr) {
        return ERROR_KEY_DELETED;
    }
    if (index >= at->subkeys.count) {
        return ERROR_NO_MORE_ITEMS;
    }
    entry = entryOf(keys_[at->subkeys.first + index]);
    return ERROR_SUCCESS;
}

LONG THiveImage::valueAt(int64_t key, DWORD index, TValueEntry& value) const {
    const TImageKey* at = find(key);
    if (at == nullptr) {
        return ERROR_KEY_DELETED;
    }
    if (index >= at->values.count) {
        return ERROR_NO_MORE_ITEMS;
    }
    value = entryOf(values_[at->values.first + index]);
    return ERROR_SUCCESS;
}

LONG THiveImage::info(int64_t key, TKeyInfo& info) const {
    const TImageKey* at = find(key);
    if (at == nullptr) {
        return ERROR_KEY_DELETED;
    }
    info = TKeyInfo{};
    info.keyClass = text(at->keyClass);
    info.lastWrite = at->written;
    info.subkeys = at->subkeys.count;
    info.values = at->values.count;
    for (uint32_t index = 0; index < at->subkeys.count; ++index) {
        const TImageKey& subkey = keys_[at->subkeys.first + index];
        info.maxSubkeyName = std::max<DWORD>(info.maxSubkeyName, subkey.name.size / 2);
        info.maxSubkeyClass = std::max<DWORD>(info.maxSubkeyClass, subkey.keyClass.size / 2);
    }
    for (uint32_t index = 0; index < at->values.count; ++index) {
        const TImageValue& value = values_[at->values.first + index];
        info.maxValueName = std::max<DWORD>(info.maxValueName, value.name.size / 2);
        info.maxValueData = std::max<DWORD>(info.maxValueData, value.data.size);
    }
    return ERROR_SUCCESS;
}

LONG THiveImage::findValue(int64_t key, const std::u16string& name, TValueEntry& value) const {
    const TImageKey* at = find(key);
    if (at == nullptr) {
        return ERROR_KEY_DELETED;
    }
    const std::string folded = foldedName(name);
    auto first = valueNames_.begin() + at->values.first;
    auto last = first + at->values.count;
    auto found =
        std::lower_bound(first, last, folded, [this](uint32_t index, const std::string& wanted) {
            return bytes(values_[index].folded) < wanted;
        });
    if (found == last || bytes(values_[*found].folded) != folded) {
        return ERROR_FILE_NOT_FOUND;
    }
    value = entryOf(values_[*found]);
    return ERROR_SUCCESS;
}

}  // namespace OrvaneLib::Pal
