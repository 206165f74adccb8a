// An open registry key that closes itself: the one owner of its handle, which moves and is never
// copied. Results of the Windows functions are their Win32 codes: ERROR_SUCCESS or the failure.
#pragma once

#include "win32/Win32Api.h"

namespace OrvaneLib {

class TRegistryKey {
public:
    TRegistryKey() = default;
    // Takes over a handle that the caller opened.
    explicit TRegistryKey(HKEY key) : key_(key) {}
    ~TRegistryKey() { close(); }
    TRegistryKey(TRegistryKey&& other) noexcept : key_(other.release()) {}
    TRegistryKey& operator=(TRegistryKey&& other) noexcept {
        if (this != &other) {
            close();
            key_ = other.release();
        }
        return *this;
    }
    TRegistryKey(const TRegistryKey&) = delete;
    TRegistryKey& operator=(const TRegistryKey&) = delete;

    // Opens (or creates, with its missing parents) the subkey of parent, in place of the key held
    // so far. On failure the key held so far stays.
    [[nodiscard]] LSTATUS open(HKEY parent, LPCWSTR subKey, REGSAM access) {
        HKEY opened = nullptr;
        const LSTATUS status = RegOpenKeyExW(parent, subKey, 0, access, &opened);
        return keep(status, opened);
    }
    [[nodiscard]] LSTATUS create(HKEY parent, LPCWSTR subKey, REGSAM access,
                                 DWORD* disposition = nullptr) {
        HKEY opened = nullptr;
        const LSTATUS status = RegCreateKeyExW(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                               access, nullptr, &opened, disposition);
        return keep(status, opened);
    }

    // Closes the key held, if any: ERROR_SUCCESS, or what RegCloseKey reports.
    LSTATUS close() {
        const HKEY key = release();
        return key != nullptr ? RegCloseKey(key) : ERROR_SUCCESS;
    }
    // Hands the handle to the caller, who closes it; this then holds none.
    [[nodiscard]] HKEY release() {
        const HKEY key = key_;
        key_ = nullptr;
        return key;
    }
    // Closes the key held and gives the place a Windows function stores the next one in.
    PHKEY receive() {
        close();
        return &key_;
    }

    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }

private:
    // Windows leaves the out handle undefined on failure: only a success is kept.
    LSTATUS keep(LSTATUS status, HKEY opened) {
        if (status == ERROR_SUCCESS) {
            close();
            key_ = opened;
        }
        return status;
    }

    HKEY key_ = nullptr;
};

}  // namespace OrvaneLib
