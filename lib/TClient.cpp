#include "lib/TClient.h"

#include "lib/RegistryLayout.h"
#include "platform/Registry.h"

namespace OrvaneLib {

namespace {

constexpr char kCurrentBandwidth[] = "CurrentBandwidth";
constexpr char kMaxMeasuredBandwidth[] = "MaxMeasuredBandwidth";

void writeBandwidth(const char* valueName, uint64_t bandwidth) {
    writeRegistryValue(kClientKey, valueName, formatUnsigned64(bandwidth).c_str(), REG_SZ);
}

uint64_t readBandwidth(const char* valueName) {
    return parseUnsigned64(readRegistryValue(kClientKey, valueName, REG_SZ));
}

}  // namespace

void TClient::setCurrentBandwidth(uint64_t bandwidth) {
    writeBandwidth(kCurrentBandwidth, bandwidth);
}

uint64_t TClient::getCurrentBandwidth() const {
    return readBandwidth(kCurrentBandwidth);
}

void TClient::setMaxMeasuredBandwidth(uint64_t bandwidth) {
    writeBandwidth(kMaxMeasuredBandwidth, bandwidth);
}

uint64_t TClient::getMaxMeasuredBandwidth() const {
    return readBandwidth(kMaxMeasuredBandwidth);
}

void TClient::setThirdPartyFlag(uint32_t id, bool flag) {
    TString name(static_cast<unsigned int>(id));
    writeRegistryValue(kThirdPartyKey, name.c_str(), flag ? "1" : "0", REG_DWORD);
}

bool TClient::getThirdPartyFlag(uint32_t id) const {
    TString name(static_cast<unsigned int>(id));
    TString value = readRegistryValue(kThirdPartyKey, name, REG_DWORD);
    return value.getLength() == 1 && value.c_str()[0] == '1';
}

}  // namespace OrvaneLib
