#include "Common/General/ScrambledText.h"
#include "win32/Win32Api.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

// Stored only scrambled; the test never spells it forwards.
constexpr auto kSentinel = OrvaneLib::scramble("Orvane-scrambled-sentinel-7d1f");
const std::string kReversed = "f1d7-lenitnes-delbmarcs-enavrO";

TEST(ScrambledText, UnscramblesWhileTheBinaryHoldsNoPlainCopy) {
    const std::string plain(kReversed.rbegin(), kReversed.rend());
    EXPECT_EQ(std::string(kSentinel.text().c_str()), plain);
    EXPECT_STREQ(ORVANE_TEXT("").c_str(), "");
#ifdef _WIN32
    wchar_t path[MAX_PATH];
    ASSERT_LT(GetModuleFileNameW(nullptr, path, MAX_PATH), DWORD{MAX_PATH});
    std::ifstream self(path, std::ios::binary);
#else
    std::ifstream self("/proc/self/exe", std::ios::binary);
#endif
    const std::string image{std::istreambuf_iterator<char>(self), std::istreambuf_iterator<char>()};
    EXPECT_EQ(image.find(plain), std::string::npos);
    EXPECT_NE(image.find(kReversed), std::string::npos);  // the file was read
}

}  // namespace
