#pragma once

#include "lib/OrvaneLib.h"

namespace OrvaneLib {

// One installed game, known only by its id; every property is read from or written to the
// registry at the moment of the call.
class TApplication : public ulIApplication {
public:
    explicit TApplication(const TString& applicationId) : applicationId(applicationId) {}

    bool registerApplication(const TString& path, const TString& installPath,
                             const TString& displayName, const TString& version,
                             const TString& displayIcon) override;
    bool isInstalled() const override;
    bool uninstall(ProgressCallback progress) override;
    TString getPath() const override;
    TString getInstallPath() const override;
    TString getVersion() const override;
    TString getDisplayName() const override;
    void setTotalSize(uint64_t size) override;
    uint64_t getTotalSize() const override;
    void setInstallSize(uint64_t size) override;
    uint64_t getInstallSize() const override;
    void setCompatibilityFlags(const TString& flags) override;
    TString getCompatibilityFlags() const override;
    ulIPackage* createPackage(const TString& packageId) const override;
    TPointerArray<ulIPackage*> getPackages() const override;
    int32_t getVFSVersion() const override;
    void setVFSVersion(int32_t version) override;
    void setUPID(int32_t upid) override;
    int32_t getUPID() const override;

private:
    // A value of the application's record; empty for an id that addresses no record of its own.
    TString readRecord(const char* valueName, uint32_t type) const;
    void writeRecord(const char* valueName, const TString& text, uint32_t type);

    const TString applicationId;
};

}  // namespace OrvaneLib
