// The host's handler for the structured exception of code 1, by which the library (and the
// foundation code the host shares) reports a severe failure with a TException.
#pragma once

namespace OrvaneHost {

// The exit status after a severe failure.
constexpr int kSevereFailureStatus = 3;

// Registers a vectored handler that prints the report to stderr, deletes it through its virtual
// destructor and ends the process with kSevereFailureStatus. Other exceptions pass on.
void installReportHandler();

// Raises a report of severity 3 the way the library does, so that the handler can be checked
// from the outside: no library call raises one on demand.
[[noreturn]] void raiseTestReport();

}  // namespace OrvaneHost
