// The host's side of the log: the executable exports outputLogString, through which the library
// (and the host's own foundation code) hands over every log line.
#pragma once

#include <string>

namespace OrvaneHost {

// Verbose: every line goes to stderr. Otherwise only errors and warnings.
void setVerboseLog(bool verbose);

// The text of the last line received at any level, without its line feed: the library explains
// why an operation stopped only in its log.
std::string lastLogText();

}  // namespace OrvaneHost
