// Files and folders: folder creation and listing, full paths, and opening a file for mapping.
// Paths are in Windows form and go through standin::ToPosixPath. A file without its owner's
// write permission counts as read-only. Any thread may call these.
#pragma once

#include "platform/win32/handleapi.h"
#include "platform/win32/minwinbase.h"
#include "platform/win32/wintypes.h"

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_FILE_SIZE (static_cast<DWORD>(0xFFFFFFFFu))

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;

// One level; FALSE when the folder exists already or its parent is missing.
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES attributes);

// The pattern is a folder, a separator and a name mask with '*' and '?' (matched without regard
// to case; "*.*" matches every name). Entries come sorted by name without regard to case, "." and
// ".." included, as NTFS lists them. INVALID_HANDLE_VALUE when the folder cannot be listed or
// nothing matches; the handle is closed with FindClose.
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL FindClose(HANDLE find);

// The absolute form of `name` (relative names are taken from the current folder; "." and ".."
// are folded away) in Windows form. Returns its length when it fits `size` with its NUL, else the
// size needed including the NUL (nothing written); 0 on failure. `filePart`, when given, points
// at the last component inside `buffer`.
DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR* filePart);

// Opens or creates a regular file; folders are refused. Writing access to a read-only file
// fails. INVALID_HANDLE_VALUE on failure; CloseHandle closes it.
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
// The low 32 bits of the size (the high ones in *high when given); INVALID_FILE_SIZE on failure.
DWORD GetFileSize(HANDLE file, LPDWORD high);
