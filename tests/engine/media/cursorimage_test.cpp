// Cursor images: run pixels in the display's format, blending them into a surface, run lists of
// keyed and alpha images, and the icon cursor of the "activex" hosted mode.
#include "engine/media/directx.h"
#include "tests/engine/media/cursor_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

DDPIXELFORMAT PixelFormatOf(DWORD bits, DWORD red, DWORD green, DWORD blue) {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = bits;
    format.dwRBitMask = red;
    format.dwGBitMask = green;
    format.dwBBitMask = blue;
    return format;
}

const DDPIXELFORMAT kFormat565 = PixelFormatOf(16, 0xF800, 0x07E0, 0x001F);
const DDPIXELFORMAT kFormat555 = PixelFormatOf(16, 0x7C00, 0x03E0, 0x001F);
const DDPIXELFORMAT kFormat24 = PixelFormatOf(24, 0xFF0000, 0xFF00, 0xFF);
const DDPIXELFORMAT kFormat32 = PixelFormatOf(32, 0xFF0000, 0xFF00, 0xFF);

TEST(CursorRunPixel, ChannelsInTheDisplaysFormat) {
    struct TCase {
        const char* name;
        TColor32 pixel;
        DDPIXELFORMAT format;
        uint16_t red;
        uint16_t green;
        uint16_t blue;
        uint8_t inverse;
    };
    const TCase cases[] = {
        // 255 x 255 = 0xFE01: its top 5, 6 and 5 bits are 31, 63 and 31.
        {"opaque white, 565", TColor32(255, 255, 255, 255), kFormat565, 31 << 11, 63 << 5, 31, 0},
        {"opaque white, 555", TColor32(255, 255, 255, 255), kFormat555, 31 << 10, 31 << 5, 31, 0},
        // 128 x 255 = 0x7F80: 15 of 5 bits, 31 of 6.
        {"half white, 565", TColor32(255, 255, 255, 128), kFormat565, 15 << 11, 31 << 5, 15, 127},
        {"half, 32 bits", TColor32(200, 100, 50, 128), kFormat32, 25600, 12800, 6400, 127},
        {"opaque, 24 bits", TColor32(1, 2, 3, 255), kFormat24, 255, 510, 765, 0},
        {"transparent", TColor32(255, 255, 255, 0), kFormat32, 0, 0, 0, 255},
        {"8 bits: not converted", TColor32(255, 255, 255, 255), PixelFormatOf(8, 0, 0, 0), 0, 0, 0,
         0},
    };
    for (const TCase& test : cases) {
        const TRunPixel pixel = TDXContext::RunPixel(test.pixel, test.format);
        EXPECT_EQ(pixel.red, test.red) << test.name;
        EXPECT_EQ(pixel.green, test.green) << test.name;
        EXPECT_EQ(pixel.blue, test.blue) << test.name;
        EXPECT_EQ(pixel.inverseAlpha, test.inverse) << test.name;
    }
}

// A locked surface of `width` pixels and one row over `bytes`, with room to spare after it.
DDSURFACEDESC2 LockedRow(std::vector<uint8_t>* bytes, const DDPIXELFORMAT& format, int width) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = 1;
    desc.lPitch = static_cast<LONG>(width * static_cast<int>(format.dwRGBBitCount / 8));
    desc.ddpfPixelFormat = format;
    desc.lpSurface = bytes->data();
    return desc;
}

TCursorRuns SingleRun(int x, std::vector<TRunPixel> pixels) {
    TCursorRun run;
    run.x = static_cast<uint16_t>(x);
    run.pixels = std::move(pixels);
    return TCursorRuns{run};
}

