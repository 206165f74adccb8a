#include "tools/orvane/RegistryEdits.h"

#include "win32/RegistryKey.h"

namespace OrvaneHost {

using OrvaneLib::TRegistryKey;

namespace {

std::u16string widePath(const std::string& keyPath) {
    std::string path = keyPath;
    while (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    return toUtf16(path);
}

const WCHAR* wide(const std::u16string& text) {
    return reinterpret_cast<const WCHAR*>(text.c_str());
}

// The key opened for writing, created first when asked; it stays closed on failure.
LSTATUS openWritable(const std::string& keyPath, bool create, TRegistryKey& key) {
    const std::u16string path = widePath(keyPath);
    return create ? key.create(HKEY_CURRENT_USER, wide(path), KEY_WRITE)
                  : key.open(HKEY_CURRENT_USER, wide(path), KEY_WRITE);
}

bool isMissing(LSTATUS status) {
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool keyExists(const std::string& keyPath) {
    TRegistryKey key;
    return key.open(HKEY_CURRENT_USER, wide(widePath(keyPath)), KEY_READ) == ERROR_SUCCESS;
}

LSTATUS createKey(const std::string& keyPath) {
    TRegistryKey key;
    return openWritable(keyPath, true, key);
}

LSTATUS writeRawValue(const std::string& keyPath, const TRawValue& value) {
    TRegistryKey key;
    const LSTATUS opened = openWritable(keyPath, true, key);
    if (opened != ERROR_SUCCESS) {
        return opened;
    }
    const std::u16string name = toUtf16(value.name);
    return RegSetValueExW(key.get(), value.name.empty() ? nullptr : wide(name), 0, value.type,
                          value.data.data(), static_cast<DWORD>(value.data.size()));
}

LSTATUS deleteValue(const std::string& keyPath, const std::string& name) {
    TRegistryKey key;
    const LSTATUS opened = openWritable(keyPath, false, key);
    if (opened != ERROR_SUCCESS) {
        return isMissing(opened) ? ERROR_SUCCESS : opened;
    }
    const std::u16string wideName = toUtf16(name);
    LSTATUS status = RegDeleteValueW(key.get(), name.empty() ? nullptr : wide(wideName));
    return isMissing(status) ? ERROR_SUCCESS : status;
}

LSTATUS deleteKeyTree(const std::string& keyPath) {
    const std::u16string path = widePath(keyPath);
    // HKEY_CURRENT_USER itself is never a record's key.
    if (path.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, wide(path));
    return isMissing(status) ? ERROR_SUCCESS : status;
}

TRawValue textValue(const std::string& name, const std::string& text) {
    const std::u16string units = toUtf16(text);
    TRawValue value{name, REG_SZ, {}};
    for (char16_t unit : units) {
        value.data.push_back(static_cast<BYTE>(unit & 0xFF));
        value.data.push_back(static_cast<BYTE>(unit >> 8));
    }
    value.data.insert(value.data.end(), 2, 0);
    return value;
}

TRawValue numberValue(const std::string& name, uint32_t number) {
    return {name,
            REG_DWORD,
            {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
             static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)}};
}

}  // namespace OrvaneHost
