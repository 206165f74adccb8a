#include "lib/TPackage.h"

#include "lib/RecordIds.h"
#include "lib/RegistryLayout.h"
#include "platform/Registry.h"

namespace OrvaneLib {

bool TPackage::registerPackage(const TString& path, const TString& version) {
    if (!acceptRecordIds(applicationId, &packageId)) {
        return false;
    }
    TString key = packageKey(applicationId, packageId);
    // "Version" first: a package whose "Path" is written counts as installed.
    return writeRegistryValue(key.c_str(), kVersionValue, version.c_str(), REG_SZ) &&
           writeRegistryValue(key.c_str(), kPathValue, path.c_str(), REG_SZ);
}

bool TPackage::isInstalled() const {
    return !readRecord(kPathValue).isEmpty();
}

TString* TPackage::getPathInto(TString* result) const {
    return placeResult(result, readRecord(kPathValue));
}

TString* TPackage::getVersionInto(TString* result) const {
    return placeResult(result, readRecord(kVersionValue));
}

bool TPackage::unregisterPackage() {
    if (!acceptRecordIds(applicationId, &packageId)) {
        return false;
    }
    return deleteRegistryKey(packageKey(applicationId, packageId).c_str());
}

bool TPackage::hasUsableIds() const {
    return isUsableRecordId(applicationId) && isUsableRecordId(packageId);
}

TString TPackage::readRecord(const char* valueName) const {
    if (!hasUsableIds()) {
        return TString();
    }
    return readRegistryValue(packageKey(applicationId, packageId), valueName, REG_SZ);
}

}  // namespace OrvaneLib
