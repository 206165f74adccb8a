// The key functions of advapi32: opening, creating, closing and deleting keys, and the override
// of HKEY_CURRENT_USER.
#include "pal/inc/WinRegistry.h"

#include "pal/src/RegistryCall.h"

using namespace OrvaneLib::Pal;

namespace {

// Deletes the key that `names` lead to below `parent`, with its values and, when `withSubkeys`,
// its subkeys; a key that still has subkeys otherwise stays. The root of the hive always stays.
LONG removePath(const TKeyHandle& parent, const TKeyPath& names, bool withSubkeys) {
    return hive().write([&](TKeyStore& store) -> LONG {
        int64_t target = 0;
        LONG found = store.openPath(parent.key, names, target);
        if (found != ERROR_SUCCESS) {
            return found;
        }
        if (target == TKeyStore::rootKey || (!withSubkeys && store.hasSubkeys(target))) {
            return ERROR_ACCESS_DENIED;
        }
        store.removeTree(target, false);
        return ERROR_SUCCESS;
    });
}

LONG openKey(HKEY key, LPCWSTR subKey, REGSAM desired, PHKEY result) {
    LONG status = ERROR_SUCCESS;
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    TKeyHandle parent;
    TKeyPath names;
    if ((status = usePath(key, subKey, parent, names)) != ERROR_SUCCESS) {
        return status;
    }
    int64_t found = 0;
    REGSAM granted = 0;
    const bool known = hive().known([&](const TKnownHive& known) {
        if (known.image != nullptr) {
            status = known.image->openPath(parent.key, names, found);
        } else if (known.listings->knownPath(parent.key, names, found)) {
            status = ERROR_SUCCESS;
        } else {
            return false;
        }
        if (status == ERROR_SUCCESS) {
            status = grantAccess(desired, known.readOnly, granted);
        }
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
LONG createKey(HKEY key, LPCWSTR subKey, LPWSTR keyClass, DWORD options, REGSAM desired,
               PHKEY result, LPDWORD disposition) {
    LONG status = ERROR_SUCCESS;
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    if (options & REG_OPTION_CREATE_LINK) {
        return ERROR_NOT_SUPPORTED;
    }
    TKeyHandle parent;
    TKeyPath names;
    if ((status = usePath(key, subKey, parent, names)) != ERROR_SUCCESS) {
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

LONG closeKey(HKEY key) {
    if (THandleTable::isCurrentUser(key)) {
        return ERROR_SUCCESS;
    }
    return handles().close(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// The rights of the handle do not matter, as on Windows.
LONG deleteKey(HKEY key, LPCWSTR subKey) {
    LONG status = ERROR_SUCCESS;
    if (subKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    TKeyHandle parent;
    TKeyPath names;
    if ((status = usePath(key, subKey, parent, names)) != ERROR_SUCCESS) {
        return status;
    }
    return removePath(parent, names, false);
}

// Unlike Windows, the whole deletion is one transaction: it happens entirely or not at all.
LONG deleteTree(HKEY key, LPCWSTR subKey) {
    LONG status = ERROR_SUCCESS;
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
    TKeyPath names;
    if ((status = usePath(key, subKey, parent, names)) != ERROR_SUCCESS) {
        return status;
    }
    return removePath(parent, names, true);
}

// The override keeps the key and the rights of newKey, not the handle, so closing newKey leaves
// it in force, as on Windows.
LONG overrideKey(HKEY key, HKEY newKey) {
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

}  // namespace

LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM desired, PHKEY result) {
    return registryCall("RegOpenKeyExW", [&] { return openKey(key, subKey, desired, result); });
}

LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR keyClass, DWORD options,
                               REGSAM desired, const LPSECURITY_ATTRIBUTES, PHKEY result,
                               LPDWORD disposition) {
    return registryCall("RegCreateKeyExW", [&] {
        return createKey(key, subKey, keyClass, options, desired, result, disposition);
    });
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    return registryCall("RegCloseKey", [&] { return closeKey(key); });
}

LSTATUS WINAPI RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    return registryCall("RegDeleteKeyW", [&] { return deleteKey(key, subKey); });
}

LSTATUS WINAPI RegDeleteTreeW(HKEY key, LPCWSTR subKey) {
    return registryCall("RegDeleteTreeW", [&] { return deleteTree(key, subKey); });
}

LSTATUS WINAPI RegOverridePredefKey(HKEY key, HKEY newKey) {
    return registryCall("RegOverridePredefKey", [&] { return overrideKey(key, newKey); });
}
