// The system's message texts (FormatMessageW) and the memory it hands out (LocalFree).
#include "pal/inc/WinKernel.h"
#include "pal/inc/WinRegistry.h"

#include "pal/src/Faults.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <unordered_set>

namespace {

struct TMessage {
    DWORD code;
    const WCHAR* text;
};

// The Windows English texts, sorted by code.
constexpr TMessage messages[] = {
    {0, W("The operation completed successfully.\r\n")},
    {1, W("Incorrect function.\r\n")},
    {2, W("The system cannot find the file specified.\r\n")},
    {3, W("The system cannot find the path specified.\r\n")},
    {4, W("The system cannot open the file.\r\n")},
    {5, W("Access is denied.\r\n")},
    {6, W("The handle is invalid.\r\n")},
    {8, W("Not enough memory resources are available to process this command.\r\n")},
    {12, W("The access code is invalid.\r\n")},
    {13, W("The data is invalid.\r\n")},
    {14, W("Not enough memory resources are available to complete this operation.\r\n")},
    {15, W("The system cannot find the drive specified.\r\n")},
    {16, W("The directory cannot be removed.\r\n")},
    {18, W("There are no more files.\r\n")},
    {19, W("The media is write protected.\r\n")},
    {21, W("The device is not ready.\r\n")},
    {32, W("The process cannot access the file because it is being used by another process.\r\n")},
    {33, W("The process cannot access the file because another process has locked a portion of "
           "the file.\r\n")},
    {50, W("The request is not supported.\r\n")},
    {80, W("The file exists.\r\n")},
    {87, W("The parameter is incorrect.\r\n")},
    {112, W("There is not enough space on the disk.\r\n")},
    {122, W("The data area passed to a system call is too small.\r\n")},
    {123, W("The filename, directory name, or volume label syntax is incorrect.\r\n")},
    {145, W("The directory is not empty.\r\n")},
    {161, W("The specified path is invalid.\r\n")},
    {170, W("The requested resource is in use.\r\n")},
    {183, W("Cannot create a file when that file already exists.\r\n")},
    {206, W("The filename or extension is too long.\r\n")},
    {234, W("More data is available.\r\n")},
    {259, W("No more data is available.\r\n")},
    {267, W("The directory name is invalid.\r\n")},
    {317, W("The system cannot find message text for message number 0x%1 in the message file for "
            "%2.\r\n")},
    {998, W("Invalid access to memory location.\r\n")},
    {1004, W("Invalid flags.\r\n")},
    {1009, W("The configuration registry database is corrupt.\r\n")},
    {1010, W("The configuration registry key is invalid.\r\n")},
    {1011, W("The configuration registry key could not be opened.\r\n")},
    {1012, W("The configuration registry key could not be read.\r\n")},
    {1013, W("The configuration registry key could not be written.\r\n")},
    {1014, W("One of the files in the registry database had to be recovered by use of a log or "
             "alternate copy. The recovery was successful.\r\n")},
    {1015, W("The registry is corrupted. The structure of one of the files containing registry "
             "data is corrupted, or the system's memory image of the file is corrupted, or the "
             "file could not be recovered because the alternate copy or log was absent or "
             "corrupted.\r\n")},
    {1016, W("An I/O operation initiated by the registry failed unrecoverably. The registry could "
             "not read in, or write out, or flush, one of the files that contain the system's "
             "image of the registry.\r\n")},
    {1017, W("The system has attempted to load or restore a file into the registry, but the "
             "specified file is not in a registry file format.\r\n")},
    {1018, W("Illegal operation attempted on a registry key that has been marked for "
             "deletion.\r\n")},
    {1019, W("System could not allocate the required space in a registry log.\r\n")},
    {1020, W("Cannot create a symbolic link in a registry key that already has subkeys or "
             "values.\r\n")},
    {1021, W("Cannot create a stable subkey under a volatile parent key.\r\n")},
    {1113, W("No mapping for the Unicode character exists in the target multi-byte code "
             "page.\r\n")},
    {1168, W("Element not found.\r\n")},
    {1223, W("The operation was canceled by the user.\r\n")},
    {1815, W("The specified resource language ID cannot be found in the image file.\r\n")},
};

const WCHAR* findMessage(DWORD code) {
    // HRESULT_FROM_WIN32(code) has the text of code.
    if ((code & 0xFFFF0000u) == 0x80070000u) {
        code &= 0xFFFFu;
    }
    auto found = std::lower_bound(std::begin(messages), std::end(messages), code,
                                  [](const TMessage& m, DWORD c) { return m.code < c; });
    return found != std::end(messages) && found->code == code ? found->text : nullptr;
}

bool englishLanguage(DWORD languageId) {
    switch (languageId) {
        case 0:
        case MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT):
        case MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT):
        case MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US):
            return true;
        default:
            return false;
    }
}

// What FormatMessageW allocated and LocalFree may free.
struct TLocalBlocks {
    std::mutex mutex;
    std::unordered_set<void*> blocks;
};

TLocalBlocks& localBlocks() {
    static TLocalBlocks* blocks = new TLocalBlocks();
    return *blocks;
}

WCHAR* localAllocText(size_t characters) {
    void* block = calloc(characters, sizeof(WCHAR));
    if (block != nullptr) {
        TLocalBlocks& local = localBlocks();
        std::lock_guard<std::mutex> lock(local.mutex);
        local.blocks.insert(block);
    }
    return static_cast<WCHAR*>(block);
}

DWORD fail(DWORD error) {
    SetLastError(error);
    return 0;
}

size_t textLength(const WCHAR* text) {
    size_t length = 0;
    while (text[length] != u'\0') {
        ++length;
    }
    return length;
}

}  // namespace

DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                            LPWSTR buffer, DWORD size, va_list*) {
    LONG fault;
    if (palFault("FormatMessageW", fault)) {
        return fail(static_cast<DWORD>(fault));
    }
    bool systemOnly = (flags & FORMAT_MESSAGE_FROM_SYSTEM) != 0 &&
                      (flags & FORMAT_MESSAGE_FROM_STRING) == 0 &&
                      ((flags & FORMAT_MESSAGE_FROM_HMODULE) == 0 || source == nullptr);
    if (!systemOnly || (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) != 0 || buffer == nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!englishLanguage(languageId)) {
        return fail(ERROR_RESOURCE_LANG_NOT_FOUND);
    }
    const WCHAR* text = findMessage(messageId);
    if (text == nullptr) {
        return fail(ERROR_MR_MID_NOT_FOUND);
    }
    size_t length = textLength(text);
    if ((flags & FORMAT_MESSAGE_IGNORE_INSERTS) == 0 &&
        std::find(text, text + length, u'%') != text + length) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    WCHAR* out = buffer;
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        // `size` is then the least number of characters to allocate.
        out = localAllocText(std::max<size_t>(length + 1, size));
        if (out == nullptr) {
            return fail(ERROR_NOT_ENOUGH_MEMORY);
        }
        *reinterpret_cast<LPWSTR*>(buffer) = out;
    } else if (size < length + 1) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    memcpy(out, text, (length + 1) * sizeof(WCHAR));
    return static_cast<DWORD>(length);
}

HLOCAL WINAPI LocalFree(HLOCAL memory) {
    if (memory == nullptr) {
        return nullptr;
    }
    TLocalBlocks& local = localBlocks();
    {
        std::lock_guard<std::mutex> lock(local.mutex);
        if (local.blocks.erase(memory) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return memory;
        }
    }
    free(memory);
    return nullptr;
}
