// TException and reportError: the one way the library reports a failure.
#pragma once

#include "Common/General/BinaryShape.h"

#include <cstdint>

namespace OrvaneLib {

// The record that travels with the structured exception of code 1 to the host's handler, which
// owns it and deletes it through the virtual destructor. The host reads the fields at their
// offsets, so their order and widths are fixed.
class TException final {
public:
    TException(const char* message, const char* detail, const char* categoryName, int32_t category,
               int32_t severity, uint32_t systemError, const char* file, int32_t line);
    // Slot 0, the one virtual operation (see BinaryShape.h).
    ORVANE_FINAL_DESTRUCTOR(TException)
    TException(const TException&) = delete;
    TException& operator=(const TException&) = delete;

    char* file;          // the reporting source file
    char* categoryName;  // the category's text, never its number
    char* detail;
    char* message;  // the logged text: the message and one line feed
    int32_t category;
    int32_t line;
    int32_t severity;
    uint32_t systemError;  // the reporting thread's last Windows error

private:
    void freeTexts() noexcept;
};

// The code of the structured exception that carries a TException.
constexpr uint32_t kReportedErrorCode = 1;

// Category texts: 1, 2, 3, 8 and 9 have their own; every other number is "Unknown".
const char* errorCategoryName(int32_t category);

// Logs the message (level 1 for severity 2 and above, else 2) and, when the severity is above the
// threshold of the log mode (1 for mode >= 1, else 0), raises the structured exception of code 1
// with a new TException. When a handler resumes, the call returns and the reporting site goes on
// with its own failure path. Without a log system (before load, after unload) nothing is logged
// and the mode counts as 1.
void reportError(const char* message, const char* detail, int32_t category, int32_t severity,
                 const char* file, int32_t line);

}  // namespace OrvaneLib
