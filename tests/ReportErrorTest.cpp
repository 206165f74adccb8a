#include "Common/General/TException.h"
#include "Common/General/TLogSystem.h"
#include "win32/Win32Api.h"

#include "support/LogHook.h"
#include "support/RaisedReports.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <utility>

namespace OrvaneLib {
namespace {

// A fresh log system that reaches this executable's outputLogString, with the mode set by each
// test.
class ReportError : public testing::Test {
protected:
    ReportError() : saved_(std::exchange(logSystem, std::make_shared<TLogSystem>())) {
        logSystem->addStrategy(new TCurrentProcessLogStrategy("Orvane.dll"));
        OrvaneTest::clearLoggedLines();
    }
    ~ReportError() override { logSystem = saved_; }

    // Reports, and returns the TException that was raised (null when none was).
    const TException* report(const char* message, int32_t severity) {
        const size_t before = reports.records().size();
        reportError(message, "D", 3, severity, "Common\\General\\Test.cpp", 77);
        return reports.records().size() > before ? reports.records().back().get() : nullptr;
    }
    // The only line logged since the last call: module, text, file, line and level.
    static std::tuple<std::string, std::string, std::string, int, int> loggedLine() {
        auto lines = OrvaneTest::loggedLines();
        OrvaneTest::clearLoggedLines();
        EXPECT_EQ(lines.size(), 1u);
        const OrvaneTest::LogLine& l = lines.empty() ? OrvaneTest::LogLine{} : lines[0];
        return {l.module, l.text, l.file, l.line, l.level};
    }

    std::shared_ptr<TLogSystem> saved_;
    OrvaneTest::RaisedReports reports;
};

TEST_F(ReportError, SevereFailureIsLoggedThenRaisedWithItsRecord) {
    SetLastError(1018);
    const TException* raised = report("Storage failed", 3);
    ASSERT_NE(raised, nullptr);
    EXPECT_EQ(std::make_tuple(std::string(raised->message), std::string(raised->detail),
                              std::string(raised->categoryName), std::string(raised->file)),
              std::make_tuple("Storage failed\n", "D", "QVX programming (please report to Tavimor)",
                              "Common\\General\\Test.cpp"));
    EXPECT_EQ(std::tie(raised->category, raised->severity, raised->line),
              std::make_tuple(3, 3, 77));
    EXPECT_EQ(raised->systemError, 1018u);
    EXPECT_EQ(GetLastError(), 1018u);
    EXPECT_EQ(loggedLine(), std::make_tuple("Orvane.dll", "Storage failed\n",
                                            "Common\\General\\Test.cpp", 77, 1));
    const TException* absent = report(nullptr, 2);
    const TException* empty = report("", 2);
    ASSERT_TRUE(absent && empty);
    EXPECT_EQ(std::string(absent->message) + empty->message, "\n\n");
}

TEST_F(ReportError, ThresholdAndLevelFollowModeAndSeverityWithOrWithoutALogSystem) {
    // mode, severity, raised, log level
    using Case = std::tuple<int, int, bool, int>;
    for (auto [mode, severity, raises, level] :
         {Case{1, 1, false, 2}, Case{1, 2, true, 1}, Case{1, 3, true, 1}, Case{5, 1, false, 2},
          Case{0, 1, true, 2}, Case{0, 0, false, 2}}) {
        logSystem->setMode(mode);
        EXPECT_EQ(report("m", severity) != nullptr, raises) << mode << " " << severity;
        EXPECT_EQ(std::get<4>(loggedLine()), level) << mode << " " << severity;
    }
    // Nothing is logged under a negative mode, and the reports raise as under mode 0.
    logSystem->setMode(-1);
    EXPECT_NE(report("m", 1), nullptr);
    EXPECT_EQ(report("m", 0), nullptr);
    EXPECT_TRUE(OrvaneTest::loggedLines().empty());
    // Without a log system the reports still raise, as under mode 1.
    logSystem.reset();
    EXPECT_EQ(report("after unload", 1), nullptr);
    const TException* raised = report("after unload", 2);
    ASSERT_NE(raised, nullptr);
    EXPECT_STREQ(raised->message, "after unload\n");
    EXPECT_TRUE(OrvaneTest::loggedLines().empty());
}

TEST_F(ReportError, LogInfoWritesALineAtLevelZeroAndNullTextsAreDropped) {
    EXPECT_TRUE(logInfo("platform\\Registry.cpp", 9, "note").isEmpty());
    TCurrentProcessLogStrategy("Orvane.dll").write(nullptr, "f", 1, 0);
    EXPECT_EQ(loggedLine(),
              std::make_tuple("Orvane.dll", "note\n", "platform\\Registry.cpp", 9, 0));
    EXPECT_STREQ(errorCategoryName(8), "Input (file or other input is incorrect)");
    for (int unknown : {0, 4, 12, -3}) {
        EXPECT_STREQ(errorCategoryName(unknown), "Unknown") << unknown;
    }
}

}  // namespace
}  // namespace OrvaneLib
