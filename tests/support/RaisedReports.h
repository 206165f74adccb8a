// Catches the reports that reportError raises, as a host's handler would, for tests of the code
// that reports.
#pragma once

#include "Common/General/TException.h"
#include "Common/General/TLogSystem.h"
#include "platform/Win32Api.h"

#include <functional>
#include <memory>
#include <vector>

namespace OrvaneTest {

// While alive, keeps the TException of every report and either resumes after it (as a host handler
// may) or lets the raise go on to unwind. The log runs in mode 0, so that severity 1 reports are
// raised too and can be inspected. afterRaise runs inside the handler once the record is kept, for
// example to make the next allocation fail. One instance at a time.
class RaisedReports {
public:
    explicit RaisedReports(bool resume = true) : resume_(resume) {
        active_ = this;
        savedMode_ = OrvaneLib::logSystem->getMode();
        OrvaneLib::logSystem->setMode(0);
        handle_ = AddVectoredExceptionHandler(1, &RaisedReports::handler);
    }
    ~RaisedReports() {
        RemoveVectoredExceptionHandler(handle_);
        OrvaneLib::logSystem->setMode(savedMode_);
        active_ = nullptr;
    }
    RaisedReports(const RaisedReports&) = delete;
    RaisedReports& operator=(const RaisedReports&) = delete;

    const std::vector<std::unique_ptr<OrvaneLib::TException>>& records() const { return records_; }

    std::function<void()> afterRaise;

private:
    static LONG WINAPI handler(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD* record = info->ExceptionRecord;
        if (active_ == nullptr || record->ExceptionCode != OrvaneLib::kReportedErrorCode) {
            return EXCEPTION_CONTINUE_SEARCH;
        }
        active_->records_.emplace_back(
            reinterpret_cast<OrvaneLib::TException*>(record->ExceptionInformation[0]));
        if (active_->afterRaise) {
            active_->afterRaise();
        }
        return active_->resume_ ? EXCEPTION_CONTINUE_EXECUTION : EXCEPTION_CONTINUE_SEARCH;
    }

    static inline RaisedReports* active_ = nullptr;
    std::vector<std::unique_ptr<OrvaneLib::TException>> records_;
    bool resume_;
    int32_t savedMode_;
    void* handle_;
};

}  // namespace OrvaneTest
