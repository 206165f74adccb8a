#pragma once

#include "lib/OrvaneLib.h"

namespace OrvaneLib {

// A handle on one package's record below its application's record. It exists whether the record
// does or not, and keeps its own copy of the application id.
class TPackage : public ulIPackage {
public:
    TPackage(const TString& packageId, const TString& applicationId)
        : packageId(packageId), applicationId(applicationId) {}

    bool registerPackage(const TString& path, const TString& version) override;
    bool isInstalled() const override;
    const TString& getName() const override { return packageId; }
    TString getPath() const override;
    TString getVersion() const override;
    bool unregisterPackage() override;

private:
    bool hasUsableIds() const;
    TString readRecord(const char* valueName) const;

    const TString packageId;
    const TString applicationId;
};

}  // namespace OrvaneLib