TEST(CursorBlendRuns, OverTheDestination) {
    // Opaque white replaces whatever a 565 pixel held.
    std::vector<uint8_t> bytes = {0x34, 0x12, 0x00, 0x00};
    TDXContext::BlendRuns(
        SingleRun(0, {TDXContext::RunPixel(TColor32(255, 255, 255, 255), kFormat565)}),
        LockedRow(&bytes, kFormat565, 2));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xFF, 0xFF, 0x00, 0x00}));

    // (200, 100, 50) at alpha 128 over (10, 20, 30), inverse alpha 127:
    // blue (30 x 127 + 6400) >> 8 = 39, green (20 x 127 + 12800) >> 8 = 59,
    // red (10 x 127 + 25600) >> 8 = 104; the fourth byte stays.
    const TRunPixel half = TDXContext::RunPixel(TColor32(200, 100, 50, 128), kFormat32);
    bytes = {30, 20, 10, 0x77, 1, 2, 3, 4};
    TDXContext::BlendRuns(SingleRun(0, {half}), LockedRow(&bytes, kFormat32, 2));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{39, 59, 104, 0x77, 1, 2, 3, 4}));

    bytes = {30, 20, 10, 99, 99, 99};
    TDXContext::BlendRuns(
        SingleRun(0, {TDXContext::RunPixel(TColor32(200, 100, 50, 128), kFormat24)}),
        LockedRow(&bytes, kFormat24, 2));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{39, 59, 104, 99, 99, 99}));

    // A run reaching past the surface's width stops at its edge.
    bytes = {0, 0, 0, 0, 0xAB, 0xAB};
    const TRunPixel white = TDXContext::RunPixel(TColor32(255, 255, 255, 255), kFormat565);
    DDSURFACEDESC2 narrow = LockedRow(&bytes, kFormat565, 2);
    TDXContext::BlendRuns(SingleRun(1, {white, white, white}), narrow);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 0, 0xFF, 0xFF, 0xAB, 0xAB}));
}

class CursorImageTest : public cursor_test::TCursorTest {
protected:
    TCursorRuns Runs(const cursor_test::TImage& image, bool keyed) {
        Open(320, 240);
        TCursorRuns runs(3);
        const TTexturePtr texture = Texture("image.png", image);
        EXPECT_TRUE(keyed ? Context().BuildKeyedRuns(texture, &runs)
                          : Context().BuildAlphaRuns(texture, &runs));
        return runs;
    }

    static std::string Describe(const TCursorRuns& runs) {
        std::string text;
        for (const TCursorRun& run : runs) {
            text += "(" + std::to_string(run.x) + "," + std::to_string(run.y) + ")x" +
                    std::to_string(run.pixels.size()) + " ";
        }
        return text;
    }
};

TEST_F(CursorImageTest, MagentaIsTransparentInAGameImage) {
    // Row 0: (250, 0, 250) transparent, (247, 0, 250) and (250, 1, 250) drawn, magenta, a drawn
    // pixel whose own alpha is 0, (248, 0, 248) transparent. Row 1 all magenta.
    cursor_test::TImage image{6, 2, {}};
    image.pixels = {0xFFFA00FAu,           0xFFF700FAu,           0xFFFA01FAu,
                    cursor_test::kMagenta, 0x000A141Eu,           0xFFF800F8u,
                    cursor_test::kMagenta, cursor_test::kMagenta, cursor_test::kMagenta,
                    cursor_test::kMagenta, cursor_test::kMagenta, cursor_test::kMagenta};
    const TCursorRuns runs = Runs(image, true);
    ASSERT_EQ(Describe(runs), "(1,0)x2 (4,0)x1 ");
    // Every drawn pixel is opaque: 247 x 255 = 62985.
    EXPECT_EQ(runs[0].pixels[0].red, 62985);
    EXPECT_EQ(runs[0].pixels[0].inverseAlpha, 0);
    EXPECT_EQ(runs[1].pixels[0].blue, 30 * 255);
    EXPECT_EQ(runs[1].pixels[0].inverseAlpha, 0);
}

TEST_F(CursorImageTest, AnAllMagentaImageHasNoRuns) {
    EXPECT_TRUE(Runs(cursor_test::SolidImage(16, 16, cursor_test::kMagenta), true).empty());
}

