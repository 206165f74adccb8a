#pragma once

#include "lib/OrvaneLib.h"

namespace OrvaneLib {

// One installed game, known only by its id; every property is read from or written to the
// registry at the moment of the call. The operations that take or return an object by value are
// the forms that the host calls (lib/OrvaneLib.h); the interface's uninstall, getPath and so on
// reach them.
class TApplication final : public ulIApplication {
public:
    explicit TApplication(const TString& applicationId) : applicationId(applicationId) {}
    ORVANE_DESTRUCTOR_SLOT(TApplication)

    bool registerApplication(const TString& path, const TString& installPath,
                             const TString& displayName, const TString& version,
                             const TString& displayIcon) override;
    bool isInstalled() const override;
    bool uninstallPassed(TByValue<ProgressCallback>::Passed progress) override;
    TString* getPathInto(TString* result) const override;
    TString* getInstallPathInto(TString* result) const override;
    TString* getVersionInto(TString* result) const override;
    TString* getDisplayNameInto(TString* result) const override;
    void setTotalSize(uint64_t size) override;
    uint64_t getTotalSize() const override;
    void setInstallSize(uint64_t size) override;
    uint64_t getInstallSize() const override;
    void setCompatibilityFlags(const TString& flags) override;
    TString* getCompatibilityFlagsInto(TString* result) const override;
    ulIPackage* createPackage(const TString& packageId) const override;
    TPointerArray<ulIPackage*>* getPackagesInto(TPointerArray<ulIPackage*>* result) const override;
    int32_t getVFSVersion() const override;
    void setVFSVersion(int32_t version) override;
    void setUPID(int32_t upid) override;
    int32_t getUPID() const override;

private:
    // Files first, then record and entry (Uninstall.cpp).
    bool removeGame(const ProgressCallback& progress);
    TPointerArray<ulIPackage*> readPackages() const;
    // A value of the application's record; empty for an id that addresses no record of its own.
    TString readRecord(const char* valueName, uint32_t type) const;
    TString readDisplayName() const;
    void writeRecord(const char* valueName, const TString& text, uint32_t type);
    // Only into an entry that exists: a size alone must not make Windows list a game.
    bool writeEstimatedSize(uint64_t installSize);

    const TString applicationId;
};

}  // namespace OrvaneLib
