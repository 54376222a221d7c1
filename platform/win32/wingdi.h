// The stock objects a window class names, the screen's device caps, the blits a caller may try as a
// fall-back, and the bitmaps an icon cursor is made of. Nothing is drawn through GDI on this host.
#pragma once

#include "platform/win32/winuser.h"

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5

// A distinct non-null handle for each stock object; null for an unknown index.
HGDIOBJ GetStockObject(int index);

// GetDeviceCaps.
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define VREFRESH 116

// Of the screen's context (GetDC of a null window): its size, depth, colour count (-1 above 8
// bits) and refresh rate. 0 for other contexts and indexes.
int GetDeviceCaps(HDC dc, int index);

// Raster operations.
#define SRCCOPY 0x00CC0020u

// Surfaces hand out no device contexts here, so there is never anything to copy between: both
// answer FALSE.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop);

// Bitmaps. Only what an icon cursor is made of exists: 32-bit top-down DIB sections whose pixels
// hold blue, green, red and alpha in that byte order, and plain bitmaps of 1 or 32 bits per pixel.
// Any thread may make and delete them.
#define BI_RGB 0u
#define BI_BITFIELDS 3u
#define DIB_RGB_COLORS 0u
#define LCS_WINDOWS_COLOR_SPACE 0x57696E20u

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // negative: top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
struct CIEXYZ {
    LONG ciexyzX;
    LONG ciexyzY;
    LONG ciexyzZ;
};
struct CIEXYZTRIPLE {
    CIEXYZ ciexyzRed;
    CIEXYZ ciexyzGreen;
    CIEXYZ ciexyzBlue;
};
// The header that names an alpha mask; passed where a BITMAPINFO is asked for.
struct BITMAPV5HEADER {
    DWORD bV5Size;
    LONG bV5Width;
    LONG bV5Height;
    WORD bV5Planes;
    WORD bV5BitCount;
    DWORD bV5Compression;
    DWORD bV5SizeImage;
    LONG bV5XPelsPerMeter;
    LONG bV5YPelsPerMeter;
    DWORD bV5ClrUsed;
    DWORD bV5ClrImportant;
    DWORD bV5RedMask;
    DWORD bV5GreenMask;
    DWORD bV5BlueMask;
    DWORD bV5AlphaMask;
    DWORD bV5CSType;
    CIEXYZTRIPLE bV5Endpoints;
    DWORD bV5GammaRed;
    DWORD bV5GammaGreen;
    DWORD bV5GammaBlue;
    DWORD bV5Intent;
    DWORD bV5ProfileData;
    DWORD bV5ProfileSize;
    DWORD bV5Reserved;
};

// A zeroed DIB section whose pixels the caller writes through *bits. The header must be a
// BITMAPV5HEADER (or a BITMAPINFOHEADER followed by three masks) of 32 bits per pixel, top-down,
// BI_BITFIELDS with red 0xFF0000, green 0xFF00 and blue 0xFF; `usage` DIB_RGB_COLORS, no section.
// Anything else: null with ERROR_INVALID_PARAMETER (ERROR_NOT_SUPPORTED for what this host lacks).
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// 1 plane of 1 or 32 bits per pixel; `bits` (rows padded to 16 bits) or null for zeros.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// A bitmap is freed; a stock object is left alone and answers TRUE; anything else FALSE.
BOOL DeleteObject(HGDIOBJ object);
