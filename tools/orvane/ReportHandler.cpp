#include "tools/orvane/ReportHandler.h"

#include "Common/General/TException.h"
#include "win32/Win32Api.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace OrvaneHost {

namespace {

LONG WINAPI handleReport(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != OrvaneLib::kReportedErrorCode || record->NumberParameters < 1 ||
        record->ExceptionInformation[0] == 0) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    auto* report = reinterpret_cast<OrvaneLib::TException*>(record->ExceptionInformation[0]);
    std::string message = report->message;
    if (!message.empty() && message.back() == '\n') {
        message.pop_back();
    }
    fprintf(stderr, "orvane: severe failure: %s, severity %d: %s [%s:%d]", report->categoryName,
            static_cast<int>(report->severity), message.c_str(), report->file,
            static_cast<int>(report->line));
    if (report->systemError != 0) {
        fprintf(stderr, " (system error %u)", static_cast<unsigned>(report->systemError));
    }
    fputc('\n', stderr);
    // The record came from the reporting module's heap; its own destructor returns it there.
    delete report;
    exit(kSevereFailureStatus);
}

}  // namespace

void installReportHandler() {
    AddVectoredExceptionHandler(1, handleReport);
}

void raiseTestReport() {
    SetLastError(0);
    OrvaneLib::reportError("Test report raised on request", "D", 3, 3,
                           "tools\\orvane\\ReportHandler.cpp", __LINE__);
    // Only reached when no handler took the report.
    abort();
}

}  // namespace OrvaneHost
