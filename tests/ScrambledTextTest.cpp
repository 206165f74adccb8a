#include "Common/General/ScrambledText.h"
#include "platform/Win32Api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Stored only scrambled; the test never spells it forwards.
constexpr auto kSentinel = OrvaneLib::scramble("Orvane-scrambled-sentinel-7d1f");

std::string sentinelPlain() {
    std::string reversed = "f1d7-lenitnes-delbmarcs-enavrO";
    return std::string(reversed.rbegin(), reversed.rend());
}

// The bytes of this program's own file.
std::string ownImage() {
#ifdef _WIN32
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) {
        return std::string();
    }
    std::ifstream self(path, std::ios::binary);
#else
    std::ifstream self("/proc/self/exe", std::ios::binary);
#endif
    return std::string((std::istreambuf_iterator<char>(self)), std::istreambuf_iterator<char>());
}

TEST(ScrambledText, UnscramblesToThePlainText) {
    EXPECT_EQ(std::string(kSentinel.text().c_str()), sentinelPlain());
    EXPECT_EQ(kSentinel.length(), sentinelPlain().size());
    EXPECT_STREQ(ORVANE_TEXT("Trying to read DWORD while it is something bigger!").c_str(),
                 "Trying to read DWORD while it is something bigger!");
    EXPECT_STREQ(ORVANE_TEXT("").c_str(), "");
}

TEST(ScrambledText, TheBinaryHoldsNoPlainCopy) {
    const std::string image = ownImage();
    ASSERT_GT(image.size(), 0u);
    EXPECT_EQ(image.find(sentinelPlain()), std::string::npos);
    EXPECT_NE(image.find("f1d7-lenitnes-delbmarcs-enavrO"), std::string::npos);
}

}  // namespace
