#include "lib/LibraryFixture.h"

namespace OrvaneTest {
namespace {

const char kThirdParty[] = "Software\\Orvane\\Client\\ThirdParty\\";

using Client = LibraryTest;

// Bandwidths are decimal text; flags are numbers named by their id, and only the number 1 counts
// as set.
TEST_F(Client, SettingsKeepTheirForm) {
    OrvaneLib::ulIClient* client = createClient();
    EXPECT_EQ(client->getCurrentBandwidth(), 0u);
    EXPECT_EQ(client->getMaxMeasuredBandwidth(), 0u);
    client->setMaxMeasuredBandwidth(123456789012);
    client->setCurrentBandwidth(UINT64_MAX);
    EXPECT_EQ(readRaw("Software\\Orvane\\Client", "MaxMeasuredBandwidth"), "sz:123456789012");
    EXPECT_EQ(client->getMaxMeasuredBandwidth(), 123456789012u);
    EXPECT_EQ(client->getCurrentBandwidth(), UINT64_MAX);

    client->setThirdPartyFlag(7, true);
    client->setThirdPartyFlag(4294967295u, true);
    EXPECT_EQ(readRaw(kThirdParty, "7"), "dword:1");
    EXPECT_EQ(readRaw(kThirdParty, "4294967295"), "dword:1");
    EXPECT_TRUE(client->getThirdPartyFlag(7));
    EXPECT_FALSE(client->getThirdPartyFlag(8));
    client->setThirdPartyFlag(7, false);
    EXPECT_EQ(readRaw(kThirdParty, "7"), "dword:0");
    EXPECT_FALSE(client->getThirdPartyFlag(7));
    for (const char* other : {"2", "11"}) {
        writeRaw(kThirdParty, "3", other, REG_DWORD);
        EXPECT_FALSE(client->getThirdPartyFlag(3));
    }
}

}  // namespace
}  // namespace OrvaneTest
