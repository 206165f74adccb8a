#include "lib/TApplication.h"

#include "lib/RecordIds.h"
#include "lib/RegistryLayout.h"
#include "lib/TPackage.h"
#include "platform/Registry.h"

#include <memory>

namespace OrvaneLib {

namespace {

constexpr char kTotalSize[] = "TotalSize";
constexpr char kInstallSize[] = "InstallSize";
constexpr char kCompatibilityFlags[] = "CompatibilityFlags";
constexpr char kVFSVersion[] = "VFSVersion";
constexpr char kUPID[] = "UPID";
constexpr char kDisplayName[] = "DisplayName";

}  // namespace

bool TApplication::registerApplication(const TString& path, const TString& installPath,
                                       const TString& displayName, const TString& version,
                                       const TString& displayIcon) {
    if (!acceptRecordIds(applicationId)) {
        return false;
    }
    TString clientDirectory = readRegistryValue(kClientKey, kClientDirectoryValue, REG_SZ);
    TString uninstallString =
        TString("\"") + clientDirectory + TString("\\Orvane.exe\" /uninstall ") + applicationId;
    TString quietUninstallString = uninstallString + TString(" /S");

    TString record = applicationKey(applicationId);
    TString entry = uninstallKey(applicationId);
    struct Write {
        const TString& key;
        const char* name;
        const TString& text;
        uint32_t type;
    };
    const TString one("1");
    const Write writes[] = {
        {record, kPathValue, path, REG_SZ},
        {record, kInstallPathValue, installPath, REG_SZ},
        {record, kVersionValue, version, REG_SZ},
        {entry, kDisplayName, displayName, REG_SZ},
        {entry, "DisplayVersion", version, REG_SZ},
        {entry, "DisplayIcon", displayIcon, REG_SZ},
        {entry, "NoModify", one, REG_DWORD},
        {entry, "NoRepair", one, REG_DWORD},
        {entry, "UninstallString", uninstallString, REG_SZ},
        {entry, "QuietUninstallString", quietUninstallString, REG_SZ},
    };
    for (const Write& write : writes) {
        if (!writeRegistryValue(write.key.c_str(), write.name, write.text.c_str(), write.type)) {
            return false;
        }
    }
    TString installSize = readRecord(kInstallSize, REG_SZ);
    return installSize.isEmpty() || writeEstimatedSize(parseUnsigned64(installSize));
}

bool TApplication::isInstalled() const {
    bool hasPath = !readRecord(kPathValue, REG_SZ).isEmpty();
    bool hasDisplayName = !readDisplayName().isEmpty();
    return hasPath || hasDisplayName;
}

bool TApplication::uninstallPassed(TByValue<ProgressCallback>::Passed progress) {
    TByValue<ProgressCallback>::Received received = TByValue<ProgressCallback>::receive(progress);
    return removeGame(received.callable());
}

TString* TApplication::getPathInto(TString* result) const {
    return placeResult(result, readRecord(kPathValue, REG_SZ));
}

TString* TApplication::getInstallPathInto(TString* result) const {
    return placeResult(result, readRecord(kInstallPathValue, REG_SZ));
}

TString* TApplication::getVersionInto(TString* result) const {
    return placeResult(result, readRecord(kVersionValue, REG_SZ));
}

TString* TApplication::getDisplayNameInto(TString* result) const {
    return placeResult(result, readDisplayName());
}

void TApplication::setTotalSize(uint64_t size) {
    writeRecord(kTotalSize, formatUnsigned64(size), REG_SZ);
}

uint64_t TApplication::getTotalSize() const {
    return parseUnsigned64(readRecord(kTotalSize, REG_SZ));
}

void TApplication::setInstallSize(uint64_t size) {
    writeRecord(kInstallSize, formatUnsigned64(size), REG_SZ);
    writeEstimatedSize(size);
}

uint64_t TApplication::getInstallSize() const {
    return parseUnsigned64(readRecord(kInstallSize, REG_SZ));
}

void TApplication::setCompatibilityFlags(const TString& flags) {
    writeRecord(kCompatibilityFlags, flags, REG_SZ);
}

TString* TApplication::getCompatibilityFlagsInto(TString* result) const {
    return placeResult(result, readRecord(kCompatibilityFlags, REG_SZ));
}

ulIPackage* TApplication::createPackage(const TString& packageId) const {
    return new TPackage(packageId, applicationId);
}

TPointerArray<ulIPackage*>* TApplication::getPackagesInto(
    TPointerArray<ulIPackage*>* result) const {
    return placeResult(result, readPackages());
}

TPointerArray<ulIPackage*> TApplication::readPackages() const {
    TPointerArray<ulIPackage*> packages;
    if (!isUsableRecordId(applicationId)) {
        return packages;
    }
    const TString& owner = applicationId;
    forEachRegistrySubkey(
        packagesKey(applicationId).c_str(),
        [&packages, &owner](HKEY, const TString& packageId) {
            std::unique_ptr<ulIPackage> package(new TPackage(packageId, owner));
            // An array that could not grow (reported) does not own the object.
            if (packages.add(package.get()) < packages.getCount()) {
                package.release();
            }
        },
        KEY_READ);
    return packages;
}

int32_t TApplication::getVFSVersion() const {
    TString text = readRecord(kVFSVersion, REG_DWORD);
    return text.isEmpty() ? -1 : parseSigned32(text);
}

void TApplication::setVFSVersion(int32_t version) {
    writeRecord(kVFSVersion, TString(static_cast<int>(version)), REG_DWORD);
}

void TApplication::setUPID(int32_t upid) {
    writeRecord(kUPID, TString(static_cast<int>(upid)), REG_DWORD);
}

int32_t TApplication::getUPID() const {
    TString text = readRecord(kUPID, REG_DWORD);
    return text.isEmpty() ? -1 : parseSigned32(text);
}

TString TApplication::readRecord(const char* valueName, uint32_t type) const {
    if (!isUsableRecordId(applicationId)) {
        return TString();
    }
    return readRegistryValue(applicationKey(applicationId), valueName, type);
}

TString TApplication::readDisplayName() const {
    if (!isUsableRecordId(applicationId)) {
        return TString();
    }
    return readRegistryValue(uninstallKey(applicationId), kDisplayName, REG_SZ);
}

void TApplication::writeRecord(const char* valueName, const TString& text, uint32_t type) {
    if (acceptRecordIds(applicationId)) {
        writeRegistryValue(applicationKey(applicationId).c_str(), valueName, text.c_str(), type);
    }
}

bool TApplication::writeEstimatedSize(uint64_t installSize) {
    if (readDisplayName().isEmpty()) {
        return true;
    }
    return writeRegistryValue(uninstallKey(applicationId).c_str(), kEstimatedSizeValue,
                              estimatedSizeText(installSize).c_str(), REG_DWORD);
}

}  // namespace OrvaneLib
