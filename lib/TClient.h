#pragma once

#include "lib/OrvaneLib.h"

namespace OrvaneLib {

// Client-wide settings under the client's key; no state of its own.
class TClient : public ulIClient {
public:
    void setCurrentBandwidth(uint64_t bandwidth) override;
    uint64_t getCurrentBandwidth() const override;
    void setMaxMeasuredBandwidth(uint64_t bandwidth) override;
    uint64_t getMaxMeasuredBandwidth() const override;
    void setThirdPartyFlag(uint32_t id, bool flag) override;
    bool getThirdPartyFlag(uint32_t id) const override;
};

}  // namespace OrvaneLib
