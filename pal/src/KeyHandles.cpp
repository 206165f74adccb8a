#include "pal/src/KeyHandles.h"

#include "pal/inc/WinRegistry.h"
#include "pal/src/KeyStore.h"

namespace OrvaneLib::Pal {

namespace {

constexpr REGSAM writeRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;
constexpr REGSAM allRights = KEY_ALL_ACCESS | WRITE_DAC | WRITE_OWNER;

// Windows looks only at the low 32 bits of a predefined key.
bool isPredefined(uintptr_t value) {
    uint32_t low = static_cast<uint32_t>(value);
    return low >= 0x80000000u && low <= 0x80000006u;
}

}  // namespace

LONG grantAccess(REGSAM desired, bool readOnlyHive, REGSAM& granted) {
    granted = desired & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY | MAXIMUM_ALLOWED | GENERIC_READ |
                          GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    if (desired & GENERIC_READ) {
        granted |= KEY_READ;
    }
    if (desired & GENERIC_WRITE) {
        granted |= KEY_WRITE;
    }
    if (desired & GENERIC_EXECUTE) {
        granted |= KEY_EXECUTE;
    }
    if (desired & (GENERIC_ALL | MAXIMUM_ALLOWED)) {
        granted |= allRights;
    }
    if (!readOnlyHive) {
        return ERROR_SUCCESS;
    }
    if (desired & MAXIMUM_ALLOWED) {
        granted &= ~writeRights;
    }
    return (granted & writeRights) != 0 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

THandleTable& THandleTable::instance() {
    static THandleTable* table = new THandleTable();
    return *table;
}

THandleTable::THandleTable() : currentUser_{TKeyStore::rootKey, allRights} {}

bool THandleTable::isCurrentUser(HKEY handle) {
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    return static_cast<uint32_t>(value) == 0x80000001u;
}

HKEY THandleTable::open(int64_t key, REGSAM access) {
    std::lock_guard<std::mutex> lock(mutex_);
    do {
        next_ += 4;
    } while (isPredefined(next_));
    handles_[next_] = {key, access};
    return reinterpret_cast<HKEY>(next_);
}

bool THandleTable::find(HKEY handle, TKeyHandle& found) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (isCurrentUser(handle)) {
        found = currentUser_;
        return true;
    }
    auto entry = handles_.find(reinterpret_cast<uintptr_t>(handle));
    if (entry == handles_.end()) {
        return false;
    }
    found = entry->second;
    return true;
}

bool THandleTable::close(HKEY handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    return handles_.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
}

void THandleTable::overrideCurrentUser(const TKeyHandle* target) {
    std::lock_guard<std::mutex> lock(mutex_);
    currentUser_ = target != nullptr ? *target : TKeyHandle{TKeyStore::rootKey, allRights};
}

}  // namespace OrvaneLib::Pal
