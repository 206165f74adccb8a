#include "Common/General/TException.h"
#include "Common/General/TLogSystem.h"
#include "platform/Win32Api.h"

#include "support/LogHook.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

using OrvaneLib::TException;
using OrvaneLib::TLogSystem;

namespace {

// Installs a fresh log system that reaches this executable's outputLogString, and a vectored
// handler that keeps every raised TException; `resume` says whether it resumes execution.
class ReportError : public testing::Test {
protected:
    void SetUp() override {
        saved_ = OrvaneLib::logSystem;
        OrvaneLib::logSystem = std::make_shared<TLogSystem>();
        OrvaneLib::logSystem->addStrategy(new OrvaneLib::TCurrentProcessLogStrategy("Orvane.dll"));
        OrvaneTest::clearLoggedLines();
        raised_.reset();
        handler_ = AddVectoredExceptionHandler(1, &ReportError::handler);
    }

    void TearDown() override {
        RemoveVectoredExceptionHandler(handler_);
        OrvaneLib::logSystem = saved_;
    }

    // Reports, and returns the TException that was raised (null when none was).
    std::unique_ptr<TException> report(const char* message, int32_t category, int32_t severity) {
        resume_ = true;
        OrvaneLib::reportError(message, "D", category, severity, "Common\\General\\Test.cpp", 77);
        return std::move(raised_);
    }

    static LONG WINAPI handler(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD* record = info->ExceptionRecord;
        if (record->ExceptionCode != OrvaneLib::kReportedErrorCode || !resume_) {
            return EXCEPTION_CONTINUE_SEARCH;
        }
        EXPECT_EQ(record->ExceptionFlags, 0u);
        EXPECT_EQ(record->NumberParameters, 1u);
        raised_.reset(reinterpret_cast<TException*>(record->ExceptionInformation[0]));
        return EXCEPTION_CONTINUE_EXECUTION;
    }

    static bool resume_;
    static std::unique_ptr<TException> raised_;

private:
    std::shared_ptr<TLogSystem> saved_;
    void* handler_ = nullptr;
};

bool ReportError::resume_ = true;
std::unique_ptr<TException> ReportError::raised_;

TEST_F(ReportError, SevereFailureIsLoggedThenRaisedWithItsRecord) {
    SetLastError(1018);
    std::unique_ptr<TException> raised = report("Storage failed", 3, 3);
    ASSERT_NE(raised, nullptr);
    EXPECT_STREQ(raised->message, "Storage failed\n");
    EXPECT_STREQ(raised->detail, "D");
    EXPECT_STREQ(raised->categoryName, "QVX programming (please report to Tavimor)");
    EXPECT_STREQ(raised->file, "Common\\General\\Test.cpp");
    EXPECT_EQ(raised->category, 3);
    EXPECT_EQ(raised->severity, 3);
    EXPECT_EQ(raised->line, 77);
    EXPECT_EQ(raised->systemError, 1018u);
    EXPECT_EQ(GetLastError(), 1018u);

    auto lines = OrvaneTest::loggedLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].module, "Orvane.dll");
    EXPECT_EQ(lines[0].text, "Storage failed\n");
    EXPECT_EQ(lines[0].file, "Common\\General\\Test.cpp");
    EXPECT_EQ(lines[0].line, 77);
    EXPECT_EQ(lines[0].level, 1);
}

TEST_F(ReportError, EmptyOrAbsentMessageIsOneLineFeed) {
    for (const char* message : {static_cast<const char*>(nullptr), ""}) {
        std::unique_ptr<TException> raised = report(message, 1, 2);
        ASSERT_NE(raised, nullptr);
        EXPECT_STREQ(raised->message, "\n");
    }
}

// (mode, severity) -> (raised, level)
class ReportErrorMode : public ReportError,
                        public testing::WithParamInterface<std::tuple<int, int, bool, int>> {};

TEST_P(ReportErrorMode, ThresholdAndLevelFollowModeAndSeverity) {
    auto [mode, severity, raises, level] = GetParam();
    OrvaneLib::logSystem->setMode(mode);
    std::unique_ptr<TException> raised = report("m", 1, severity);
    EXPECT_EQ(raised != nullptr, raises);
    auto lines = OrvaneTest::loggedLines();
    if (mode < 0) {
        EXPECT_TRUE(lines.empty());
    } else {
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].level, level);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReportErrorMode,
    testing::Values(std::make_tuple(1, 1, false, 2), std::make_tuple(1, 2, true, 1),
                    std::make_tuple(1, 3, true, 1), std::make_tuple(5, 1, false, 2),
                    std::make_tuple(0, 1, true, 2), std::make_tuple(0, 0, false, 2),
                    std::make_tuple(-1, 1, true, 2), std::make_tuple(-1, 0, false, 2)));

class ReportErrorCategory : public testing::TestWithParam<std::tuple<int, const char*>> {};

TEST_P(ReportErrorCategory, MapsNumberToText) {
    EXPECT_STREQ(OrvaneLib::errorCategoryName(std::get<0>(GetParam())), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReportErrorCategory,
    testing::Values(std::make_tuple(1, "General programming"),
                    std::make_tuple(2, "Script programming"),
                    std::make_tuple(3, "QVX programming (please report to Tavimor)"),
                    std::make_tuple(8, "Input (file or other input is incorrect)"),
                    std::make_tuple(9, "Hardware error"), std::make_tuple(0, "Unknown"),
                    std::make_tuple(4, "Unknown"), std::make_tuple(12, "Unknown"),
                    std::make_tuple(-3, "Unknown")));

TEST_F(ReportError, WithoutLogSystemStillRaisesAsModeOne) {
    OrvaneLib::logSystem.reset();
    EXPECT_EQ(report("after unload", 1, 1), nullptr);
    std::unique_ptr<TException> raised = report("after unload", 1, 2);
    ASSERT_NE(raised, nullptr);
    EXPECT_STREQ(raised->message, "after unload\n");
    EXPECT_TRUE(OrvaneTest::loggedLines().empty());
}

#ifndef _WIN32
// Without a resuming handler the raise leaves as the stand-in for the unwind to the host.
TEST_F(ReportError, UnhandledRaiseUnwindsToTheHost) {
    resume_ = false;
    try {
        OrvaneLib::reportError("fatal", "", 1, 2, "f", 1);
        FAIL() << "the report did not raise";
    } catch (const PalStructuredException& raised) {
        EXPECT_EQ(raised.code(), OrvaneLib::kReportedErrorCode);
        ASSERT_EQ(raised.argumentCount(), 1u);
        std::unique_ptr<TException> record(reinterpret_cast<TException*>(raised.argument(0)));
        EXPECT_STREQ(record->message, "fatal\n");
    }
    resume_ = true;
}
#endif

}  // namespace
