// What a path names, told by the object's identity rather than by the path's spelling: two paths
// name the same folder exactly when their identities are equal, however they are written (case,
// separators, trailing dots, 8.3 aliases, links on the way, drive letters that map to one place).
#pragma once

#include "Common/General/TString.h"

#include <cstdint>
#include <vector>

namespace OrvaneLib {

struct TFileIdentity {
    uint32_t volume = 0;
    uint64_t index = 0;
    bool operator==(const TFileIdentity&) const = default;
};

enum class TLookup {
    found,
    missing,  // nothing is there, or its volume can not be reached
    failed,   // something may be there, but its identity can not be read
};

struct TFolderIdentity {
    TLookup lookup = TLookup::missing;
    uint32_t error = 0;  // the system's code when the lookup failed
    TFileIdentity identity;
    // The object's final path, links resolved: "/" separators, no trailing separator but at the
    // root ("C:/Games/A", "C:/", "//server/share/x").
    TString finalPath;
};

// The identity of the file or folder at `path`, links followed.
TFolderIdentity readFolderIdentity(const TString& path);

// The identities of the folders that hold `finalPath` (a final path as above), from its parent up
// to the root of its volume. False, with `failure` telling why, when one of them can not be read.
bool readAncestorIdentities(const TString& finalPath, std::vector<TFileIdentity>& identities,
                            TFolderIdentity& failure);

}  // namespace OrvaneLib