TEST_F(CursorImageTest, AlphaZeroEndsARunOfASystemImage) {
    cursor_test::TImage image{
        5, 1, {0xFF102030u, 0x00FFFFFFu, 0x80FFFFFFu, 0x01000000u, 0x00000000u}};
    const TCursorRuns runs = Runs(image, false);
    ASSERT_EQ(Describe(runs), "(0,0)x1 (2,0)x2 ");
    EXPECT_EQ(runs[1].pixels[0].inverseAlpha, 127);
    EXPECT_EQ(runs[1].pixels[1].inverseAlpha, 254);
}

TEST_F(CursorImageTest, NoRunsFromNoTexture) {
    Open(320, 240);
    TCursorRuns runs(2);
    EXPECT_FALSE(Context().BuildKeyedRuns(TTexturePtr(), &runs));
    EXPECT_EQ(runs.size(), 2u);
}

// In the "activex" hosted mode the system image becomes a Win32 cursor: its top-left 32 x 32
// pixels, the rest transparent, from Windows XP on.
TEST_F(CursorImageTest, ActiveXModeMakesAnIconCursor) {
    struct TCase {
        const char* name;
        int side;
        DWORD minor;
        bool made;
    };
    const TCase cases[] = {
        {"on Windows 2000", 16, 0, false},
        {"16 x 16", 16, 1, true},
        {"64 x 64, cut to 32 x 32", 64, 1, true},
    };
    SetSetting("activex", "1");
    TDxDisplayHandler& handler = Open(320, 240);
    const int icons = standin::LiveIconCount();
    int index = 0;
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.name);
        standin::SetWindowsVersion(5, test.minor);
        ForgetWindowsVersion();
        cursor_test::TImage image{test.side, test.side, {}};
        for (int y = 0; y < test.side; ++y) {
            for (int x = 0; x < test.side; ++x) {
                image.pixels.push_back(0xFF000080u | static_cast<uint32_t>(x * 4) << 16 |
                                       static_cast<uint32_t>(y * 4) << 8);
            }
        }
        const std::string name = "system" + std::to_string(index++) + ".png";
        EXPECT_EQ(handler.SetCursorImage(Texture(name, image), 1, 2, true), test.made);
        const HICON icon = Context().GetCursorIcon();
        if (!test.made) {
            EXPECT_EQ(icon, nullptr);
            EXPECT_EQ(standin::LiveIconCount(), icons);
            continue;
        }
        // A new icon replaces the one before.
        EXPECT_EQ(standin::LiveIconCount(), icons + 1);
        standin::TIconCursor cursor;
        ASSERT_TRUE(standin::ReadIconCursor(icon, &cursor));
        EXPECT_EQ(cursor.width, 32);
        EXPECT_EQ(cursor.height, 32);
        EXPECT_EQ(cursor.hotX, 1);
        EXPECT_EQ(cursor.hotY, 2);
        EXPECT_EQ(standin::CurrentCursor(), reinterpret_cast<HCURSOR>(icon));
        int wrong = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const uint32_t want = x < test.side && y < test.side ? image.At(x, y) : 0u;
                wrong += cursor.pixels[static_cast<size_t>(y * 32 + x)] != want ? 1 : 0;
            }
        }
        EXPECT_EQ(wrong, 0);
    }

    // Over the client area the icon shows while the cursor is visible, and the software cursor
    // draws nothing.
    const HICON icon = Context().GetCursorIcon();
    SetCursor(nullptr);
    EXPECT_TRUE(handler.ApplyCursor());
    EXPECT_EQ(standin::CurrentCursor(), reinterpret_cast<HCURSOR>(icon));
    TPlatform::GetInstance()->SetCursorVisible(false);
    handler.ApplyCursor();
    EXPECT_EQ(standin::CurrentCursor(), nullptr);
    TPlatform::GetInstance()->SetCursorVisible(true);
    MoveMouse(50, 50);
    EXPECT_EQ(Differences(Screen(), Expected()), 0);

    TRenderer::Destroy();
    EXPECT_EQ(standin::LiveIconCount(), icons);
}

} // namespace
