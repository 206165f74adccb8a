// Catches the reports that reportError raises, as a host's handler would, for tests of the code
// that reports. Its executable counts allocations (AllocationCounter).
#pragma once

#include "Common/General/TException.h"
#include "Common/General/TLogSystem.h"
#include "win32/Win32Api.h"

#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace OrvaneTest {

// While alive, keeps the TException of every report and resumes after it, as a host handler may.
// The log runs in mode 0, so that severity 1 reports are raised too and can be inspected. One
// instance at a time.
class RaisedReports {
public:
    RaisedReports() {
        active_ = this;
        savedMode_ = log_->getMode();
        log_->setMode(0);
        handle_ = AddVectoredExceptionHandler(1, &RaisedReports::handler);
    }
    ~RaisedReports() {
        RemoveVectoredExceptionHandler(handle_);
        log_->setMode(savedMode_);
        active_ = nullptr;
    }
    RaisedReports(const RaisedReports&) = delete;
    RaisedReports& operator=(const RaisedReports&) = delete;

    const std::vector<std::unique_ptr<OrvaneLib::TException>>& records() const { return records_; }

    // Once this many reports are kept, the next allocation fails.
    size_t failAllocationAfterReports = SIZE_MAX;

private:
    static LONG WINAPI handler(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD* record = info->ExceptionRecord;
        if (active_ == nullptr || record->ExceptionCode != OrvaneLib::kReportedErrorCode) {
            return EXCEPTION_CONTINUE_SEARCH;
        }
        EXPECT_EQ(record->ExceptionFlags, 0u);  // continuable, with the record as its one argument
        EXPECT_EQ(record->NumberParameters, 1u);
        active_->records_.emplace_back(
            reinterpret_cast<OrvaneLib::TException*>(record->ExceptionInformation[0]));
        if (active_->records_.size() == active_->failAllocationAfterReports) {
            failAllocationAfter(0);
        }
        return EXCEPTION_CONTINUE_EXECUTION;
    }

    static inline RaisedReports* active_ = nullptr;
    // The log system whose mode was changed, even when the test replaces the process-wide one.
    std::shared_ptr<OrvaneLib::TLogSystem> log_ = OrvaneLib::logSystem;
    std::vector<std::unique_ptr<OrvaneLib::TException>> records_;
    int32_t savedMode_ = 0;
    void* handle_ = nullptr;
};

}  // namespace OrvaneTest
