#include "lib/LibraryFixture.h"

#include "Common/General/TException.h"

#include <cstring>

namespace OrvaneTest {

std::vector<RaisedReport> LibraryTest::raised;

namespace {

const char kOrvaneKey[] = "Software\\Orvane";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::u16string wide(const std::string& text) {
    OrvaneLib::TString s(text.c_str());
    OrvaneLib::TWideText w = s.toWide();
    return std::u16string(reinterpret_cast<const char16_t*>(w.get()), w.getLength());
}

const WCHAR* w(const std::u16string& text) {
    return reinterpret_cast<const WCHAR*>(text.c_str());
}

// Keeps every raised TException's facts and resumes, as a host that logs and carries on would.
LONG WINAPI keepReport(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != OrvaneLib::kReportedErrorCode) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    std::unique_ptr<OrvaneLib::TException> report(
        reinterpret_cast<OrvaneLib::TException*>(info->ExceptionRecord->ExceptionInformation[0]));
    LibraryTest::raised.push_back({report->category, report->severity, report->message});
    return EXCEPTION_CONTINUE_EXECUTION;
}

void* handler = nullptr;

}  // namespace

std::string RawValue::text() const {
    std::u16string units(reinterpret_cast<const char16_t*>(data.data()), data.size() / 2);
    if (!units.empty() && units.back() == u'\0') {
        units.pop_back();
    }
    return OrvaneLib::TString(reinterpret_cast<const OrvaneLib::TWideChar*>(units.c_str())).c_str();
}

DWORD RawValue::number() const {
    DWORD value = 0;
    memcpy(&value, data.data(), data.size() < 4 ? data.size() : 4);
    return value;
}

RawValue readRawValue(const std::string& keyPath, const std::string& valueName) {
    RawValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, w(wide(keyPath)), 0, KEY_QUERY_VALUE, &key) != 0) {
        return value;
    }
    std::u16string name = wide(valueName);
    DWORD size = 0;
    if (RegQueryValueExW(key, w(name), nullptr, &value.type, nullptr, &size) == 0) {
        value.data.resize(size);
        value.exists =
            RegQueryValueExW(key, w(name), nullptr, &value.type, value.data.data(), &size) == 0;
    }
    RegCloseKey(key);
    return value;
}

bool keyExists(const std::string& keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, w(wide(keyPath)), 0, KEY_READ, &key) != 0) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

namespace {

void writeRaw(const std::string& keyPath, const std::string& valueName, DWORD type,
              const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, w(wide(keyPath)), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              0);
    EXPECT_EQ(
        RegSetValueExW(key, w(wide(valueName)), 0, type, static_cast<const BYTE*>(data), size), 0);
    RegCloseKey(key);
}

}  // namespace

void writeRawText(const std::string& keyPath, const std::string& valueName,
                  const std::string& text) {
    std::u16string units = wide(text);
    writeRaw(keyPath, valueName, REG_SZ, units.c_str(),
             static_cast<DWORD>((units.size() + 1) * sizeof(char16_t)));
}

void writeRawNumber(const std::string& keyPath, const std::string& valueName, DWORD number) {
    writeRaw(keyPath, valueName, REG_DWORD, &number, sizeof number);
}

void deleteKeyTree(const std::string& keyPath) {
    RegDeleteTreeW(HKEY_CURRENT_USER, w(wide(keyPath)));
}

void LibraryTest::SetUp() {
    deleteKeyTree(kOrvaneKey);
    HKEY uninstall = nullptr;
    // Only the library's own entries, never other programs'.
    if (RegOpenKeyExW(HKEY_CURRENT_USER, w(wide(kUninstallKey)), 0, KEY_READ, &uninstall) == 0) {
        std::vector<std::u16string> ours;
        WCHAR name[256];
        for (DWORD index = 0;; ++index) {
            DWORD size = 256;
            if (RegEnumKeyExW(uninstall, index, name, &size, nullptr, nullptr, nullptr, nullptr) !=
                0) {
                break;
            }
            std::u16string entry(reinterpret_cast<const char16_t*>(name), size);
            if (entry.rfind(u"Orvane App ", 0) == 0) {
                ours.push_back(entry);
            }
        }
        for (const std::u16string& entry : ours) {
            RegDeleteTreeW(uninstall, w(entry));
        }
        RegCloseKey(uninstall);
    }
    raised.clear();
    clearLoggedLines();
    handler = AddVectoredExceptionHandler(1, keepReport);
}

void LibraryTest::TearDown() {
    RemoveVectoredExceptionHandler(handler);
    setLogHookAction(nullptr);
}

void LibraryTest::setClientDirectory(const std::string& directory) {
    writeRawText("Software\\Orvane\\Client\\", "", directory);
}

std::unique_ptr<OrvaneLib::ulIApplication> LibraryTest::application(const char* id) {
    return std::unique_ptr<OrvaneLib::ulIApplication>(createApplication(OrvaneLib::TString(id)));
}

std::vector<std::string> LibraryTest::installedGames() {
    OrvaneLib::TArray<OrvaneLib::TString> games;
    getInstalledGames(games);
    std::vector<std::string> ids;
    for (uint32_t i = 0; i < games.getCount(); ++i) {
        ids.push_back(games.get(i).c_str());
    }
    return ids;
}

std::vector<LogLine> LibraryTest::linesAt(int level) const {
    std::vector<LogLine> matching;
    for (const LogLine& line : loggedLines()) {
        if (line.level == level) {
            matching.push_back(line);
        }
    }
    return matching;
}

}  // namespace OrvaneTest
