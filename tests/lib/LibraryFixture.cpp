#include "lib/LibraryFixture.h"

namespace OrvaneTest {
using OrvaneLib::TWideText;

std::string readRaw(const std::string& keyPath, const std::string& valueName) {
    HKEY key = nullptr;  // stays null when the key is missing: the query then fails
    DWORD type = 0;
    DWORD data[256] = {};
    DWORD size = sizeof data - 2;  // room for a terminator the data may lack
    RegOpenKeyExW(HKEY_CURRENT_USER, TWideText(keyPath.c_str()).get(), 0, KEY_QUERY_VALUE, &key);
    if (RegQueryValueExW(key, TWideText(valueName.c_str()).get(), nullptr, &type,
                         reinterpret_cast<BYTE*>(data), &size) != 0) {
        type = 0;
    }
    RegCloseKey(key);
    if (type == REG_SZ) {
        return std::string("sz:") +
               OrvaneLib::TString(reinterpret_cast<const OrvaneLib::TWideChar*>(data)).c_str();
    } else if (type == REG_DWORD && size == sizeof(DWORD)) {
        return "dword:" + std::to_string(data[0]);
    }
    return type == 0 ? "" : "type " + std::to_string(type);
}

void writeRaw(const std::string& keyPath, const std::string& valueName, const std::string& text,
              DWORD type) {
    TWideText units(text.c_str());
    const DWORD number = type == REG_DWORD ? std::stoul(text) : 0;
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, TWideText(keyPath.c_str()).get(), 0, nullptr, 0, KEY_WRITE,
                    nullptr, &key, nullptr);
    RegSetValueExW(key, TWideText(valueName.c_str()).get(), 0, type,
                   type == REG_DWORD ? reinterpret_cast<const BYTE*>(&number)
                                     : reinterpret_cast<const BYTE*>(units.get()),
                   type == REG_DWORD ? sizeof number : units.byteSize());
    RegCloseKey(key);
}

void LibraryTest::SetUp() {
    deleteKeyTree("Software\\Orvane");
    // Only the library's own uninstall entries, never other programs'.
    for (const char* id : {"42", "7", "A", "B", "C", "keep"}) {
        deleteKeyTree(entryKey(id));
    }
    clearLoggedLines();
}

}  // namespace OrvaneTest
