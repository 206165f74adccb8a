// kernel32 file functions over POSIX, with drive-letter paths mapped to folders.
//
// How a Windows path reaches the file system here (every function below, and the Shell's items,
// follow this one rule):
// - "\" and "/" both separate components; runs of separators count as one.
// - The long-path prefix "\\?\" may stand in front of any path; "\\?\UNC\" starts a UNC path.
// - "X:\rest" names `rest` below the folder that the environment variable ORVANE_PAL_DRIVE_X
//   names (X upper-cased, so "c:" is C:). The variable is read at each call and must hold an
//   absolute path. Z: stands for "/" while ORVANE_PAL_DRIVE_Z is unset; any other drive without
//   its variable does not exist (ERROR_PATH_NOT_FOUND).
// - "X:rest" (no separator after the colon) is relative to the current directory when that lies
//   on X:, else to the root of X:, as Windows keeps a current directory per drive.
// - A path that begins with a single separator ("/tmp/x" or "\tmp\x") is a POSIX absolute path.
// - "\\.\X:\rest" (the device path of a drive) is "X:\rest"; no other device exists
//   (ERROR_PATH_NOT_FOUND).
// - Any other path that begins with two separators is a UNC path ("\\server\share"): none
//   exists here (ERROR_BAD_NETPATH).
// - Any other path is relative to the current directory (GetCurrentDirectoryW).
// - Trailing dots and spaces of each component are not part of its name ("Games.\Other " is
//   "Games\Other"), except after "\\?\", which passes names as written.
// - "." and ".." are resolved in the text before the file system sees the path, as Windows
//   does, so a missing folder before ".." does not matter, and ".." never climbs above the
//   drive's folder (or "/"): "C:\..\x" is C:\x.
// - Names compare as the file system compares them, that is case-sensitively.
// - A component that is not valid UTF-16 (an unpaired surrogate) makes the path invalid
//   (ERROR_INVALID_NAME).
// - A name read from the file system that is not valid UTF-8 comes back with one U+FFFD for each
//   malformed piece, as MultiByteToWideChar cuts them; that text names no file.
#pragma once

#include "pal/inc/WinTypes.h"

#define ERROR_NOT_READY 21L
#define ERROR_BAD_NETPATH 53L
#define ERROR_BAD_NET_NAME 67L
#define ERROR_BUSY 170L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_GEN_FAILURE 31L
#define ERROR_DISK_FULL 112L
#define ERROR_CANT_RESOLVE_FILENAME 1921L

enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard, GetFileExMaxInfoLevel };

struct WIN32_FILE_ATTRIBUTE_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
};
typedef WIN32_FILE_ATTRIBUTE_DATA* LPWIN32_FILE_ATTRIBUTE_DATA;

// Attributes of the object at the path itself; a symbolic link is not followed and shows
// FILE_ATTRIBUTE_REPARSE_POINT (with FILE_ATTRIBUTE_DIRECTORY when it points to a folder, as a
// Windows directory link does). FILE_ATTRIBUTE_READONLY stands for a missing owner write
// permission; FILE_ATTRIBUTE_NORMAL is reported when no other attribute applies. Sizes are those
// of regular files (0 for folders and links). The creation time is the birth time where the
// file system keeps one, else the time of the last status change.
// Failure: FALSE with last error ERROR_FILE_NOT_FOUND when the folder exists but not the name,
// ERROR_PATH_NOT_FOUND when a folder on the way is missing.
PAL_API BOOL WINAPI GetFileAttributesExW(LPCWSTR fileName, GET_FILEEX_INFO_LEVELS infoLevelId,
                                         LPVOID fileInformation);

// Expands short (8.3) components to their long names. Folders here have no real 8.3 aliases,
// so a component of the form BASE~N or BASE~N.EXT (BASE 1 to 6 characters, BASE~N at most 8,
// EXT 1 to 3 characters, compared without case) that does not exist under its own name stands
// for the N-th entry of its folder, entries sorted by name in code point order, among those
// whose upper-cased base name (before the last dot) without spaces and dots begins with BASE and
// whose upper-cased extension begins with EXT. Every other component is kept as written, as are
// the separators and any "\\?\" prefix; every component must exist.
// Returns the length without the terminator; when `bufferLength` is too small (0 to measure),
// the size needed including the terminator, leaving the buffer alone. Failure: 0 with last error
// ERROR_FILE_NOT_FOUND for the first missing component (its folder was found, as the components
// are looked up one after the other), ERROR_PATH_NOT_FOUND for a drive that does not exist.
PAL_API DWORD WINAPI GetLongPathNameW(LPCWSTR shortPath, LPWSTR longPath, DWORD bufferLength);

// The process's current directory as a Windows path: under the mapped drive whose folder holds
// it (the deepest such folder; on equal folders the first letter), else as a POSIX absolute path
// with "\" separators ("\srv\x"). Either form maps back to the same folder. A drive root ends in
// "\" ("C:\"), other folders do not. Return values as Windows gives them: the length without the
// terminator, or the size needed including the terminator when the buffer is too small.
PAL_API DWORD WINAPI GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer);

// Open files, for what a handle tells of the object behind a path: its identity and its final
// path. Only OPEN_EXISTING with read access (0, FILE_READ_ATTRIBUTES or GENERIC_READ) is
// provided; anything else is ERROR_NOT_SUPPORTED. The share mode is not enforced. A folder opens
// only with FILE_FLAG_BACKUP_SEMANTICS (else ERROR_ACCESS_DENIED, as on Windows). Symbolic links
// on the way are followed; FILE_FLAG_OPEN_REPARSE_POINT opens a link at the end of the path
// itself. A mapped path beyond the host's limit gives ERROR_FILENAME_EXCED_RANGE. Handles are
// closed with CloseHandle.
#define GENERIC_READ 0x80000000u
#define FILE_READ_ATTRIBUTES 0x00000080u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define OPEN_EXISTING 3u
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000u
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000u
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
PAL_API HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                                  LPSECURITY_ATTRIBUTES securityAttributes,
                                  DWORD creationDisposition, DWORD flagsAndAttributes,
                                  HANDLE templateFile);

// The host's device and inode stand for the volume serial number and the file index: two handles
// name the same object exactly when both are equal. Attributes and times as GetFileAttributesExW
// gives them.
struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
};
typedef BY_HANDLE_FILE_INFORMATION* LPBY_HANDLE_FILE_INFORMATION;
PAL_API BOOL WINAPI GetFileInformationByHandle(HANDLE file,
                                               LPBY_HANDLE_FILE_INFORMATION fileInformation);

// The object's path with every link resolved, as "\\?\" and a Windows path below the mapped drive
// whose folder holds it (the deepest one; on equal folders the first letter). Only the flags 0
// (FILE_NAME_NORMALIZED | VOLUME_NAME_DOS) are provided. An object below no mapped drive gives
// ERROR_PATH_NOT_FOUND. Return values as GetCurrentDirectoryW.
#define FILE_NAME_NORMALIZED 0x0u
#define VOLUME_NAME_DOS 0x0u
PAL_API DWORD WINAPI GetFinalPathNameByHandleW(HANDLE file, LPWSTR filePath, DWORD filePathLength,
                                               DWORD flags);
