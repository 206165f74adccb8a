// The host's header for Orvane.dll: the record of the current user's installed games.
//
// The host creates objects with the three exports and calls their virtual operations, whose order
// is fixed. Every property lives in the registry of the current user and is read or written at the
// moment of the call; objects hold only their ids. Objects from createApplication and
// createPackage are owned by the caller and deleted through their interface; the client object is
// never released. Severe failures raise the structured exception of code 1 carrying a TException.
//
// The host is built with Microsoft's C++ compiler, and the objects have the binary shape that it
// gives these declarations (slot 0 one destructor, objects by value as it passes them), also when
// the host or the library is built with another compiler: Common/General/BinaryShape.h says how,
// and the ORVANE_* declarations below read, for Microsoft's compiler, as the natural ones named
// in their comments.
#pragma once

#include "Common/General/BinaryShape.h"
#include "Common/General/ProgressCallback.h"
#include "Common/General/TArray.h"
#include "Common/General/TString.h"

#include <cstdint>

#if defined(ORVANE_BUILDING_LIBRARY)
#ifdef _WIN32
#define ORVANE_API __declspec(dllexport)
#else
#define ORVANE_API __attribute__((visibility("default")))
#endif
#elif defined(_WIN32)
#define ORVANE_API __declspec(dllimport)
#else
#define ORVANE_API
#endif

namespace OrvaneLib {

class ulIPackage {
public:
    // virtual ~ulIPackage()
    ORVANE_INTERFACE_DESTRUCTOR(ulIPackage)
    // Writes "Version", then "Path"; false when either is empty or cannot be written.
    virtual bool registerPackage(const TString& path, const TString& version) = 0;
    // True when the package's "Path" is not empty.
    virtual bool isInstalled() const = 0;
    // The package id, valid as long as the object lives.
    virtual const TString& getName() const = 0;
    // virtual TString getPath() const
    ORVANE_RESULT_OPERATION(TString, getPath)
    // virtual TString getVersion() const
    ORVANE_RESULT_OPERATION(TString, getVersion)
    // Deletes the package's record; true also when there was none.
    virtual bool unregisterPackage() = 0;
};

class ulIApplication {
public:
    // virtual ~ulIApplication()
    ORVANE_INTERFACE_DESTRUCTOR(ulIApplication)
    // Writes the record and the Windows uninstall entry; stops with false at the first empty or
    // unwritable value.
    virtual bool registerApplication(const TString& path, const TString& installPath,
                                     const TString& displayName, const TString& version,
                                     const TString& displayIcon) = 0;
    // True when the record's "Path" or the uninstall entry's "DisplayName" is not empty.
    virtual bool isInstalled() const = 0;
    // Deletes the game's folder and user-data folder through the Shell, then, once they are
    // verified gone, the record and the uninstall entry. False at the first failed step, with
    // everything after it untouched. An empty callable is never called.
    // virtual bool uninstall(ProgressCallback progress)
    ORVANE_BY_VALUE_OPERATION(bool, uninstall, ProgressCallback, progress)
    // virtual TString getPath() const, and so on
    ORVANE_RESULT_OPERATION(TString, getPath)
    ORVANE_RESULT_OPERATION(TString, getInstallPath)
    ORVANE_RESULT_OPERATION(TString, getVersion)
    ORVANE_RESULT_OPERATION(TString, getDisplayName)
    virtual void setTotalSize(uint64_t size) = 0;
    virtual uint64_t getTotalSize() const = 0;
    virtual void setInstallSize(uint64_t size) = 0;
    virtual uint64_t getInstallSize() const = 0;
    // An empty text leaves the stored value in place.
    virtual void setCompatibilityFlags(const TString& flags) = 0;
    ORVANE_RESULT_OPERATION(TString, getCompatibilityFlags)
    // A new package object for this application; touches no registry data.
    virtual ulIPackage* createPackage(const TString& packageId) const = 0;
    // One new package object per recorded package; the array owns them.
    // virtual TPointerArray<ulIPackage*> getPackages() const
    ORVANE_RESULT_OPERATION(TPointerArray<ulIPackage*>, getPackages)
    // -1 when not set.
    virtual int32_t getVFSVersion() const = 0;
    virtual void setVFSVersion(int32_t version) = 0;
    virtual void setUPID(int32_t upid) = 0;
    // -1 when not set.
    virtual int32_t getUPID() const = 0;
};

// Client-wide settings. Never released, so it has no public destructor.
class ulIClient {
public:
    virtual void setCurrentBandwidth(uint64_t bandwidth) = 0;
    virtual uint64_t getCurrentBandwidth() const = 0;
    virtual void setMaxMeasuredBandwidth(uint64_t bandwidth) = 0;
    virtual uint64_t getMaxMeasuredBandwidth() const = 0;
    virtual void setThirdPartyFlag(uint32_t id, bool flag) = 0;
    virtual bool getThirdPartyFlag(uint32_t id) const = 0;

protected:
    ~ulIClient() = default;
};

}  // namespace OrvaneLib

ORVANE_DEFAULT_DELETE(OrvaneLib::ulIPackage)
ORVANE_DEFAULT_DELETE(OrvaneLib::ulIApplication)

extern "C" {
// A new application object for the id (not looked up: a game without a record reads as not
// installed, with default properties).
ORVANE_API OrvaneLib::ulIApplication* createApplication(const OrvaneLib::TString& applicationId);
ORVANE_API OrvaneLib::ulIClient* createClient();
// Replaces the array's contents with the ids of all recorded games.
ORVANE_API void getInstalledGames(OrvaneLib::TArray<OrvaneLib::TString>& games);
}
