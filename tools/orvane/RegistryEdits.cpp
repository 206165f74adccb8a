#include "tools/orvane/RegistryEdits.h"

namespace OrvaneHost {

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

// A key opened for writing, closed when it goes.
class TWritableKey {
public:
    TWritableKey(const std::string& keyPath, bool create) {
        const std::u16string path = widePath(keyPath);
        status_ = create
                      ? RegCreateKeyExW(HKEY_CURRENT_USER, wide(path), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key_, nullptr)
                      : RegOpenKeyExW(HKEY_CURRENT_USER, wide(path), 0, KEY_WRITE, &key_);
        if (status_ != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~TWritableKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    TWritableKey(const TWritableKey&) = delete;
    TWritableKey& operator=(const TWritableKey&) = delete;

    LSTATUS status() const { return status_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
    LSTATUS status_ = ERROR_SUCCESS;
};

bool isMissing(LSTATUS status) {
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool keyExists(const std::string& keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wide(widePath(keyPath)), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

LSTATUS createKey(const std::string& keyPath) {
    return TWritableKey(keyPath, true).status();
}

LSTATUS writeRawValue(const std::string& keyPath, const TRawValue& value) {
    TWritableKey key(keyPath, true);
    if (key.status() != ERROR_SUCCESS) {
        return key.status();
    }
    const std::u16string name = toUtf16(value.name);
    return RegSetValueExW(key.get(), value.name.empty() ? nullptr : wide(name), 0, value.type,
                          value.data.data(), static_cast<DWORD>(value.data.size()));
}

LSTATUS deleteValue(const std::string& keyPath, const std::string& name) {
    TWritableKey key(keyPath, false);
    if (key.status() != ERROR_SUCCESS) {
        return isMissing(key.status()) ? ERROR_SUCCESS : key.status();
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
