#include "platform/Registry.h"

#include "Common/General/Heap.h"
#include "Common/General/ScrambledText.h"
#include "Common/General/TException.h"
#include "Common/General/TLogSystem.h"
#include "Common/General/TStream.h"
#include "win32/RegistryKey.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace OrvaneLib {

namespace {

constexpr auto kSourceFile = scramble("platform\\Registry.cpp");

// The library's own reports are programming errors that it logs and lives with.
constexpr int32_t kCategory = 3;
constexpr int32_t kSeverity = 1;

constexpr DWORD kFirstNameChars = 128;
// Key names have at most 255 characters; a registry that asks for more than this never stops
// asking, so enumeration gives up rather than grow without end.
constexpr DWORD kMaxNameChars = 32768;
// A path of MAX_PATH characters, the longest text a record commonly holds, is read in one call.
constexpr DWORD kShortTextChars = 260;

struct TFree {
    void operator()(void* block) const { heapFree(block); }
};
template <typename T>
using THeapBlock = std::unique_ptr<T[], TFree>;

// count zero-filled units from the shared heap (a TCharStream may adopt the block); the product is
// checked for overflow, which matters on the 32-bit build.
template <typename T>
THeapBlock<T> zeroed(size_t count) {
    count = std::max<size_t>(count, 1);
    if (count > SIZE_MAX / sizeof(T)) {
        throw std::bad_alloc();
    }
    void* block = heapAllocate(count * sizeof(T));
    memset(block, 0, count * sizeof(T));
    return THeapBlock<T>(static_cast<T*>(block));
}

struct TLocalFree {
    void operator()(WCHAR* text) const { LocalFree(text); }
};

LSTATUS enumerate(HKEY key, DWORD index, const THeapBlock<WCHAR>& name, DWORD capacity) {
    return RegEnumKeyExW(key, index, name.get(), &capacity, nullptr, nullptr, nullptr, nullptr);
}

void queryInfo(HKEY key, DWORD& subkeys, DWORD& longestName) {
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestName, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        subkeys = 0;
        longestName = 0;
    }
}

// At most size bytes into a zeroed T (shorter data fills the low-order bytes), as the decimal
// text of TPrinted.
template <typename T, typename TPrinted>
TString readNumber(HKEY key, LPCWSTR name, DWORD size) {
    T value = 0;
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS) {
        return TString();
    }
    return TString(static_cast<TPrinted>(value));
}

// The buffers are zeroed beyond the data, so that text stored without its terminator (or with an
// odd byte count) still ends.
TString readLongText(HKEY key, LPCWSTR name, DWORD size) {
    THeapBlock<TWideChar> text = zeroed<TWideChar>(size / sizeof(TWideChar) + 2);
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text.get()), &size) !=
        ERROR_SUCCESS) {
        return TString();
    }
    return TString(text.get());
}

// A longer text is read again, with the size the first call reported.
TString readText(HKEY key, LPCWSTR name) {
    TWideChar text[kShortTextChars + 2] = {};
    DWORD size = kShortTextChars * sizeof(TWideChar);
    const LSTATUS status =
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    if (status == ERROR_MORE_DATA) {
        return readLongText(key, name, size);
    }
    return status == ERROR_SUCCESS ? TString(text) : TString();
}

TString hexText(TCharStream& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    TString text;
    for (int64_t done = 0; done < bytes.size(); ++done) {
        unsigned char byte = 0;
        int64_t count = 1;
        if (!bytes.read(&byte, count) || count != 1) {
            break;
        }
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

TString readBytes(HKEY key, LPCWSTR name, DWORD size) {
    THeapBlock<char> block = zeroed<char>(size);
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(block.get()),
                         &size) != ERROR_SUCCESS) {
        return TString();
    }
    // size is now what was read, which is less than asked when the value shrank meanwhile.
    TCharStream bytes(block.release(), size);
    return hexText(bytes);
}

TString tooBig(const TString& message, int32_t line) {
    return logInfo(kSourceFile.text().c_str(), line, message.c_str());
}

// atol's reading of the text, clamped to the signed 32-bit range, without copying the text.
int32_t parseInt32(const char* text) {
    long long value = strtoll(text, nullptr, 10);
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

// Any character that is not a hexadecimal digit counts as 0.
int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    char upper = static_cast<char>(c & ~0x20);  // a-f to A-F, and nothing else into that range
    return upper >= 'A' && upper <= 'F' ? upper - 'A' + 10 : 0;
}

