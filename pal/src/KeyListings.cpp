#include "pal/src/KeyListings.h"

#include "pal/src/KeyName.h"

namespace OrvaneLib::Pal {

namespace {

constexpr int64_t rootKey = 1;

}  // namespace

std::string childKey(int64_t parent, std::u16string_view name) {
    std::string key(reinterpret_cast<const char*>(&parent), sizeof parent);
    return key + foldedName(name);
}

bool TKeyListings::knownPath(int64_t from, const TKeyPath& names, int64_t& key) const {
    if (from != rootKey && existing_.find(from) == nullptr) {
        return false;
    }
    key = from;
    for (std::u16string_view name : names) {
        const int64_t* child = children_.find(childKey(key, name));
        if (child == nullptr) {
            return false;
        }
        key = *child;
    }
    return true;
}

bool TKeyListings::knownValue(int64_t key, const std::string& folded,
                              const TValueEntry*& value) const {
    const TKeyValues* values = keyValues_.find(key);
    if (values == nullptr) {
        return false;
    }
    auto found = values->find(folded);
    value = found == values->end() ? nullptr : &found->second;
    return true;
}

}  // namespace OrvaneLib::Pal
