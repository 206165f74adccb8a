#include "Common/General/TException.h"

#include "Common/General/Heap.h"
#include "Common/General/TLogSystem.h"
#include "Common/General/TString.h"
#include "win32/Win32Api.h"

#include <cstring>

namespace OrvaneLib {

// The host reads this record at fixed offsets: a virtual table pointer, four text pointers and
// four 32-bit numbers.
static_assert(sizeof(void*) != 4 || sizeof(TException) == 36,
              "TException is 36 bytes in the 32-bit build");

namespace {

char sharedEmptyText[1] = {'\0'};

char* copyText(const char* text) {
    if (text == nullptr) {
        return sharedEmptyText;
    }
    size_t size = strlen(text) + 1;
    char* copy = static_cast<char*>(heapAllocate(size));
    memcpy(copy, text, size);
    return copy;
}

void freeText(char* text) {
    if (text != sharedEmptyText) {
        heapFree(text);
    }
}

}  // namespace

TException::TException(const char* message, const char* detail, const char* categoryName,
                       int32_t category, int32_t severity, uint32_t systemError, const char* file,
                       int32_t line)
    : file(sharedEmptyText),
      categoryName(sharedEmptyText),
      detail(sharedEmptyText),
      message(sharedEmptyText),
      category(category),
      line(line),
      severity(severity),
      systemError(systemError) {
    try {
        this->message = copyText(message);
        this->detail = copyText(detail);
        this->categoryName = copyText(categoryName);
        this->file = copyText(file);
    } catch (...) {
        freeTexts();
        throw;
    }
}

TException::~TException() {
    freeTexts();
}

void TException::freeTexts() noexcept {
    freeText(file);
    freeText(categoryName);
    freeText(detail);
    freeText(message);
    file = categoryName = detail = message = sharedEmptyText;
}

const char* errorCategoryName(int32_t category) {
    switch (category) {
        case 1:
            return "General programming";
        case 2:
            return "Script programming";
        case 3:
            return "QVX programming (please report to Tavimor)";
        case 8:
            return "Input (file or other input is incorrect)";
        case 9:
            return "Hardware error";
        default:
            return "Unknown";
    }
}

void reportError(const char* message, const char* detail, int32_t category, int32_t severity,
                 const char* file, int32_t line) {
    DWORD lastError = GetLastError();
    std::shared_ptr<TLogSystem> log = logSystem;

    TString logText(message != nullptr ? message : "");
    logText += '\n';
    if (log) {
        log->write(logText.c_str(), file, line, severity >= 2 ? kLogError : kLogWarning);
    }

    // Read after the write, as a sink may run long; without a log system the library's own mode.
    int32_t mode = log ? log->getMode() : TLogSystem::kDefaultMode;
    int32_t threshold = mode >= 1 ? 1 : 0;
    if (severity <= threshold) {
        return;
    }
    auto* exception = new TException(logText.c_str(), detail, errorCategoryName(category), category,
                                     severity, lastError, file, line);
    // Freed before the raise: an unwind to the host's handler may skip this frame's destructors.
    logText = TString();
    log.reset();
    ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(exception);
    SetLastError(lastError);
    RaiseException(kReportedErrorCode, 0, 1, &argument);
}

}  // namespace OrvaneLib
