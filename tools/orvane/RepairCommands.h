// The commands that restore and repair records. Each returns the process's exit status (the
// constants of Commands.h).
#pragma once

#include <string>
#include <vector>

namespace OrvaneHost {

// Applies a Registry Editor file, or only prints what it would change.
int importRecords(const std::string& file, bool dryRun);

struct TDoctorRequest {
    std::vector<std::string> ids;  // every game when empty
    bool json = false;
    bool fix = false;
    bool forgetMissing = false;
    std::string backupFile;  // a timestamped name in the current directory when empty
};
// Checks the records and the uninstall entries, and with fix repairs what can be repaired.
int doctorRecords(const TDoctorRequest& request);

}  // namespace OrvaneHost
