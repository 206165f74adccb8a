// The registry functions of advapi32 over the hive. Each checks its arguments and the rights of
// its handle, then does its work in one transaction of the hive.
#include "pal/inc/WinRegistry.h"

#include "pal/src/Faults.h"
#include "pal/src/Hive.h"
#include "pal/src/KeyHandles.h"
#include "pal/src/KeyName.h"
#include "pal/src/KeyStore.h"

#include <cstring>
#include <functional>

using namespace OrvaneLib::Pal;

namespace {

THandleTable& handles() {
    return THandleTable::instance();
}
THive& hive() {
    return THive::instance();
}

// Copies the text and its terminator; the caller checked that both fit.
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

// Finds the handle and checks that it has the rights `needed`.
LONG useHandle(HKEY key, REGSAM needed, TKeyHandle& handle) {
    if (!handles().find(key, handle)) {
        return ERROR_INVALID_HANDLE;
    }
    return allows(handle, needed) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// Runs `work` in a transaction unless the handle's key has been deleted.
LONG onKey(const TKeyHandle& handle, bool write, const std::function<LONG(TKeyStore&)>& work) {
    auto guarded = [&](TKeyStore& store) -> LONG {
        return store.exists(handle.key) ? work(store) : ERROR_KEY_DELETED;
    };
    return write ? hive().write(guarded) : hive().read(guarded);
}

// Too long to have been stored: no value of that name exists.
bool storableValueName(const std::u16string& name) {
    return name.size() <= maxValueNameLength;
}

}  // namespace

LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM desired, PHKEY result) {
    LONG status;
    if (palFault("RegOpenKeyExW", status)) {
        return status;
    }
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    TKeyHandle parent;
    if (!handles().find(key, parent)) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::u16string> names;
    if ((status = splitKeyPath(subKey, names)) != ERROR_SUCCESS) {
        return status;
    }
    int64_t found = 0;
    REGSAM granted = 0;
    const bool known = hive().known([&](const TKeyListings& listings, bool readOnly) {
        if (!listings.knownPath(parent.key, names, found)) {
            return false;
        }
        status = grantAccess(desired, readOnly, granted);
        return true;
    });
    if (!known) {
        status = hive().read([&](TKeyStore& store) -> LONG {
            LONG opened = store.openPath(parent.key, names, found);
            return opened != ERROR_SUCCESS ? opened
                                           : grantAccess(desired, store.readOnly(), granted);
        });
    }
    if (status == ERROR_SUCCESS) {
        *result = handles().open(found, granted);
    }
    return status;
}

