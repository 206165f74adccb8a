#include "lib/LibraryFixture.h"

namespace OrvaneTest {
namespace {

const char kClient[] = "Software\\Orvane\\Client\\";
const char kThirdParty[] = "Software\\Orvane\\Client\\ThirdParty\\";

using Client = LibraryTest;

TEST_F(Client, BandwidthsAreDecimalText) {
    OrvaneLib::ulIClient* client = createClient();
    EXPECT_EQ(client->getCurrentBandwidth(), 0u);
    EXPECT_EQ(client->getMaxMeasuredBandwidth(), 0u);
    client->setMaxMeasuredBandwidth(123456789012);
    client->setCurrentBandwidth(UINT64_MAX);
    EXPECT_EQ(readRawValue(kClient, "MaxMeasuredBandwidth").text(), "123456789012");
    EXPECT_EQ(readRawValue(kClient, "MaxMeasuredBandwidth").type, REG_SZ);
    EXPECT_EQ(client->getMaxMeasuredBandwidth(), 123456789012u);
    EXPECT_EQ(client->getCurrentBandwidth(), UINT64_MAX);
}

TEST_F(Client, ThirdPartyFlagsAreNumbersNamedByTheirId) {
    OrvaneLib::ulIClient* client = createClient();
    client->setThirdPartyFlag(7, true);
    RawValue stored = readRawValue(kThirdParty, "7");
    EXPECT_EQ(stored.type, REG_DWORD);
    EXPECT_EQ(stored.number(), 1u);
    EXPECT_TRUE(client->getThirdPartyFlag(7));
    EXPECT_FALSE(client->getThirdPartyFlag(8));
    client->setThirdPartyFlag(7, false);
    EXPECT_EQ(readRawValue(kThirdParty, "7").number(), 0u);
    EXPECT_FALSE(client->getThirdPartyFlag(7));
    client->setThirdPartyFlag(4294967295u, true);
    EXPECT_TRUE(readRawValue(kThirdParty, "4294967295").exists);
}

TEST_F(Client, OnlyTheNumberOneCountsAsSet) {
    OrvaneLib::ulIClient* client = createClient();
    writeRawNumber(kThirdParty, "3", 2);
    EXPECT_FALSE(client->getThirdPartyFlag(3));
    writeRawNumber(kThirdParty, "3", 11);
    EXPECT_FALSE(client->getThirdPartyFlag(3));
}

}  // namespace
}  // namespace OrvaneTest
