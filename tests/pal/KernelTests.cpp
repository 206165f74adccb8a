// kernel32 as the library uses it. Only the Windows API is used here, so that these tests also run
// against the system's own kernel32.
#include "support/LogHook.h"
#include "win32/Win32Api.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using TWide = std::basic_string<WCHAR>;
constexpr unsigned R = 0xFFFD;

TWide units(std::initializer_list<unsigned> values) {
    return TWide(values.begin(), values.end());
}

// Both conversions measure first and then convert, as their callers do; the two calls must agree.
TWide toUtf16(const std::string& bytes) {
    const int count = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), count, nullptr, 0);
    TWide text(needed, WCHAR(0x7F7F));
    EXPECT_EQ(needed, MultiByteToWideChar(CP_UTF8, 0, bytes.data(), count, &text[0], needed));
    return text;
}

std::string toUtf8(const TWide& text) {
    const int count = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), count, nullptr, 0, 0, 0);
    std::string bytes(needed, '#');
    EXPECT_EQ(needed, WideCharToMultiByte(CP_UTF8, 0, text.data(), count, &bytes[0], needed, 0, 0));
    return bytes;
}

void expectFailure(int result, DWORD error) {
    EXPECT_EQ(0, result);
    EXPECT_EQ(error, GetLastError());
}

// Each bad piece becomes one U+FFFD, cut as Windows cuts it, and conversion goes on after it.
TEST(TextConversion, ConvertsWellFormedTextBothWaysAndReplacesBadPieces) {
    enum { both, toWide, toBytes };
    const struct {
        std::string utf8;
        TWide utf16;
        int direction;
    } cases[] = {
        {"\xC3\xA9t\xE2\x82\xAC", units({0xE9, 't', 0x20AC}), both},
        {"\xF0\x9F\x98\x80", units({0xD83D, 0xDE00}), both},
        {"\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
         units({0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xE000, 0xFFFF, 0xDBFF, 0xDFFF}), both},
        {std::string("a\0b", 3), units({'a', 0, 'b'}), both},
        {"a\x80z", units({'a', R, 'z'}), toWide},  // stray continuation bytes
        {"a\xE2\x82", units({'a', R}), toWide},    // truncated sequences
        {"\xF0\x9F\x98z", units({R, 'z'}), toWide},
        {"\xC2\xC3\xA9", units({R, 0xE9}), toWide},
        {"\xC0\x80\xF5\xFF", units({R, R, R, R}), toWide},  // bytes that never start a sequence
        {"\xE0\x80\x80z", units({R, R, 'z'}), toWide},      // overlong forms
        {"\xED\xA0\x80", units({R, R}), toWide},            // an encoded surrogate
        {"\xF4\x90\x80\x80", units({R, R, R}), toWide},     // above U+10FFFF
        {"\xF8\x88\x80\x80\x80", units({R, R, R, R, R}), toWide},
        {"a\xEF\xBF\xBDz", units({'a', 0xD83D, 'z'}), toBytes},  // unpaired surrogates
        {"a\xEF\xBF\xBD", units({'a', 0xD83D}), toBytes},
        {"\xEF\xBF\xBD\xEF\xBF\xBD", units({0xDE00, 0xD83D}), toBytes},
    };
    for (const auto& text : cases) {
        SCOPED_TRACE(text.utf8);
        SetLastError(1234);
        if (text.direction != toBytes) {
            EXPECT_EQ(text.utf16, toUtf16(text.utf8));
        }
        if (text.direction != toWide) {
            EXPECT_EQ(text.utf8, toUtf8(text.utf16));
        }
        EXPECT_EQ(1234u, GetLastError());
    }
}

TEST(TextConversion, CountsBuffersAndFailures) {
    // A negative count includes the terminator; an explicit count adds none.
    WCHAR wide[4] = {1, 1, 1, 1};
    EXPECT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, "ab", -1, wide, 0));
    EXPECT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, "ab", -2, wide, 4));
    EXPECT_EQ(2, MultiByteToWideChar(CP_UTF8, 0, "cd\0", 2, wide + 2, 2));
    EXPECT_EQ(units({'a', 'b', 'c', 'd'}), TWide(wide, 4));
    char bytes[5] = {1, 1, 1, 1, 1};
    EXPECT_EQ(4, WideCharToMultiByte(CP_UTF8, 0, units({0x20AC, 0}).c_str(), -1, bytes, 4, 0, 0));
    EXPECT_EQ(std::string("\xE2\x82\xAC\0\1", 5), std::string(bytes, 5));

    const WCHAR lone[] = {0xD800, 0};
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 3), ERROR_INSUFFICIENT_BUFFER);
    expectFailure(WideCharToMultiByte(CP_UTF8, 0, W("\u00E9\u20AC"), 2, bytes, 4, 0, 0),
                  ERROR_INSUFFICIENT_BUFFER);
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, wide, 4), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, wide, 4), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 4), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(CP_UTF8, 0, W("a"), 1, bytes, -1, 0, 0),
                  ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(12345, 0, "abc", 3, nullptr, 0), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(CP_UTF8, 1, W("a"), 1, nullptr, 0, 0, 0),
                  ERROR_INVALID_FLAGS);
    expectFailure(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\x80", 2, nullptr, 0),
                  ERROR_NO_UNICODE_TRANSLATION);
    expectFailure(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 1, nullptr, 0, 0, 0),
                  ERROR_NO_UNICODE_TRANSLATION);
}

template <typename Work>
void onOtherThread(Work work) {
    std::thread(work).join();
}

