// The value functions of advapi32: reading, writing and deleting one value.
#include "pal/inc/WinRegistry.h"

#include "pal/src/RegistryCall.h"

#include <cstring>

using namespace OrvaneLib::Pal;

namespace {

// The answer of RegQueryValueExW to what the lookup `found`. As on Windows, data that does not fit
// leaves the buffer untouched and reports its size.
LONG answerQuery(LONG found, DWORD storedType, std::string_view stored, LPDWORD type, LPBYTE data,
                 LPDWORD dataSize) {
    if (found == ERROR_FILE_NOT_FOUND && data == nullptr) {
        setIf(dataSize, 0);
    }
    if (found != ERROR_SUCCESS) {
        return found;
    }
    const DWORD size = static_cast<DWORD>(stored.size());
    setIf(type, storedType);
    if (data != nullptr) {
        if (*dataSize < size) {
            *dataSize = size;
            return ERROR_MORE_DATA;
        }
        memcpy(data, stored.data(), size);
    }
    setIf(dataSize, size);
    return ERROR_SUCCESS;
}

// What the process knows of the hive answers in place: the data is copied while it is held.
LONG queryValue(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                LPDWORD dataSize) {
    LONG status = ERROR_SUCCESS;
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    TKeyHandle handle;
    if ((status = useHandle(key, KEY_QUERY_VALUE, handle)) != ERROR_SUCCESS) {
        return status;
    }
    const std::u16string_view name = valueName == nullptr ? u"" : valueName;
    const bool storable = storableValueName(name);
    const bool known = storable && hive().known([&](const TKnownHive& known) {
        if (known.image != nullptr) {
            TImageValueView value;
            const LONG found = known.image->findValue(handle.key, name, value);
            status = answerQuery(found, value.type, value.data, type, data, dataSize);
            return true;
        }
        const TValueEntry* entry = nullptr;
        if (!known.listings->knownValue(handle.key, foldedName(name), entry)) {
            return false;
        }
        status = entry == nullptr
                     ? answerQuery(ERROR_FILE_NOT_FOUND, 0, {}, type, data, dataSize)
                     : answerQuery(ERROR_SUCCESS, entry->type, entry->data, type, data, dataSize);
        return true;
    });
    if (known) {
        return status;
    }
    TValueEntry value;
    const LONG found = onKey(handle, false, [&](TKeyStore& store) -> LONG {
        return storable && store.findValue(handle.key, std::u16string(name), value)
                   ? ERROR_SUCCESS
                   : ERROR_FILE_NOT_FOUND;
    });
    return answerQuery(found, value.type, value.data, type, data, dataSize);
}

// Data is stored as given: a REG_SZ without its terminator stays without one.
LONG setValue(HKEY key, LPCWSTR valueName, DWORD type, const BYTE* data, DWORD dataSize) {
    LONG status = ERROR_SUCCESS;
    if (data == nullptr && dataSize > 0) {
        return ERROR_NOACCESS;
    }
    TKeyHandle handle;
    if ((status = useHandle(key, KEY_SET_VALUE, handle)) != ERROR_SUCCESS) {
        return status;
    }
    std::u16string name = textOf(valueName);
    if (!storableValueName(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    return onKey(handle, true, [&](TKeyStore& store) -> LONG {
        store.setValue(handle.key, name, type, data, dataSize);
        return ERROR_SUCCESS;
    });
}

LONG deleteValue(HKEY key, LPCWSTR valueName) {
    LONG status = ERROR_SUCCESS;
    TKeyHandle handle;
    if ((status = useHandle(key, KEY_SET_VALUE, handle)) != ERROR_SUCCESS) {
        return status;
    }
    std::u16string name = textOf(valueName);
    return onKey(handle, true, [&](TKeyStore& store) -> LONG {
        bool removed = storableValueName(name) && store.removeValue(handle.key, name);
        return removed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

}  // namespace

LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                                LPBYTE data, LPDWORD dataSize) {
    return registryCall("RegQueryValueExW",
                        [&] { return queryValue(key, valueName, reserved, type, data, dataSize); });
}

LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                              DWORD dataSize) {
    return registryCall("RegSetValueExW",
                        [&] { return setValue(key, valueName, type, data, dataSize); });
}

LSTATUS WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    return registryCall("RegDeleteValueW", [&] { return deleteValue(key, valueName); });
}
