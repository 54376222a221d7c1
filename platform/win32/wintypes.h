// The basic Win32 types, constants and HRESULT helpers the engine is written against.
// Sizes follow the 32-bit originals where a stored or exchanged format depends on them; handles
// and pointer-sized values are real pointers on this host.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using INT = int;
using BOOL = int;
using BOOLEAN = BYTE;
using CHAR = char;
using WCHAR = char16_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using HRESULT = std::int32_t;
using SIZE_T = std::size_t;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using LPVOID = void*;
using LPCVOID = const void*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = char16_t*;
using LPCWSTR = const char16_t*;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;

// Handles are opaque pointers; each kind is a distinct type, as with STRICT.
#define STELLAGRIM_DECLARE_HANDLE(name)                                                            \
    struct name##__ {                                                                              \
        int unused;                                                                                \
    };                                                                                             \
    using name = name##__*
STELLAGRIM_DECLARE_HANDLE(HWND);
STELLAGRIM_DECLARE_HANDLE(HINSTANCE);
STELLAGRIM_DECLARE_HANDLE(HICON);
STELLAGRIM_DECLARE_HANDLE(HCURSOR);
STELLAGRIM_DECLARE_HANDLE(HBRUSH);
STELLAGRIM_DECLARE_HANDLE(HMENU);
STELLAGRIM_DECLARE_HANDLE(HDC);
STELLAGRIM_DECLARE_HANDLE(HKEY);
STELLAGRIM_DECLARE_HANDLE(HMONITOR);
STELLAGRIM_DECLARE_HANDLE(HBITMAP);
#undef STELLAGRIM_DECLARE_HANDLE
using HMODULE = HINSTANCE;
using HANDLE = void*;
using HGLOBAL = HANDLE;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))
#define MAX_PATH 260

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define S_OK (static_cast<HRESULT>(0))
#define S_FALSE (static_cast<HRESULT>(1))
#define E_FAIL (static_cast<HRESULT>(0x80004005u))
#define E_OUTOFMEMORY (static_cast<HRESULT>(0x8007000Eu))
#define E_INVALIDARG (static_cast<HRESULT>(0x80070057u))
#define E_NOTIMPL (static_cast<HRESULT>(0x80004001u))
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

#define MAKEWORD(a, b)                                                                             \
    (static_cast<WORD>((static_cast<BYTE>(a)) | (static_cast<WORD>(static_cast<BYTE>(b)) << 8)))
#define MAKELONG(a, b)                                                                             \
    (static_cast<LONG>((static_cast<WORD>(a)) | (static_cast<DWORD>(static_cast<WORD>(b)) << 16)))
#define LOWORD(l) (static_cast<WORD>(static_cast<DWORD_PTR>(l) & 0xFFFF))
#define HIWORD(l) (static_cast<WORD>((static_cast<DWORD_PTR>(l) >> 16) & 0xFFFF))
#define LOBYTE(w) (static_cast<BYTE>(static_cast<DWORD_PTR>(w) & 0xFF))
#define HIBYTE(w) (static_cast<BYTE>((static_cast<DWORD_PTR>(w) >> 8) & 0xFF))

struct POINT {
    LONG x;
    LONG y;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
struct SIZE {
    LONG cx;
    LONG cy;
};
struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
