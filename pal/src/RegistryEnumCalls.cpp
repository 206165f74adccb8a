// The enumeration functions of advapi32: subkeys and values by index, and what a key holds.
#include "pal/inc/WinRegistry.h"

#include "pal/src/RegistryCall.h"

#include <cstring>

using namespace OrvaneLib::Pal;

namespace {

// As on Windows, a name that does not fit leaves the buffer and the length untouched.
LONG enumerateKey(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                  LPWSTR keyClass, LPDWORD classLength, PFILETIME lastWriteTime) {
    LONG status = ERROR_SUCCESS;
    if (reserved != nullptr || name == nullptr || nameLength == nullptr ||
        (keyClass != nullptr && classLength == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    TKeyHandle handle;
    if ((status = useHandle(key, KEY_ENUMERATE_SUB_KEYS, handle)) != ERROR_SUCCESS) {
        return status;
    }
    TSubkeyEntry entry;
    status = readKey(
        handle, [&](const THiveImage& image) { return image.subkeyAt(handle.key, index, entry); },
        [&](TKeyStore& store) -> LONG {
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

// As on Windows: a name that does not fit leaves name, length and data untouched; data that
// does not fit still gives the name. Either way the type and the data size are reported.
LONG enumerateValue(HKEY key, DWORD index, LPWSTR valueName, LPDWORD valueNameLength,
                    LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    LONG status = ERROR_SUCCESS;
    if (reserved != nullptr || valueName == nullptr || valueNameLength == nullptr ||
        (data != nullptr && dataSize == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    TKeyHandle handle;
    if ((status = useHandle(key, KEY_QUERY_VALUE, handle)) != ERROR_SUCCESS) {
        return status;
    }
    TValueEntry value;
    status = readKey(
        handle, [&](const THiveImage& image) { return image.valueAt(handle.key, index, value); },
        [&](TKeyStore& store) -> LONG {
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

LONG queryInfo(HKEY key, LPWSTR keyClass, LPDWORD classLength, LPDWORD reserved, LPDWORD subKeys,
               LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values,
               LPDWORD maxValueNameLength, LPDWORD maxValueLength, LPDWORD securityDescriptorSize,
               PFILETIME lastWriteTime) {
    LONG status = ERROR_SUCCESS;
    if (reserved != nullptr || (keyClass != nullptr && classLength == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    TKeyHandle handle;
    if ((status = useHandle(key, KEY_QUERY_VALUE, handle)) != ERROR_SUCCESS) {
        return status;
    }
    TKeyInfo info;
    status = readKey(
        handle, [&](const THiveImage& image) { return image.info(handle.key, info); },
        [&](TKeyStore& store) -> LONG {
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

}  // namespace

LSTATUS WINAPI RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength,
                             LPDWORD reserved, LPWSTR keyClass, LPDWORD classLength,
                             PFILETIME lastWriteTime) {
    return registryCall("RegEnumKeyExW", [&] {
        return enumerateKey(key, index, name, nameLength, reserved, keyClass, classLength,
                            lastWriteTime);
    });
}

LSTATUS WINAPI RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName, LPDWORD valueNameLength,
                             LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    return registryCall("RegEnumValueW", [&] {
        return enumerateValue(key, index, valueName, valueNameLength, reserved, type, data,
                              dataSize);
    });
}

LSTATUS WINAPI RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classLength, LPDWORD reserved,
                                LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD maxClassLength,
                                LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                                LPDWORD securityDescriptorSize, PFILETIME lastWriteTime) {
    return registryCall("RegQueryInfoKeyW", [&] {
        return queryInfo(key, keyClass, classLength, reserved, subKeys, maxSubKeyLength,
                         maxClassLength, values, maxValueNameLength, maxValueLength,
                         securityDescriptorSize, lastWriteTime);
    });
}