// Each pair of characters is one byte; an odd last character pairs with the terminator.
bool decodeHex(const char* text, TCharStream& bytes) {
    for (const char* pair = text; *pair != '\0'; pair += 2) {
        if (!bytes.writeChar(static_cast<char>(hexDigit(pair[0]) << 4 | hexDigit(pair[1])))) {
            return false;
        }
        if (pair[1] == '\0') {
            break;
        }
    }
    return true;
}

LSTATUS setValue(HKEY key, LPCWSTR name, DWORD type, const void* data, DWORD size) {
    return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
}

LSTATUS writeValue(HKEY key, LPCWSTR name, const char* text, uint32_t type) {
    switch (type) {
        case REG_SZ: {
            TWideText wide(text);
            return setValue(key, name, type, wide.get(), wide.byteSize());
        }
        case REG_DWORD: {
            int32_t number = parseInt32(text);
            return setValue(key, name, type, &number, sizeof number);
        }
        case REG_EXPAND_SZ:
        case REG_BINARY:
        case REG_MULTI_SZ:
        case REG_QWORD: {
            TCharStream bytes;
            // Half the bytes would be a corrupt value: write nothing instead.
            if (!decodeHex(text, bytes)) {
                return ERROR_NOT_ENOUGH_MEMORY;
            }
            return setValue(key, name, type, bytes.data(), static_cast<DWORD>(bytes.size()));
        }
        default:
            return ERROR_SUCCESS;
    }
}

bool reportWriteFailure(const char* keyPath, const char* valueName, LSTATUS status, int32_t line) {
    TString message =
        ORVANE_TEXT("Failed setting registry key: ") + TString(keyPath) + TString(valueName) +
        ORVANE_TEXT(" error code: ") + TString(static_cast<unsigned long>(status)) +
        ORVANE_TEXT(" error message: ") + getWindowsErrorText(static_cast<uint32_t>(status));
    reportError(message.c_str(), ORVANE_TEXT("W").c_str(), kCategory, kSeverity,
                kSourceFile.text().c_str(), line);
    return false;
}

// HKEY_CURRENT_USER itself: deleting its tree would wipe every setting of the user.
bool namesNoKey(const char* keyPath) {
    for (const char* c = keyPath; c != nullptr && *c != '\0'; ++c) {
        if (*c != '\\') {
            return false;
        }
    }
    return true;
}

LSTATUS deleteKey(const char* keyPath) {
    if (namesNoKey(keyPath)) {
        return ERROR_INVALID_PARAMETER;
    }
    TWideText path(keyPath);
    DWORD subkeys = 0;
    {
        TRegistryKey key;
        DWORD longestName = 0;
        if (key.open(HKEY_CURRENT_USER, path.get(), KEY_READ) == ERROR_SUCCESS) {
            queryInfo(key.get(), subkeys, longestName);
        }
    }
    RegCloseKey(HKEY_CURRENT_USER);
    return subkeys > 0 ? RegDeleteTreeW(HKEY_CURRENT_USER, path.get())
                       : RegDeleteKeyW(HKEY_CURRENT_USER, path.get());
}

}  // namespace

TString readRegistryValue(const TString& keyPath, const TString& valueName, uint32_t type) {
    TWideText path(keyPath.c_str());
    TWideText name(valueName.c_str());
    TRegistryKey key;
    if (key.open(HKEY_CURRENT_USER, path.get(), KEY_QUERY_VALUE) != ERROR_SUCCESS) {
        return TString();
    }
    // The type asked for decides; the stored type is never looked at, only the size.
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        return readText(key.get(), name.get());
    }
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name.get(), nullptr, nullptr, nullptr, &size) !=
        ERROR_SUCCESS) {
        return TString();
    }
    switch (type) {
        case REG_BINARY:
        case REG_DWORD:
            return size <= sizeof(uint32_t)
                       ? readNumber<uint32_t, unsigned long>(key.get(), name.get(), size)
                       : tooBig(ORVANE_TEXT("Trying to read DWORD while it is something bigger!"),
                                __LINE__);
        case REG_QWORD:
            return size <= sizeof(int64_t)
                       ? readNumber<int64_t, long long>(key.get(), name.get(), size)
                       : tooBig(ORVANE_TEXT("Trying to read QWORD while it is something bigger!"),
                                __LINE__);
        case REG_MULTI_SZ:
            return readBytes(key.get(), name.get(), size);
        default:
            return TString();
    }
}