// The rights of the parent handle do not matter: Windows checks creation against the key's
// security, which here grants everything.
LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR keyClass, DWORD options,
                               REGSAM desired, const LPSECURITY_ATTRIBUTES, PHKEY result,
                               LPDWORD disposition) {
    LONG status;
    if (palFault("RegCreateKeyExW", status)) {
        return status;
    }
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    if (options & REG_OPTION_CREATE_LINK) {
        return ERROR_NOT_SUPPORTED;
    }
    TKeyHandle parent;
    if (!handles().find(key, parent)) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::u16string> names;
    if ((status = splitKeyPath(subKey, names)) != ERROR_SUCCESS) {
        return status;
    }
    std::u16string className = textOf(keyClass);
    bool isVolatile = (options & REG_OPTION_VOLATILE) != 0;
    int64_t found = 0;
    REGSAM granted = 0;
    DWORD made = 0;
    status = hive().write([&](TKeyStore& store) -> LONG {
        LONG access = grantAccess(desired, store.readOnly(), granted);
        return access != ERROR_SUCCESS
                   ? access
                   : store.createPath(parent.key, names, className, isVolatile, found, made);
    });
    if (status == ERROR_SUCCESS) {
        *result = handles().open(found, granted);
        setIf(disposition, made);
    }
    return status;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    LONG status;
    if (palFault("RegCloseKey", status)) {
        return status;
    }
    if (THandleTable::isCurrentUser(key)) {
        return ERROR_SUCCESS;
    }
    return handles().close(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// The rights of the handle do not matter, as on Windows.
LSTATUS WINAPI RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    LONG status;
    if (palFault("RegDeleteKeyW", status)) {
        return status;
    }
    if (subKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    TKeyHandle parent;
    if (!handles().find(key, parent)) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::u16string> names;
    if ((status = splitKeyPath(subKey, names)) != ERROR_SUCCESS) {
        return status;
    }
    return hive().write([&](TKeyStore& store) -> LONG {
        int64_t target = 0;
        LONG found = store.openPath(parent.key, names, target);
        if (found != ERROR_SUCCESS) {
            return found;
        }
        if (target == TKeyStore::rootKey || store.hasSubkeys(target)) {
            return ERROR_ACCESS_DENIED;
        }
        store.removeTree(target, false);
        return ERROR_SUCCESS;
    });
}

// Unlike Windows, the whole deletion is one transaction: it happens entirely or not at all.
LSTATUS WINAPI RegDeleteTreeW(HKEY key, LPCWSTR subKey) {
    LONG status;
    if (palFault("RegDeleteTreeW", status)) {
        return status;
    }
    TKeyHandle parent;
    if (subKey == nullptr) {
        if ((status = useHandle(key, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, parent)) !=
            ERROR_SUCCESS) {
            return status;
        }
        return onKey(parent, true, [&](TKeyStore& store) -> LONG {
            if (!allows(parent, KEY_SET_VALUE) && store.hasValues(parent.key)) {
                return ERROR_ACCESS_DENIED;
            }
            store.removeTree(parent.key, true);
            return ERROR_SUCCESS;
        });
    }
    if (!handles().find(key, parent)) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::u16string> names;
    if ((status = splitKeyPath(subKey, names)) != ERROR_SUCCESS) {
        return status;
    }
    return hive().write([&](TKeyStore& store) -> LONG {
        int64_t target = 0;
        LONG found = store.openPath(parent.key, names, target);
        if (found != ERROR_SUCCESS) {
            return found;
        }
        if (target == TKeyStore::rootKey) {
            return ERROR_ACCESS_DENIED;
        }
        store.removeTree(target, false);
        return ERROR_SUCCESS;
    });
}

// As on Windows, a name that does not fit leaves the buffer and the length untouched.
LSTATUS WINAPI RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength,
                             LPDWORD reserved, LPWSTR keyClass, LPDWORD classLength,
                             PFILETIME lastWriteTime) {
    LONG status;
    if (palFault("RegEnumKeyExW", status)) {
        return status;
    }
    if (reserved != nullptr || name == nullptr || nameLength == nullptr ||
        (keyClass != nullptr && classLength == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    TKeyHandle handle;
    if ((status = useHandle(key, KEY_ENUMERATE_SUB_KEYS, handle)) != ERROR_SUCCESS) {
        return status;
    }
    TSubkeyEntry entry;
    status = onKey(handle, false, [&](TKeyStore& store) -> LONG {
        return store.subkeyAt(handle.key, index, entry) ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS;
    });
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (entry.name.size() >= *nameLength ||
        (keyClass != nullptr && entry.keyClass.size() >= *classLength)) {
        return ERROR_MORE_DATA;
    }
    copyText(entry.name, name);
    *nameLength = static_cast<DWORD>(entry.name.size());
    if (keyClass != nullptr) {
        copyText(entry.keyClass, keyClass);
    }
    setIf(classLength, static_cast<DWORD>(entry.keyClass.size()));
    setFileTime(entry.lastWrite, lastWriteTime);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classLength, LPDWORD reserved,
                                LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD maxClassLength,
                                LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                                LPDWORD securityDescriptorSize, PFILETIME lastWriteTime) {
    LONG status;
    if (palFault("RegQueryInfoKeyW", status)) {
        return status;
    }
    if (reserved != nullptr || (keyClass != nullptr && classLength == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    TKeyHandle handle;
    if ((status = useHandle(key, KEY_QUERY_VALUE, handle)) != ERROR_SUCCESS) {
        return status;
    }
    TKeyInfo info;
    status = onKey(handle, false, [&](TKeyStore& store) -> LONG {
        info = store.info(handle.key);
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) {
        return status;
    }
    setIf(subKeys, info.subkeys);
    setIf(maxSubKeyLength, info.maxSubkeyName);
    setIf(maxClassLength, info.maxSubkeyClass);
    setIf(values, info.values);
    setIf(maxValueNameLength, info.maxValueName);
    setIf(maxValueLength, info.maxValueData);
    // Keys here carry no security descriptor.
    setIf(securityDescriptorSize, 0);
    setFileTime(info.lastWrite, lastWriteTime);
    if (keyClass != nullptr) {
        if (info.keyClass.size() >= *classLength) {
            *classLength = static_cast<DWORD>(info.keyClass.size());
            return ERROR_MORE_DATA;
        }
        copyText(info.keyClass, keyClass);
    }
    setIf(classLength, static_cast<DWORD>(info.keyClass.size()));
    return ERROR_SUCCESS;
}

// As on Windows, data that does not fit leaves the buffer untouched and reports its size.
LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                                LPBYTE data, LPDWORD dataSize) {
    LONG status;
    if (palFault("RegQueryValueExW", status)) {
        return status;
    }
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    TKeyHandle handle;
    if ((status = useHandle(key, KEY_QUERY_VALUE, handle)) != ERROR_SUCCESS) {
        return status;
    }
    std::u16string name = textOf(valueName);
    TValueEntry value;
    bool found = false;
    const bool known =
        storableValueName(name) && hive().known([&](const TKeyListings& listings, bool) {
            const TValueEntry* entry = nullptr;
            if (!listings.knownValue(handle.key, foldedName(name), entry)) {
                return false;
            }
            found = entry != nullptr;
            if (found) {
                value = *entry;
            }
            return true;
        });
    if (!known) {
        status = onKey(handle, false, [&](TKeyStore& store) -> LONG {
            found = storableValueName(name) && store.findValue(handle.key, name, value);
            return ERROR_SUCCESS;
        });
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    if (!found) {
        if (data == nullptr) {
            setIf(dataSize, 0);
        }
        return ERROR_FILE_NOT_FOUND;
    }
    DWORD size = static_cast<DWORD>(value.data.size());
    setIf(type, value.type);
    if (data != nullptr) {
        if (*dataSize < size) {
            *dataSize = size;
            return ERROR_MORE_DATA;
        }
        memcpy(data, value.data.data(), size);
    }
    setIf(dataSize, size);
    return ERROR_SUCCESS;
}

// Data is stored as given: a REG_SZ without its terminator stays without one.
LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                              DWORD dataSize) {
    LONG status;
    if (palFault("RegSetValueExW", status)) {
        return status;
    }
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

// As on Windows: a name that does not fit leaves name, length and data untouched; data that
// does not fit still gives the name. Either way the type and the data size are reported.
LSTATUS WINAPI RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName, LPDWORD valueNameLength,
                             LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    LONG status;
    if (palFault("RegEnumValueW", status)) {
        return status;
    }
    if (reserved != nullptr || valueName == nullptr || valueNameLength == nullptr ||
        (data != nullptr && dataSize == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    TKeyHandle handle;
    if ((status = useHandle(key, KEY_QUERY_VALUE, handle)) != ERROR_SUCCESS) {
        return status;
    }
    TValueEntry value;
    status = onKey(handle, false, [&](TKeyStore& store) -> LONG {
        return store.valueAt(handle.key, index, value) ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS;
    });
    if (status != ERROR_SUCCESS) {
        return status;
    }
    DWORD size = static_cast<DWORD>(value.data.size());
    bool dataFits = data == nullptr || size <= *dataSize;
    setIf(type, value.type);
    setIf(dataSize, size);
    if (value.name.size() >= *valueNameLength) {
        return ERROR_MORE_DATA;
    }
    copyText(value.name, valueName);
    *valueNameLength = static_cast<DWORD>(value.name.size());
    if (!dataFits) {
        return ERROR_MORE_DATA;
    }
    if (data != nullptr) {
        memcpy(data, value.data.data(), size);
    }
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    LONG status;
    if (palFault("RegDeleteValueW", status)) {
        return status;
    }
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

// The override keeps the key and the rights of newKey, not the handle, so closing newKey leaves
// it in force, as on Windows.
LSTATUS WINAPI RegOverridePredefKey(HKEY key, HKEY newKey) {
    LONG status;
    if (palFault("RegOverridePredefKey", status)) {
        return status;
    }
    if (!THandleTable::isCurrentUser(key)) {
        return ERROR_INVALID_HANDLE;
    }
    if (newKey == nullptr) {
        handles().overrideCurrentUser(nullptr);
        return ERROR_SUCCESS;
    }
    TKeyHandle target;
    if (!handles().find(newKey, target)) {
        return ERROR_INVALID_HANDLE;
    }
    handles().overrideCurrentUser(&target);
    return ERROR_SUCCESS;
}
