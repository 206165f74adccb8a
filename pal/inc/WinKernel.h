// kernel32 and winmm: text conversion, last error, mutexes, the loader, structured exceptions,
// the timer resolution.
#pragma once

#include "pal/inc/WinTypes.h"

#include <stdexcept>

// System error codes that only these functions return.
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L

// Text conversion. Only code page 65001 (UTF-8) is supported, with the results Windows gives: a
// measuring call with no output buffer, -1 counting the terminator, malformed UTF-8 turned into
// U+FFFD, an unpaired surrogate turned into U+FFFD, and ERROR_INSUFFICIENT_BUFFER when the output
// does not fit. The only flags UTF-8 accepts are the ones that make malformed input fail the call
// with ERROR_NO_UNICODE_TRANSLATION instead; any other code page is ERROR_INVALID_PARAMETER.
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_ERR_INVALID_CHARS 0x00000080u
PAL_API int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByte,
                                       int multiByteCount, LPWSTR wide, int wideCount);
PAL_API int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wide, int wideCount,
                                       LPSTR multiByte, int multiByteCount, LPCCH defaultChar,
                                       LPBOOL usedDefaultChar);

// Case-insensitive comparison of UTF-16 text as the C runtime's default locale does it: only the
// letters A to Z fold onto a to z; every other unit compares by its value. The result is the
// difference of the first pair of folded units that differ. A null text gives _NLSCMPERROR (and
// errno EINVAL), as the C runtime does when its invalid-parameter handler returns.
#define _NLSCMPERROR 2147483647
PAL_API int _wcsicmp(const WCHAR* a, const WCHAR* b);
PAL_API int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count);

// The process's environment, the host's own variables under the same names, values in UTF-8.
// Return values as GetCurrentDirectoryW; a variable that is not set gives 0 with
// ERROR_ENVVAR_NOT_FOUND.
#define ERROR_ENVVAR_NOT_FOUND 203L
PAL_API DWORD WINAPI GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size);

// The calling thread's last error.
PAL_API DWORD WINAPI GetLastError();
PAL_API void WINAPI SetLastError(DWORD errorCode);

// Mutexes: an unnamed mutex is owned by one thread at a time and is re-entrant for its owner. A
// thread that ends while owning one abandons it: the next wait returns WAIT_ABANDONED and owns it.
// Named mutexes are process-wide objects on Windows; they are refused with ERROR_NOT_SUPPORTED
// rather than silently made private. Handles are checked: an unknown or closed handle gives
// ERROR_INVALID_HANDLE.
PAL_API HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner,
                                   LPCWSTR name);
PAL_API DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
PAL_API BOOL WINAPI ReleaseMutex(HANDLE mutex);
PAL_API BOOL WINAPI CloseHandle(HANDLE handle);

// The loader: GetModuleHandleW(nullptr) is the executable, whose exported names GetProcAddress
// finds (a null module means the executable too). Names that only a shared library defines are not
// the executable's and are not found; neither are ordinals. Any other module is
// ERROR_MOD_NOT_FOUND.
PAL_API HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName);
PAL_API FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);

// Structured exceptions.
struct CONTEXT;
typedef CONTEXT* PCONTEXT;

struct EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    EXCEPTION_RECORD* ExceptionRecord;
    PVOID ExceptionAddress;
    DWORD NumberParameters;
    ULONG_PTR ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};
typedef EXCEPTION_RECORD* PEXCEPTION_RECORD;

struct EXCEPTION_POINTERS {
    PEXCEPTION_RECORD ExceptionRecord;
    PCONTEXT ContextRecord;
};
typedef EXCEPTION_POINTERS* PEXCEPTION_POINTERS;

typedef LONG(WINAPI* PVECTORED_EXCEPTION_HANDLER)(PEXCEPTION_POINTERS exceptionInfo);

// Handlers run in registration order; `first` non-zero puts a handler in front. Each gets the
// record (flags reduced to EXCEPTION_NONCONTINUABLE, at most EXCEPTION_MAXIMUM_PARAMETERS
// arguments) and a null context. A handler that returns EXCEPTION_CONTINUE_EXECUTION resumes after
// the raise. Otherwise RaiseException throws PalStructuredException, which stands in for the
// unwind to an exception filter of the host. A non-continuable exception is never resumed: a
// handler's request to continue ends the dispatch and the exception is thrown as raised (Windows
// would raise EXCEPTION_NONCONTINUABLE_EXCEPTION instead). Handlers may be added and removed from
// any thread and from inside a handler; a raise calls the handlers registered when it starts,
// except those removed before their turn.
PAL_API PVOID WINAPI AddVectoredExceptionHandler(ULONG first, PVECTORED_EXCEPTION_HANDLER handler);
PAL_API ULONG WINAPI RemoveVectoredExceptionHandler(PVOID handle);
PAL_API void WINAPI RaiseException(DWORD code, DWORD flags, DWORD argumentCount,
                                   const ULONG_PTR* arguments);

class __attribute__((visibility("default"))) PalStructuredException : public std::exception {
public:
    explicit PalStructuredException(const EXCEPTION_RECORD& record) : record_(record) {}
    const EXCEPTION_RECORD& record() const { return record_; }
    DWORD code() const { return record_.ExceptionCode; }
    DWORD flags() const { return record_.ExceptionFlags; }
    DWORD argumentCount() const { return record_.NumberParameters; }
    ULONG_PTR argument(DWORD index) const { return record_.ExceptionInformation[index]; }
    const char* what() const noexcept override { return "structured exception"; }

private:
    EXCEPTION_RECORD record_;
};

// winmm: the system timer resolution.
#define TIMERR_NOERROR 0u
#define TIMERR_NOCANDO 97u
// A period of 0 is TIMERR_NOCANDO. This system has no timer resolution to raise: a valid request is
// only counted.
typedef UINT MMRESULT;
PAL_API MMRESULT WINAPI timeBeginPeriod(UINT periodMilliseconds);
