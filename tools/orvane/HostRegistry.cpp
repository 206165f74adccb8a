#include "tools/orvane/HostRegistry.h"

#include "Common/General/TString.h"
#include "Common/General/TWideText.h"
#include "win32/RegistryKey.h"

namespace OrvaneHost {

using OrvaneLib::TRegistryKey;

namespace {

// WCHAR and TWideChar are the same 16-bit unit, char16_t only by name on Windows.
const WCHAR* wide(const std::u16string& text) {
    return reinterpret_cast<const WCHAR*>(text.c_str());
}

std::u16string fromWide(const WCHAR* text, size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// The key of the path under HKEY_CURRENT_USER; none when it can not be opened.
TRegistryKey openKey(const std::string& path, REGSAM access) {
    TRegistryKey key;
    (void)key.open(HKEY_CURRENT_USER, wide(toUtf16(path)), access);
    return key;
}

}  // namespace

std::u16string toUtf16(const std::string& text) {
    OrvaneLib::TWideText converted(text.c_str(), static_cast<uint32_t>(text.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(converted.get()),
                          static_cast<size_t>(converted.getLength()));
}

std::string toUtf8(const std::u16string& text) {
    OrvaneLib::TString converted(reinterpret_cast<const OrvaneLib::TWideChar*>(text.c_str()));
    return converted.c_str();
}

std::string TRawValue::text() const {
    std::u16string units(reinterpret_cast<const char16_t*>(data.data()), data.size() / 2);
    return toUtf8(units.substr(0, units.find(u'\0')));
}

std::vector<TRawValue> readRawValues(const std::string& keyPath, DWORD* subkeys) {
    std::vector<TRawValue> values;
    const TRegistryKey key = openKey(keyPath, KEY_QUERY_VALUE);
    DWORD count = 0;
    DWORD longestName = 0;
    DWORD largestData = 0;
    if (subkeys != nullptr) {
        *subkeys = 0;
    }
    if (!key ||
        RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, &count,
                         &longestName, &largestData, nullptr, nullptr) != ERROR_SUCCESS) {
        return values;
    }
    std::vector<WCHAR> name(longestName + 1);
    for (DWORD index = 0; index < count; ++index) {
        TRawValue value;
        value.data.resize(largestData);
        DWORD nameLength = longestName + 1;
        DWORD size = largestData;
        if (RegEnumValueW(key.get(), index, name.data(), &nameLength, nullptr, &value.type,
                          value.data.data(), &size) != ERROR_SUCCESS) {
            continue;
        }
        value.name = toUtf8(fromWide(name.data(), nameLength));
        value.data.resize(size);
        values.push_back(std::move(value));
    }
    return values;
}

std::vector<std::string> readSubkeyNames(const std::string& keyPath) {
    std::vector<std::string> names;
    const TRegistryKey key = openKey(keyPath, KEY_READ);
    DWORD count = 0;
    DWORD longest = 0;
    if (!key || RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &count, &longest, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return names;
    }
    std::vector<WCHAR> name(longest + 1);
    for (DWORD index = 0; index < count; ++index) {
        DWORD length = longest + 1;
        if (RegEnumKeyExW(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) == ERROR_SUCCESS) {
            names.push_back(toUtf8(fromWide(name.data(), length)));
        }
    }
    return names;
}

std::string readClientDirectory() {
    for (const TRawValue& value : readRawValues(kClientKey)) {
        if (value.name.empty() && value.type == REG_SZ) {
            return value.text();
        }
    }
    return std::string();
}

LSTATUS writeClientDirectory(const std::string& directory) {
    TRegistryKey key;
    const LSTATUS status = key.create(HKEY_CURRENT_USER, wide(toUtf16(kClientKey)), KEY_SET_VALUE);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::u16string text = toUtf16(directory);
    return RegSetValueExW(key.get(), nullptr, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
}

}  // namespace OrvaneHost
