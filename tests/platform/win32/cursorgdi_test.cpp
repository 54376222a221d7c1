// The pieces of an icon cursor (DIB sections, bitmaps, CreateIconIndirect), SetCursor with one, the
// Windows version, COM's apartment and the ActiveX host library that never loads.
#include "platform/win32/standin_cursor.h"
#include "platform/win32/windows.h"
#include "tests/fixtures/tempdir.h"
#include "tests/platform/win32/wintest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The header of a 32 x 32 top-down DIB with blue, green, red and alpha in byte order.
BITMAPV5HEADER IconHeader(int width = 32, int height = -32) {
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = width;
    header.bV5Height = height;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0xFF0000u;
    header.bV5GreenMask = 0xFF00u;
    header.bV5BlueMask = 0xFFu;
    header.bV5AlphaMask = 0xFF000000u;
    return header;
}

HBITMAP MakeDib(const BITMAPV5HEADER& header, void** bits) {
    return CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                            bits, nullptr, 0);
}

class CursorGdiTest : public wintest::TWindowTest {
protected:
    void TearDown() override {
        standin::UseDefaultWindowsVersion();
        TWindowTest::TearDown();
    }
};

TEST_F(CursorGdiTest, VersionIsXpUnlessATestSaysOtherwise) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.dwBuildNumber, 2600u);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));

    standin::SetWindowsVersion(6, 0, 6000);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, 6u);
    EXPECT_EQ(info.dwMinorVersion, 0u);
    EXPECT_EQ(info.dwBuildNumber, 6000u);

    info.dwOSVersionInfoSize = sizeof info - 1;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(GetVersionExA(nullptr));
}

TEST_F(CursorGdiTest, DibSectionsOfTheIconKindOnly) {
    void* bits = nullptr;
    HBITMAP dib = MakeDib(IconHeader(), &bits);
    ASSERT_NE(dib, nullptr);
    ASSERT_NE(bits, nullptr);
    const auto* bytes = static_cast<const uint8_t*>(bits);
    EXPECT_TRUE(std::all_of(bytes, bytes + 32 * 32 * 4, [](uint8_t b) { return b == 0; }));
    std::memset(bits, 0x7F, 32 * 32 * 4);
    EXPECT_TRUE(DeleteObject(dib));
    EXPECT_FALSE(DeleteObject(dib));

    struct TCase {
        const char* name;
        BITMAPV5HEADER header;
        DWORD error;
    };
    auto with = [](auto change) {
        BITMAPV5HEADER header = IconHeader();
        change(header);
        return header;
    };
    const TCase cases[] = {
        {"bottom-up", IconHeader(32, 32), ERROR_NOT_SUPPORTED},
        {"24 bits", with([](BITMAPV5HEADER& h) { h.bV5BitCount = 24; }), ERROR_NOT_SUPPORTED},
        {"BI_RGB", with([](BITMAPV5HEADER& h) { h.bV5Compression = BI_RGB; }), ERROR_NOT_SUPPORTED},
        {"red and blue swapped",
         with([](BITMAPV5HEADER& h) { std::swap(h.bV5RedMask, h.bV5BlueMask); }),
         ERROR_NOT_SUPPORTED},
        {"no width", IconHeader(0, -32), ERROR_NOT_SUPPORTED},
        {"wild size", IconHeader(1 << 30, -(1 << 30)), ERROR_NOT_SUPPORTED},
        {"unknown header size", with([](BITMAPV5HEADER& h) { h.bV5Size = 108; }),
         ERROR_NOT_SUPPORTED},
    };
    for (const TCase& test : cases) {
        SetLastError(0);
        bits = &bits;
        EXPECT_EQ(MakeDib(test.header, &bits), nullptr) << test.name;
        EXPECT_EQ(bits, nullptr) << test.name;
        EXPECT_EQ(GetLastError(), test.error) << test.name;
    }
    const BITMAPV5HEADER header = IconHeader();
    EXPECT_EQ(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header), 1, &bits,
                               nullptr, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // The plain header with its three masks after it does as well.
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } plain{{sizeof(BITMAPINFOHEADER), 4, -2, 1, 32, BI_BITFIELDS, 0, 0, 0, 0, 0},
            {0xFF0000u, 0xFF00u, 0xFFu}};
    dib = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&plain), DIB_RGB_COLORS,
                           &bits, nullptr, 0);
    EXPECT_NE(dib, nullptr);
    EXPECT_TRUE(DeleteObject(dib));
}

