#include "Common/General/ScrambledText.h"

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

TEST(ScrambledText, UnscramblesToThePlainText) {
    EXPECT_EQ(std::string(kSentinel.text().c_str()), sentinelPlain());
    EXPECT_EQ(kSentinel.length(), sentinelPlain().size());
    EXPECT_STREQ(ORVANE_TEXT("Trying to read DWORD while it is something bigger!").c_str(),
                 "Trying to read DWORD while it is something bigger!");
    EXPECT_STREQ(ORVANE_TEXT("").c_str(), "");
}

TEST(ScrambledText, TheBinaryHoldsNoPlainCopy) {
    std::ifstream self("/proc/self/exe", std::ios::binary);
    ASSERT_TRUE(self.good());
    std::string image((std::istreambuf_iterator<char>(self)), std::istreambuf_iterator<char>());
    ASSERT_GT(image.size(), 0u);
    EXPECT_EQ(image.find(sentinelPlain()), std::string::npos);
    EXPECT_NE(image.find("f1d7-lenitnes-delbmarcs-enavrO"), std::string::npos);
}

}  // namespace
