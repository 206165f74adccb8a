#include "pal/src/RegistryCall.h"

#include <cstring>

namespace OrvaneLib::Pal {

LONG useHandle(HKEY key, REGSAM needed, TKeyHandle& handle) {
    if (!handles().find(key, handle)) {
        return ERROR_INVALID_HANDLE;
    }
    return allows(handle, needed) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG usePath(HKEY key, LPCWSTR subKey, TKeyHandle& parent, TKeyPath& names) {
    if (!handles().find(key, parent)) {
        return ERROR_INVALID_HANDLE;
    }
    return splitKeyPath(subKey, names);
}

LONG onKey(const TKeyHandle& handle, bool write, TFunctionRef<LONG(TKeyStore&)> work) {
    auto guarded = [&](TKeyStore& store) -> LONG {
        return store.exists(handle.key) ? work(store) : ERROR_KEY_DELETED;
    };
    return write ? hive().write(guarded) : hive().read(guarded);
}

LONG readKey(const TKeyHandle& handle, TFunctionRef<LONG(const THiveImage&)> fromImage,
             TFunctionRef<LONG(TKeyStore&)> fromStore) {
    LONG status = ERROR_SUCCESS;
    const bool known = hive().known([&](const TKnownHive& known) {
        if (known.image == nullptr) {
            return false;
        }
        status = fromImage(*known.image);
        return true;
    });
    return known ? status : onKey(handle, false, fromStore);
}

void copyText(const std::u16string& text, LPWSTR buffer) {
    memcpy(buffer, text.data(), text.size() * sizeof(WCHAR));
    buffer[text.size()] = u'\0';
}

void setFileTime(int64_t time, PFILETIME out) {
    if (out != nullptr) {
        out->dwLowDateTime = static_cast<DWORD>(time);
        out->dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(time) >> 32);
    }
}

void setIf(LPDWORD out, DWORD value) {
    if (out != nullptr) {
        *out = value;
    }
}

}  // namespace OrvaneLib::Pal
