#include "Common/General/TLogSystem.h"
#include "win32/Win32Api.h"

#include <gtest/gtest.h>

namespace {

// This executable does not export outputLogString: the sink drops every line and nothing fails.
TEST(NoLogHook, EveryWriteIsDropped) {
    EXPECT_EQ(GetProcAddress(GetModuleHandleW(nullptr), "outputLogString"), nullptr);
    OrvaneLib::TLogSystem log;
    log.addStrategy(new OrvaneLib::TCurrentProcessLogStrategy("Orvane.dll"));
    log.write("dropped\n", "f", 1, 0);
}

}  // namespace