TEST(Mutex, IsReentrantForItsOwnerAndOnlyTheOwnerReleasesIt) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    ASSERT_NE(nullptr, mutex);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, INFINITE));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0));
    EXPECT_TRUE(ReleaseMutex(mutex));
    onOtherThread([mutex] {
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(mutex, 20));
        expectFailure(ReleaseMutex(mutex), ERROR_NOT_OWNER);
    });
    std::thread waiter([mutex] {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, INFINITE));
        EXPECT_TRUE(ReleaseMutex(mutex));
    });
    EXPECT_TRUE(ReleaseMutex(mutex));
    waiter.join();
    expectFailure(ReleaseMutex(mutex), ERROR_NOT_OWNER);
    // An owner that ends abandons it to the next waiter, who does not inherit its count.
    onOtherThread([mutex] {
        WaitForSingleObject(mutex, INFINITE);
        WaitForSingleObject(mutex, INFINITE);
    });
    EXPECT_EQ(WAIT_ABANDONED, WaitForSingleObject(mutex, 0));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_TRUE(CloseHandle(mutex));
}

TEST(Mutex, InitialOwnerIsTheCreatorAndClosedHandlesAreRejected) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
    onOtherThread(
        [mutex] { EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(mutex, 0)); });
    EXPECT_TRUE(CloseHandle(mutex));
    for (HANDLE handle : {mutex, static_cast<HANDLE>(nullptr)}) {
        expectFailure(CloseHandle(handle), ERROR_INVALID_HANDLE);
        EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(handle, 0));
        expectFailure(ReleaseMutex(handle), ERROR_INVALID_HANDLE);
    }
}

// The handlers record their calls; a resuming one ends each raise, so that it returns everywhere.
std::string calls;
EXCEPTION_RECORD seen;
PVOID selfRemoving;

template <char Name, LONG Result>
LONG WINAPI recorder(PEXCEPTION_POINTERS info) {
    calls += Name;
    seen = *info->ExceptionRecord;
    return Result;
}
const PVECTORED_EXCEPTION_HANDLER handlerA = recorder<'A', EXCEPTION_CONTINUE_SEARCH>;
const PVECTORED_EXCEPTION_HANDLER handlerB = recorder<'B', EXCEPTION_CONTINUE_SEARCH>;
const PVECTORED_EXCEPTION_HANDLER resume = recorder<'R', EXCEPTION_CONTINUE_EXECUTION>;

LONG WINAPI removesItself(PEXCEPTION_POINTERS) {
    calls += 'S';
    EXPECT_EQ(1u, RemoveVectoredExceptionHandler(selfRemoving));
    // Another thread may change the handlers while this one runs.
    onOtherThread([] { RemoveVectoredExceptionHandler(AddVectoredExceptionHandler(0, handlerB)); });
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST(VectoredHandlers, RunInOrderWithFirstInFrontUntilOneResumesAndRemoveOnce) {
    calls.clear();
    std::vector<PVOID> added = {
        AddVectoredExceptionHandler(0, handlerA), AddVectoredExceptionHandler(0, resume),
        AddVectoredExceptionHandler(0, handlerB), AddVectoredExceptionHandler(1, handlerB)};
    ULONG_PTR arguments[20] = {7, 8};
    arguments[14] = 114;
    RaiseException(0xE0001234, 0, 2, arguments);
    EXPECT_EQ("BAR", calls);
    EXPECT_EQ((std::vector<ULONG_PTR>{0xE0001234, 0, 2, 8}),
              (std::vector<ULONG_PTR>{seen.ExceptionCode, seen.ExceptionFlags,
                                      seen.NumberParameters, seen.ExceptionInformation[1]}));
    // No more parameters than a record holds are copied, and none from a null array.
    RaiseException(1, 0, 20, arguments);
    EXPECT_EQ((std::vector<ULONG_PTR>{EXCEPTION_MAXIMUM_PARAMETERS, 114}),
              (std::vector<ULONG_PTR>{seen.NumberParameters, seen.ExceptionInformation[14]}));
    RaiseException(1, 0, 3, nullptr);
    EXPECT_EQ(0u, seen.NumberParameters);

    // A handler may remove itself while it runs; a removed handler is not called again.
    for (PVOID handle : added) {
        EXPECT_EQ(1u, RemoveVectoredExceptionHandler(handle));
        EXPECT_EQ(0u, RemoveVectoredExceptionHandler(handle));
    }
    calls.clear();
    PVOID a = AddVectoredExceptionHandler(0, handlerA);
    selfRemoving = AddVectoredExceptionHandler(0, removesItself);
    PVOID last = AddVectoredExceptionHandler(0, resume);
    RaiseException(1, 0, 0, nullptr);
    EXPECT_EQ(1u, RemoveVectoredExceptionHandler(a));
    RaiseException(1, 0, 0, nullptr);
    EXPECT_EQ("ASRR", calls);
    EXPECT_EQ(1u, RemoveVectoredExceptionHandler(last));
}

TEST(Loader, FindsOnlyWhatTheExecutableExports) {
    HMODULE executable = GetModuleHandleW(nullptr);
    FARPROC found = GetProcAddress(executable, "outputLogString");
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(found, GetProcAddress(nullptr, "outputLogString"));
    // Through void (*)(), the type that may stand for any function.
    using TLogHook = void (*)(const char*, const char*, const char*, int, int);
    OrvaneTest::clearLoggedLines();
    reinterpret_cast<TLogHook>(reinterpret_cast<void (*)()>(found))("m", "text\n", "f", 1, 0);
    ASSERT_EQ(1u, OrvaneTest::loggedLines().size());
    EXPECT_EQ("text\n", OrvaneTest::loggedLines()[0].text);
    // Defined by a library the executable loaded, defined but not exported, and nowhere at all.
    for (const char* name : {"GetLastError", "main", "noSuchExport"}) {
        expectFailure(GetProcAddress(executable, name) != nullptr, ERROR_PROC_NOT_FOUND);
    }
}

}  // namespace
