// What only the stand-in for kernel32 promises: the exception that takes the place of an unwind,
// and refusals that Windows documents but not every imitation of it makes.
#include "win32/Win32Api.h"

#include <gtest/gtest.h>

namespace {

int handlerCalls = 0;

template <LONG Result>
LONG WINAPI counter(PEXCEPTION_POINTERS) {
    ++handlerCalls;
    return Result;
}

// Raises with the handler registered; the exception that leaves the raise.
PalStructuredException raiseThrough(PVECTORED_EXCEPTION_HANDLER handler, DWORD flags) {
    handlerCalls = 0;
    PVOID handles[] = {AddVectoredExceptionHandler(0, handler),
                       AddVectoredExceptionHandler(0, counter<EXCEPTION_CONTINUE_SEARCH>)};
    ULONG_PTR arguments[20] = {};
    arguments[14] = 114;
    PalStructuredException left{EXCEPTION_RECORD{}};
    try {
        RaiseException(0xE0000001, flags, 20, arguments);
        ADD_FAILURE() << "the raise returned";
    } catch (const PalStructuredException& exception) {
        left = exception;
    }
    for (PVOID handle : handles) {
        RemoveVectoredExceptionHandler(handle);
    }
    return left;
}

TEST(UnresumedRaise, ThrowsTheRecordAndNeverResumesNonContinuable) {
    const PalStructuredException declined = raiseThrough(counter<EXCEPTION_EXECUTE_HANDLER>, 0x6);
    EXPECT_EQ(2, handlerCalls);
    EXPECT_EQ(0xE0000001u, declined.code());
    EXPECT_EQ(0u, declined.flags());
    ASSERT_EQ(static_cast<DWORD>(EXCEPTION_MAXIMUM_PARAMETERS), declined.argumentCount());
    EXPECT_EQ(114u, declined.argument(14));
    // The request to continue ends the dispatch.
    const PalStructuredException stopped = raiseThrough(counter<EXCEPTION_CONTINUE_EXECUTION>, 1);
    EXPECT_EQ(1, handlerCalls);
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_NONCONTINUABLE), stopped.flags());
}

void expectFailure(bool failed, DWORD error) {
    EXPECT_TRUE(failed);
    EXPECT_EQ(error, GetLastError());
}

TEST(Pal, RefusesArgumentsItCanNotServe) {
    WCHAR wide[4] = {0x7F7F};
    char bytes[8];
    BOOL usedDefault = FALSE;
    expectFailure(!AddVectoredExceptionHandler(1, nullptr), ERROR_INVALID_PARAMETER);
    expectFailure(!GetModuleHandleW(W("kernel32.dll")), ERROR_MOD_NOT_FOUND);
    expectFailure(!GetProcAddress(reinterpret_cast<HMODULE>(0x10000), "outputLogString"),
                  ERROR_MOD_NOT_FOUND);
    // An ordinal stands where the name's address would be; it must not be read as text.
    expectFailure(!GetProcAddress(nullptr, reinterpret_cast<LPCSTR>(1)), ERROR_PROC_NOT_FOUND);
    expectFailure(!CreateMutexW(nullptr, FALSE, W("Global\\Orvane")), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(_NLSCMPERROR, _wcsicmp(nullptr, W("a")));
    expectFailure(!MultiByteToWideChar(CP_UTF8, 1, "a", 1, wide, 4), ERROR_INVALID_FLAGS);
    expectFailure(!WideCharToMultiByte(CP_UTF8, 0, W("a"), 1, bytes, 8, "?", nullptr),
                  ERROR_INVALID_PARAMETER);
    expectFailure(!WideCharToMultiByte(CP_UTF8, 0, W("a"), 1, bytes, 8, nullptr, &usedDefault),
                  ERROR_INVALID_PARAMETER);
    expectFailure(!MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<char*>(wide), 1, wide, 4),
                  ERROR_INVALID_PARAMETER);
    // Half of a surrogate pair is never written.
    expectFailure(!MultiByteToWideChar(CP_UTF8, 0, "\xF0\x9F\x98\x80", 4, wide, 1),
                  ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(0x7F7F, wide[0]);
}

}  // namespace
