#include "lib/RealRecord.h"

#include "Common/General/TWideText.h"
#include "win32/RegistryKey.h"

namespace OrvaneTest {

using OrvaneLib::TRegistryKey;
using OrvaneLib::TWideText;

namespace {

LSTATUS setText(HKEY key, const char* name, const char* text) {
    TWideText units(text);
    return RegSetValueExW(key, TWideText(name).get(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(units.get()), units.byteSize());
}

}  // namespace

LSTATUS TRealRecord::plant() {
    for (size_t end = 0; end != std::string::npos;) {
        end = keyPath_.find('\\', end + 1);
        const std::string path = keyPath_.substr(0, end);
        TRegistryKey key;
        DWORD disposition = 0;
        LSTATUS status =
            key.create(HKEY_CURRENT_USER, TWideText(path.c_str()).get(), KEY_WRITE, &disposition);
        if (status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY) {
            made_.push_back(path);
        }
        if (status == ERROR_SUCCESS && end == std::string::npos &&
            disposition == REG_CREATED_NEW_KEY) {
            const DWORD number = 0x12345678;
            status = setText(key.get(), "Path", "C:\\Games\\Canary\\canary.exe");
            status = status != ERROR_SUCCESS ? status : setText(key.get(), "", "Canary");
            status = status != ERROR_SUCCESS
                         ? status
                         : RegSetValueExW(key.get(), TWideText("UPID").get(), 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&number), sizeof number);
        }
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    return ERROR_SUCCESS;
}

TRealRecord::TSnapshot TRealRecord::snapshot() const {
    TSnapshot found;
    TRegistryKey key;
    if (key.open(HKEY_CURRENT_USER, TWideText(keyPath_.c_str()).get(), KEY_READ) != ERROR_SUCCESS) {
        return found;
    }
    WCHAR name[256];
    BYTE data[1024];
    DWORD type = 0;
    for (DWORD index = 0, length = 256, size = sizeof data;
         RegEnumValueW(key.get(), index, name, &length, nullptr, &type, data, &size) ==
         ERROR_SUCCESS;
         ++index, length = 256, size = sizeof data) {
        found.push_back("value " + std::string(reinterpret_cast<char*>(name), length * 2) + " " +
                        std::to_string(type) + " " +
                        std::string(reinterpret_cast<char*>(data), size));
    }
    for (DWORD index = 0, length = 256; RegEnumKeyExW(key.get(), index, name, &length, nullptr,
                                                      nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++index, length = 256) {
        found.push_back("key " + std::string(reinterpret_cast<char*>(name), length * 2));
    }
    return found;
}

void TRealRecord::remove() {
    for (auto path = made_.rbegin(); path != made_.rend(); ++path) {
        RegDeleteKeyW(HKEY_CURRENT_USER, TWideText(path->c_str()).get());
    }
    made_.clear();
}

}  // namespace OrvaneTest
