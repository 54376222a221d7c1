// Read-only file mapping over mmap: a mapping object over an open file, and views of it. The
// mapping keeps the file open after its own handle is closed; a view stays valid after the
// mapping handle is closed, until UnmapViewOfFile. Any thread may call these.
#pragma once

#include "platform/win32/handleapi.h"
#include "platform/win32/minwinbase.h"
#include "platform/win32/wintypes.h"

#define PAGE_READONLY 0x02
#define SEC_COMMIT 0x08000000
#define FILE_MAP_READ 0x0004

// Only PAGE_READONLY (optionally with SEC_COMMIT) is offered; maximum size 0 maps the whole file.
// Null for other protections, a named mapping, a bad file handle, an empty file or a size beyond
// the file.
HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect,
                          DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCSTR name);
// Only FILE_MAP_READ; `bytes` 0 maps from the offset to the end of the mapping. Offsets must be
// multiples of the page size. Null on failure.
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);
// FALSE for an address that MapViewOfFile did not return.
BOOL UnmapViewOfFile(LPCVOID address);
