#pragma once

#include "lib/OrvaneLib.h"

namespace OrvaneLib {

// A handle on one package's record below its application's record. It exists whether the record
// does or not, and keeps its own copy of the application id.
class TPackage final : public ulIPackage {
public:
    TPackage(const TString& packageId, const TString& applicationId)
        : packageId(packageId), applicationId(applicationId) {}
    ORVANE_DESTRUCTOR_SLOT(TPackage)

    bool registerPackage(const TString& path, const TString& version) override;
    bool isInstalled() const override;
    const TString& getName() const override { return packageId; }
    TString* getPathInto(TString* result) const override;
    TString* getVersionInto(TString* result) const override;
    bool unregisterPackage() override;

private:
    bool hasUsableIds() const;
    TString readRecord(const char* valueName) const;

    const TString packageId;
    const TString applicationId;
};

}  // namespace OrvaneLib