TEST_F(CursorGdiTest, BitmapsAndDeleteObject) {
    const uint8_t rows[4] = {0xFF, 0x00, 0x80, 0x00};
    HBITMAP mono = CreateBitmap(9, 2, 1, 1, rows);
    ASSERT_NE(mono, nullptr);
    EXPECT_NE(CreateBitmap(2, 2, 1, 32, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(2, 2, 2, 1, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(2, 2, 1, 8, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(0, 2, 1, 1, nullptr), nullptr);
    EXPECT_TRUE(DeleteObject(mono));
    EXPECT_FALSE(DeleteObject(mono));
    // A stock object is not the caller's to free, but deleting it is harmless.
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    EXPECT_FALSE(DeleteObject(nullptr));
    int local = 0;
    EXPECT_FALSE(DeleteObject(&local));
}

TEST_F(CursorGdiTest, IconCursorsShowAlphaOrElseTheMask) {
    void* bits = nullptr;
    HBITMAP color = MakeDib(IconHeader(), &bits);
    auto* pixels = static_cast<uint32_t*>(bits);
    // Opaque red at (0, 0), half-transparent green at (1, 0); the rest transparent.
    pixels[0] = 0xFFFF0000u;
    pixels[1] = 0x8000FF00u;
    std::vector<uint8_t> maskBits(32 * 4, 0xFF);
    HBITMAP mask = CreateBitmap(32, 32, 1, 1, maskBits.data());
    const int before = standin::LiveIconCount();

    ICONINFO info{FALSE, 3, 5, mask, color};
    HICON cursor = CreateIconIndirect(&info);
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(standin::LiveIconCount(), before + 1);
    standin::TIconCursor read;
    ASSERT_TRUE(standin::ReadIconCursor(cursor, &read));
    EXPECT_EQ(read.width, 32);
    EXPECT_EQ(read.height, 32);
    EXPECT_EQ(read.hotX, 3);
    EXPECT_EQ(read.hotY, 5);
    EXPECT_FALSE(read.icon);
    ASSERT_EQ(read.pixels.size(), 32u * 32u);
    EXPECT_EQ(read.pixels[0], 0xFFFF0000u);
    EXPECT_EQ(read.pixels[1], 0x8000FF00u);
    EXPECT_EQ(read.pixels[2], 0u);

    // Without any alpha the mask decides: clear bits show the colour, set bits nothing.
    std::memset(bits, 0, 32 * 32 * 4);
    pixels[0] = 0x000000FFu;
    pixels[9] = 0x00123456u;
    maskBits[1] = 0xBF; // row 0, pixel 9 clear
    HBITMAP mask2 = CreateBitmap(32, 32, 1, 1, maskBits.data());
    info = ICONINFO{TRUE, 3, 5, mask2, color};
    HICON icon = CreateIconIndirect(&info);
    ASSERT_TRUE(standin::ReadIconCursor(icon, &read));
    EXPECT_TRUE(read.icon);
    EXPECT_EQ(read.hotX, 16); // an icon's hot spot is its centre
    EXPECT_EQ(read.pixels[0], 0x000000FFu);
    EXPECT_EQ(read.pixels[9], 0xFF123456u);

    // The bitmaps are the caller's; the cursor keeps its own copy.
    EXPECT_TRUE(DeleteObject(color));
    EXPECT_TRUE(DeleteObject(mask));
    EXPECT_TRUE(DeleteObject(mask2));
    EXPECT_TRUE(standin::ReadIconCursor(cursor, &read));

    // Shown by the window system of the thread that has a window (the pointer's).
    MakeWindow();
    SetCursor(reinterpret_cast<HCURSOR>(cursor));
    EXPECT_EQ(standin::CurrentCursor(), reinterpret_cast<HCURSOR>(cursor));
    EXPECT_TRUE(DestroyIcon(cursor));
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    EXPECT_FALSE(standin::ReadIconCursor(icon, &read));
    EXPECT_EQ(standin::LiveIconCount(), before);
    SetCursor(nullptr);
}

TEST_F(CursorGdiTest, IconsNeedAColourBitmapAndAMaskOfItsSize) {
    void* bits = nullptr;
    HBITMAP color = MakeDib(IconHeader(), &bits);
    HBITMAP small = CreateBitmap(16, 16, 1, 1, nullptr);
    HBITMAP mask = CreateBitmap(32, 32, 1, 1, nullptr);
    const ICONINFO bad[] = {
        {FALSE, 0, 0, small, color},
        {FALSE, 0, 0, mask, nullptr},
        {FALSE, 0, 0, color, mask},
    };
    for (const ICONINFO& info : bad) {
        EXPECT_EQ(CreateIconIndirect(&info), nullptr);
    }
    EXPECT_EQ(CreateIconIndirect(nullptr), nullptr);
    DeleteObject(color);
    DeleteObject(small);
    DeleteObject(mask);
}

TEST_F(CursorGdiTest, NoActiveXHostAndATrivialApartment) {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    int reserved = 0;
    EXPECT_EQ(CoInitialize(&reserved), E_INVALIDARG);

    // A file of that name in the current folder is not what the caller means: never loaded.
    testing_fixtures::TempDir folder;
    const std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    std::ofstream(folder.Path() / "ATL.DLL") << "not a library";
    for (const char* name : {"ATL.DLL", "atl.dll", "Atl.Dll", "C:\\Windows\\System32\\ATL.DLL"}) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryA(name), nullptr) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << name;
    }
    std::filesystem::current_path(old);
}

} // namespace