bool writeRegistryValue(const char* keyPath, const char* valueName, const char* text,
                        uint32_t type) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    TWideText path(keyPath);
    TWideText name(valueName);
    LSTATUS status;
    {
        TRegistryKey key;
        status = key.create(HKEY_CURRENT_USER, path.get(), KEY_WRITE);
        if (status != ERROR_SUCCESS) {
            return reportWriteFailure(keyPath, valueName, status, __LINE__);
        }
        status = writeValue(key.get(), name.get(), text, type);
    }
    // Drops the process's cached handle of the predefined key; Windows opens it again when needed.
    RegCloseKey(HKEY_CURRENT_USER);
    return status == ERROR_SUCCESS || reportWriteFailure(keyPath, valueName, status, __LINE__);
}

TArray<TString> getRegistrySubkeys(const TString& keyPath) {
    TArray<TString> names;
    TWideText path(keyPath.c_str());
    TRegistryKey key;
    if (key.open(HKEY_CURRENT_USER, path.get(), KEY_ENUMERATE_SUB_KEYS) != ERROR_SUCCESS) {
        TString line = ORVANE_TEXT("Cannot open the key '") + keyPath + ORVANE_TEXT("'!!");
        logInfo(kSourceFile.text().c_str(), __LINE__, line.c_str());
        return names;
    }
    DWORD capacity = kFirstNameChars;
    THeapBlock<WCHAR> name = zeroed<WCHAR>(capacity);
    for (DWORD index = 0;;) {
        LSTATUS status = enumerate(key.get(), index, name, capacity);
        if (status == ERROR_SUCCESS) {
            names.add(TString(name.get()));
            ++index;
        } else if (status == ERROR_MORE_DATA && capacity < kMaxNameChars) {
            capacity *= 2;
            name = zeroed<WCHAR>(capacity);
        } else {
            if (status != ERROR_NO_MORE_ITEMS) {
                TString line = ORVANE_TEXT("Cannot go on listing subkeys, error code: ") +
                               TString(static_cast<long>(status));
                logInfo(kSourceFile.text().c_str(), __LINE__, line.c_str());
            }
            return names;
        }
    }
}

bool forEachRegistrySubkey(const char* keyPath, std::function<void(HKEY, const TString&)> callback,
                           REGSAM access) {
    if (!callback) {
        return false;
    }
    TWideText path(keyPath);
    TRegistryKey key;
    if (key.open(HKEY_CURRENT_USER, path.get(), access) != ERROR_SUCCESS) {
        return false;
    }
    DWORD subkeys = 0;
    DWORD longestName = 0;
    queryInfo(key.get(), subkeys, longestName);
    DWORD capacity = std::min(longestName, kMaxNameChars) + 1;
    THeapBlock<WCHAR> name = zeroed<WCHAR>(capacity);
    // From the last index down, so that the callback may delete the subkey it is given.
    for (DWORD index = subkeys; index-- > 0;) {
        if (enumerate(key.get(), index, name, capacity) == ERROR_SUCCESS) {
            callback(key.get(), TString(name.get()));
        }
    }
    return true;
}

bool deleteRegistryKey(const char* keyPath) {
    LSTATUS status = deleteKey(keyPath);
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    TString message = ORVANE_TEXT("Failed to delete registry key: ") + TString(keyPath) +
                      ORVANE_TEXT(" code: ") + TString(static_cast<long>(status)) +
                      ORVANE_TEXT(" system message: ") +
                      getWindowsErrorText(static_cast<uint32_t>(status));
    reportError(message.c_str(), ORVANE_TEXT("D").c_str(), kCategory, kSeverity,
                kSourceFile.text().c_str(), __LINE__);
    return false;
}

TString getWindowsErrorText(uint32_t code) {
    WCHAR* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer),
        0, nullptr);
    std::unique_ptr<WCHAR, TLocalFree> text(buffer);
    if (length == 0 || text == nullptr) {
        return ORVANE_TEXT("Unknown error.");
    }
    // The system's texts end with a line break; it and anything after it are dropped.
    std::replace(text.get(), text.get() + length, static_cast<WCHAR>('\r'), static_cast<WCHAR>(0));
    return TString(reinterpret_cast<const TWideChar*>(text.get()));
}

}  // namespace OrvaneLib
