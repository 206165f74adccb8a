// advapi32: the registry of the current user, kept in a per-user SQLite hive; and the system's
// message texts (FormatMessageW, LocalFree).
//
// The hive is the file named by the environment variable ORVANE_PAL_HIVE (":memory:" gives each
// process a private hive of its own), by default $XDG_DATA_HOME/orvane/HKCU.sqlite3 or
// ~/.local/share/orvane/HKCU.sqlite3. Several processes may share it; every call is one
// transaction, and a call that returned success is on disk.
//
// The functions keep the Windows semantics and codes, with these choices where this system differs:
// - HKEY_CURRENT_USER is the only root. Every other predefined key gives ERROR_INVALID_HANDLE.
// - Key and value names compare case-insensitively by their upper-case form (the Unicode simple
//   upper-case mapping of each UTF-16 unit of the Basic Multilingual Plane); subkeys enumerate in
//   the order of their upper-case names, compared unit by unit; values enumerate in the order they
//   were first set. Names keep the case they were created with.
// - Access is checked against the rights a handle was opened with. Every right is granted, except
//   on a hive whose file this process may not write: there only the read rights are, and asking
//   for more gives ERROR_ACCESS_DENIED.
// - Data is stored exactly as given; unlike Windows, RegSetValueExW never reads past the data to
//   count a string's terminator that the caller left out. Path names split at backslashes, with
//   runs of them counting as one; a name of more than 255 characters gives
//   ERROR_INVALID_PARAMETER.
// - Volatile keys are kept like the others: the hive outlives every start of the system.
//   REG_OPTION_CREATE_LINK gives ERROR_NOT_SUPPORTED.
// - A hive that can not be opened or created gives ERROR_CANTOPEN, a file that is not a hive
//   ERROR_BADDB, damage found later ERROR_REGISTRY_CORRUPT, a full disk ERROR_CANTWRITE, any other
//   failure of the file (including another process holding it locked for longer than ten
//   seconds) ERROR_REGISTRY_IO_FAILED.
#pragma once

#include "pal/inc/WinTypes.h"

#include <cstdarg>

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))
#define HKEY_PERFORMANCE_DATA ((HKEY)(ULONG_PTR)((LONG)0x80000004))
#define HKEY_CURRENT_CONFIG ((HKEY)(ULONG_PTR)((LONG)0x80000005))

#define ERROR_MR_MID_NOT_FOUND 317L
#define ERROR_NOACCESS 998L
#define ERROR_CHILD_MUST_BE_VOLATILE 1021L
#define ERROR_RESOURCE_LANG_NOT_FOUND 1815L

#define WRITE_DAC 0x00040000u
#define WRITE_OWNER 0x00080000u
#define MAXIMUM_ALLOWED 0x02000000u
#define GENERIC_ALL 0x10000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_READ 0x80000000u

#define REG_OPTION_CREATE_LINK 0x2u
#define REG_OPTION_BACKUP_RESTORE 0x4u
#define REG_OPTION_OPEN_LINK 0x8u

#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000u
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FFu
#define LANG_ENGLISH 0x09
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_ENGLISH_US 0x01
#define SUBLANG_SYS_DEFAULT 0x02

PAL_API LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired,
                                     PHKEY result);
PAL_API LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass,
                                       DWORD options, REGSAM desired,
                                       const LPSECURITY_ATTRIBUTES security, PHKEY result,
                                       LPDWORD disposition);
PAL_API LSTATUS WINAPI RegCloseKey(HKEY key);
PAL_API LSTATUS WINAPI RegDeleteKeyW(HKEY key, LPCWSTR subKey);
// A null subKey empties the key: its subkeys and values go, the key stays.
PAL_API LSTATUS WINAPI RegDeleteTreeW(HKEY key, LPCWSTR subKey);
PAL_API LSTATUS WINAPI RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength,
                                     LPDWORD reserved, LPWSTR keyClass, LPDWORD classLength,
                                     PFILETIME lastWriteTime);
PAL_API LSTATUS WINAPI RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classLength,
                                        LPDWORD reserved, LPDWORD subKeys, LPDWORD maxSubKeyLength,
                                        LPDWORD maxClassLength, LPDWORD values,
                                        LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                                        LPDWORD securityDescriptorSize, PFILETIME lastWriteTime);
PAL_API LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                                        LPBYTE data, LPDWORD dataSize);
PAL_API LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type,
                                      const BYTE* data, DWORD dataSize);
PAL_API LSTATUS WINAPI RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName,
                                     LPDWORD valueNameLength, LPDWORD reserved, LPDWORD type,
                                     LPBYTE data, LPDWORD dataSize);
PAL_API LSTATUS WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName);
// Points HKEY_CURRENT_USER of this process at newKey's key with newKey's rights, until it is called
// again; a null newKey gives HKEY_CURRENT_USER back its own key. The override outlives newKey's
// handle. Only HKEY_CURRENT_USER may be overridden: another key, or a closed or unknown newKey,
// gives ERROR_INVALID_HANDLE.
PAL_API LSTATUS WINAPI RegOverridePredefKey(HKEY key, HKEY newKey);

// Only FORMAT_MESSAGE_FROM_SYSTEM is supported, in English (language 0, the user's or the
// system's default, or U.S. English; others give ERROR_RESOURCE_LANG_NOT_FOUND), with no line
// width. Inserts are not supported: a text that has them needs FORMAT_MESSAGE_IGNORE_INSERTS.
// HRESULTs of FACILITY_WIN32 give the text of their Win32 code.
PAL_API DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                                    LPWSTR buffer, DWORD size, va_list* arguments);
// Frees what FormatMessageW allocated; anything else is refused with ERROR_INVALID_HANDLE.
PAL_API HLOCAL WINAPI LocalFree(HLOCAL memory);
