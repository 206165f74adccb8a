#include "lib/LibraryFixture.h"

#include "Common/General/TException.h"

namespace OrvaneTest {
using OrvaneLib::TRegistryKey;
using OrvaneLib::TWideText;

std::string readRaw(const std::string& keyPath, const std::string& valueName) {
    TRegistryKey key;
    DWORD type = 0;
    DWORD data[256] = {};
    DWORD size = sizeof data - 2;  // room for a terminator the data may lack
    if (key.open(HKEY_CURRENT_USER, TWideText(keyPath.c_str()).get(), KEY_QUERY_VALUE) != 0 ||
        RegQueryValueExW(key.get(), TWideText(valueName.c_str()).get(), nullptr, &type,
                         reinterpret_cast<BYTE*>(data), &size) != 0) {
        type = 0;
    }
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
    TRegistryKey key;
    if (key.create(HKEY_CURRENT_USER, TWideText(keyPath.c_str()).get(), KEY_WRITE) != 0) {
        return;
    }
    RegSetValueExW(key.get(), TWideText(valueName.c_str()).get(), 0, type,
                   type == REG_DWORD ? reinterpret_cast<const BYTE*>(&number)
                                     : reinterpret_cast<const BYTE*>(units.get()),
                   type == REG_DWORD ? sizeof number : units.byteSize());
}

namespace {

// Keeps a severe report's record and resumes, as a host that logs and carries on would; the test
// then fails with the report's message instead of ending the process.
LONG WINAPI keepReport(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != OrvaneLib::kReportedErrorCode) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    std::unique_ptr<OrvaneLib::TException> report(
        reinterpret_cast<OrvaneLib::TException*>(record->ExceptionInformation[0]));
    ADD_FAILURE() << "severe report raised: " << report->message;
    return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

void LibraryTest::SetUp() {
    ASSERT_EQ(ERROR_SUCCESS, registry_.start());
    clearLoggedLines();
    handler_ = AddVectoredExceptionHandler(1, keepReport);
}

void LibraryTest::TearDown() {
    RemoveVectoredExceptionHandler(handler_);
    EXPECT_EQ(ERROR_SUCCESS, registry_.stop());
}

}  // namespace OrvaneTest
