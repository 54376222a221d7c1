// Image decoding through the file layer and TTextureData::LoadImage: options, file search, masks
// and the surface sizes it asks for.
#include "engine/media/imageload.h"
#include "engine/media/texturedata.h"
#include "tests/engine/media/texture_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

using texture_test::EncodeJpeg;
using texture_test::EncodePng;
using texture_test::SolidJpeg;
using texture_test::SolidPng;
using texture_test::TBytes;
using texture_test::TPngImage;

// A decoded buffer, freed by the decoder that made it.
struct TDecoded {
    ~TDecoded() {
        if (png) {
            FreePngPixels(pixels);
        } else {
            FreeJpegPixels(pixels);
        }
    }
    uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x)];
    }
    bool png = true;
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int side = 0;
    bool hasAlpha = false;
};

bool DecodePng(const char* name, TDecoded* out, int maxSide = 1024) {
    out->png = true;
    return LoadPngImage(name, maxSide, &out->pixels, &out->width, &out->height, &out->side,
                        &out->hasAlpha);
}

bool DecodeJpeg(const char* name, TDecoded* out, int maxSide = 1024) {
    out->png = false;
    return LoadJpegImage(name, maxSide, &out->pixels, &out->width, &out->height, &out->side);
}

bool Near(uint32_t actual, uint32_t expected, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance) {
            return false;
        }
    }
    return true;
}

class TextureDataTest : public texture_test::TTextureTest {};

TEST_F(TextureDataTest, PngKindsComeOutAsBlueGreenRedAlpha) {
    struct TCase {
        const char* name;
        TPngImage params;
        std::vector<uint32_t> expected; // 0xAARRGGBB, the first row
        bool hasAlpha;
    };
    TPngImage grey;
    grey.width = 2;
    grey.colorType = PNG_COLOR_TYPE_GRAY;
    grey.rows = {0x00, 0x80};
    TPngImage greyAlpha;
    greyAlpha.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    greyAlpha.rows = {0x40, 0x80};
    TPngImage oneBit;
    oneBit.width = 2;
    oneBit.colorType = PNG_COLOR_TYPE_GRAY;
    oneBit.bitDepth = 1;
    oneBit.rows = {0x80};
    TPngImage palette;
    palette.width = 2;
    palette.colorType = PNG_COLOR_TYPE_PALETTE;
    palette.palette = {{255, 0, 0}, {0, 0, 255}};
    palette.rows = {0, 1};
    TPngImage paletteAlpha = palette;
    paletteAlpha.paletteAlpha = {0x00, 0xFF};
    TPngImage deep;
    deep.bitDepth = 16;
    deep.rows = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    TPngImage rgba;
    rgba.colorType = PNG_COLOR_TYPE_RGBA;
    rgba.rows = {1, 2, 3, 4};
    TPngImage keyed;
    keyed.width = 2;
    keyed.rows = {10, 20, 30, 40, 50, 60};
    keyed.keyed = true;
    keyed.key.red = 10;
    keyed.key.green = 20;
    keyed.key.blue = 30;
    // A linear file on a 2.2 screen: 255 * (128 / 255) ^ (1 / 2.2) = 186.2.
    TPngImage linear;
    linear.rows = {128, 0, 255};
    linear.gamma = 1.0;

    const std::vector<TCase> cases = {
        {"grey", grey, {0xFF000000, 0xFF808080}, false},
        {"grey with alpha", greyAlpha, {0x80404040}, true},
        {"1-bit grey", oneBit, {0xFFFFFFFF, 0xFF000000}, false},
        {"palette", palette, {0xFFFF0000, 0xFF0000FF}, false},
        {"palette with transparency", paletteAlpha, {0x00FF0000, 0xFF0000FF}, true},
        {"16-bit, high bytes kept", deep, {0xFF12569A}, false},
        {"RGBA", rgba, {0x04010203}, true},
        // The key becomes alpha 0, yet the file does not count as having alpha.
        {"RGB keyed", keyed, {0x000A141E, 0xFF28323C}, false},
        {"gamma corrected", linear, {0xFFBA00FF}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        AddFile("img/case.png", EncodePng(c.params));
        TDecoded image;
        ASSERT_TRUE(DecodePng("img/case.png", &image));
        EXPECT_EQ(image.width, c.params.width);
        EXPECT_EQ(image.height, c.params.height);
        EXPECT_EQ(image.hasAlpha, c.hasAlpha);
        for (size_t x = 0; x < c.expected.size(); ++x) {
            EXPECT_TRUE(Near(image.At(static_cast<int>(x), 0), c.expected[x], 1))
                << std::hex << image.At(static_cast<int>(x), 0) << " at " << x;
        }
    }
}

TEST_F(TextureDataTest, DecodedImagesSitTopLeftInASquarePowerOfTwoBuffer) {
    // Interlaced, so every pass must land on its own pixels.
    TPngImage params;
    params.width = 3;
    params.height = 2;
    params.interlaced = true;
    for (uint8_t i = 0; i < 6; ++i) {
        params.rows.insert(params.rows.end(), {static_cast<uint8_t>(10 * i), 0, 0});
    }
    AddFile("img/a.png", EncodePng(params));
    TDecoded png;
    ASSERT_TRUE(DecodePng("img/a.png", &png));
    EXPECT_EQ(png.side, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const uint32_t expected =
                x < 3 && y < 2 ? 0xFF000000u | (static_cast<uint32_t>(10 * (3 * y + x)) << 16) : 0;
            EXPECT_EQ(png.At(x, y), expected) << x << "," << y;
        }
    }

    AddFile("img/b.jpg", SolidJpeg(5, 3, 200, 100, 50));
    TDecoded jpeg;
    ASSERT_TRUE(DecodeJpeg("img/b.jpg", &jpeg));
    EXPECT_EQ(jpeg.width, 5);
    EXPECT_EQ(jpeg.height, 3);
    EXPECT_EQ(jpeg.side, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            if (x < 5 && y < 3) {
                EXPECT_TRUE(Near(jpeg.At(x, y), 0xFFC86432, 3)) << std::hex << jpeg.At(x, y);
            } else {
                EXPECT_EQ(jpeg.At(x, y), 0u);
            }
        }
    }

    AddFile("img/grey.jpg", EncodeJpeg(8, 8, 1, TBytes(64, 77)));
    TDecoded grey;
    ASSERT_TRUE(DecodeJpeg("img/grey.jpg", &grey));
    EXPECT_TRUE(Near(grey.At(7, 7), 0xFF4D4D4D, 1)) << std::hex << grey.At(7, 7);

    AddFile("img/one.png", SolidPng(1, 1, {1, 2, 3}));
    TDecoded one;
    ASSERT_TRUE(DecodePng("img/one.png", &one));
    EXPECT_EQ(one.side, 1);
}

TEST_F(TextureDataTest, DamagedAndTruncatedFilesFailCleanly) {
    const TBytes png = SolidPng(16, 16, {1, 2, 3});
    const TBytes jpeg = SolidJpeg(16, 16, 1, 2, 3);
    auto cut = [](const TBytes& bytes, size_t length) {
        return TBytes(bytes.begin(), bytes.begin() + static_cast<long>(length));
    };
    auto flip = [](TBytes bytes, size_t at) {
        bytes.at(at) ^= 0x5A;
        return bytes;
    };
    struct TCase {
        const char* name;
        TBytes bytes;
    };
    const std::vector<TCase> pngCases = {
        {"empty", {}},
        {"signature only", cut(png, 8)},
        {"inside the header", cut(png, 20)},
        {"before the image data ends", cut(png, png.size() - 20)},
        {"no end chunk", cut(png, png.size() - 12)},
        {"header CRC", flip(png, 20)},
        {"image data", flip(png, 45)},
        {"not a PNG", TBytes(64, 0x41)},
    };
    for (const TCase& c : pngCases) {
        SCOPED_TRACE(c.name);
        AddFile("bad/x.png", c.bytes);
        TDecoded image;
        EXPECT_FALSE(DecodePng("bad/x.png", &image));
        EXPECT_EQ(image.pixels, nullptr);
    }

    // Each marker segment: find the start of scan.
    size_t scan = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) {
            scan = i;
            break;
        }
    }
    ASSERT_GT(scan, 0u);
    TBytes noFrame = jpeg;
    // The frame header's component count becomes 0.
    for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            noFrame[i + 9] = 0;
            break;
        }
    }
    const std::vector<TCase> jpegCases = {
        {"empty", {}},
        {"start marker only", cut(jpeg, 2)},
        {"inside the headers", cut(jpeg, 40)},
        {"headers without a scan", cut(jpeg, scan)},
        {"no components", noFrame},
        {"not a JPEG", TBytes(64, 0x41)},
    };
    for (const TCase& c : jpegCases) {
        SCOPED_TRACE(c.name);
        AddFile("bad/x.jpg", c.bytes);
        TDecoded image;
        EXPECT_FALSE(DecodeJpeg("bad/x.jpg", &image));
        EXPECT_EQ(image.pixels, nullptr);
    }

    // Ended inside the image data: the library finishes the picture with what it has.
    AddFile("bad/short.jpg", cut(jpeg, scan + 20));
    TDecoded partial;
    EXPECT_TRUE(DecodeJpeg("bad/short.jpg", &partial));
    EXPECT_EQ(partial.At(0, 0) >> 24, 0xFFu);

    // And decoding goes on as before.
    AddFile("good/x.png", png);
    AddFile("good/x.jpg", jpeg);
    TDecoded good;
    EXPECT_TRUE(DecodePng("good/x.png", &good));
    TDecoded goodJpeg;
    EXPECT_TRUE(DecodeJpeg("good/x.jpg", &goodJpeg));
    TDecoded missing;
    EXPECT_FALSE(DecodePng("good/missing.png", &missing));
}

TEST_F(TextureDataTest, OversizedHeadersAreRefusedBeforeAnyBuffer) {
    // Only the header is read: a 40000 x 40000 image would need 2^32 * 4 bytes and wrap a 32-bit
    // size to a short buffer.
    struct TCase {
        int width;
        int height;
        int maxSide;
        bool loads;
    };
    const std::vector<TCase> cases = {
        {1025, 1, 1024, false}, {1, 1025, 1024, false}, {1024, 1, 1024, true},
        {8193, 1, 8192, false}, {8192, 1, 8192, true},  {40000, 40000, 8192, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " max " << c.maxSide);
        TPngImage params;
        params.width = c.width;
        params.height = c.height;
        params.colorType = PNG_COLOR_TYPE_GRAY;
        params.bitDepth = 1;
        params.compression = 1;
        // Header only, for the giant: the rest of the file never matters.
        TBytes bytes = c.width * c.height > (1 << 24) ? TBytes() : EncodePng(params);
        if (bytes.empty()) {
            params.width = 1;
            params.height = 1;
            bytes = EncodePng(params);
            // Width and height in the header, big-endian; the header's CRC follows them.
            for (int i = 0; i < 4; ++i) {
                bytes[16 + i] = static_cast<uint8_t>(c.width >> (24 - 8 * i));
                bytes[20 + i] = static_cast<uint8_t>(c.height >> (24 - 8 * i));
            }
            const uLong crc = crc32(0, bytes.data() + 12, 17);
            for (int i = 0; i < 4; ++i) {
                bytes[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
            }
        }
        AddFile("big/x.png", bytes);
        TDecoded image;
        EXPECT_EQ(DecodePng("big/x.png", &image, c.maxSide), c.loads);
        if (!c.loads) {
            EXPECT_EQ(image.width, c.width);
            EXPECT_EQ(image.height, c.height);
        }
    }

    // JPEG: 2000 x 8 of which only the headers are read.
    AddFile("big/x.jpg", SolidJpeg(2000, 8, 0, 0, 0));
    TDecoded jpeg;
    EXPECT_FALSE(DecodeJpeg("big/x.jpg", &jpeg, 1024));
    EXPECT_EQ(jpeg.width, 2000);
    TDecoded allowed;
    EXPECT_TRUE(DecodeJpeg("big/x.jpg", &allowed, 8192));
}

TEST_F(TextureDataTest, SurfaceSizesFollowTheImageAndTheDevice) {
    struct TCase {
        int width;
        int height;
        const char* options;
        bool square;
        int surfaceWidth;
        int surfaceHeight;
        int offsetX;
        int offsetY;
    };
    const std::vector<TCase> cases = {
        {300, 100, "", false, 512, 128, 106, 14},
        {300, 100, "", true, 512, 512, 106, 206},
        {300, 100, "?simple", true, 512, 128, 106, 14},
        {1, 1, "", false, 1, 1, 0, 0},
        {1, 1, "", true, 1, 1, 0, 0},
    };
    OpenDisplay();
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << c.options << (c.square ? " square" : ""));
        Data().mSquareTextures = c.square;
        AddFile("img/s.png", SolidPng(c.width, c.height, {1, 2, 3}));
        auto data = NewData();
        ASSERT_TRUE(data->LoadImage(std::string("img/s.png").append(c.options).c_str(), ""));
        EXPECT_EQ(data->GetWidth(), c.width);
        EXPECT_EQ(data->GetHeight(), c.height);
        EXPECT_EQ(data->GetSurfaceWidth(), c.surfaceWidth);
        EXPECT_EQ(data->GetSurfaceHeight(), c.surfaceHeight);
        EXPECT_EQ(data->GetOffsetX(), c.offsetX);
        EXPECT_EQ(data->GetOffsetY(), c.offsetY);
        EXPECT_EQ(SurfacePixel(*data, 0, 0), 0xFF010203u);
    }
}

TEST_F(TextureDataTest, OptionsSetFlagsEvenWhenTheLoadFails) {
    struct TCase {
        const char* path;
        uint8_t before;
        uint8_t after;
        bool loads;
    };
    constexpr uint8_t kFromFile = TTextureData::kAlphaFromFile;
    const std::vector<TCase> cases = {
        {"img/o.png", 0, 0, true},
        {"img/o.png?slow", 0, TTextureData::kSimple | TTextureData::kLarge, true},
        {"img/o.png?simple", 0, TTextureData::kSimple, true},
        {"img/o.png?alpha", kFromFile, TTextureData::kAlpha, true},
        {"img/o.png?mipmap", 0, TTextureData::kMipMap, true},
        {"img/o.png?simple+mipmap", 0, TTextureData::kSimple | TTextureData::kMipMap, true},
        // Case matters.
        {"img/o.png?ALPHA", 0, 0, true},
        // Only the last '?' starts the options.
        {"img/o.png?x?alpha", 0, TTextureData::kAlpha, false},
        {"img/missing.png?alpha", 0, TTextureData::kAlpha, false},
        // The file decides alpha when asked to: an RGB file has none.
        {"img/o.png", kFromFile | TTextureData::kAlpha, kFromFile, true},
        {"img/rgba.png", kFromFile, kFromFile | TTextureData::kAlpha, true},
    };
    OpenDisplay();
    AddFile("img/o.png", SolidPng(4, 4, {1, 2, 3}));
    AddFile("img/rgba.png", SolidPng(4, 4, {1, 2, 3, 4}));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.path);
        auto data = NewData(c.before);
        EXPECT_EQ(data->LoadImage(c.path, ""), c.loads);
        EXPECT_EQ(data->GetFlags(), c.after);
        EXPECT_EQ(data->GetFileName(), str(c.loads ? c.path : ""));
    }
}

TEST_F(TextureDataTest, NamesWithoutExtensionFindPngThenJpeg) {
    OpenDisplay();
    AddFile("gfx/a.png", SolidPng(4, 4, {1, 2, 3}));
    AddFile("gfx/a.jpg", SolidJpeg(4, 4, 200, 200, 200));
    AddFile("gfx/b.jpg", SolidJpeg(4, 4, 200, 200, 200));
    AddFile("gfx/damaged.png", TBytes(40, 7));
    AddFile("gfx/damaged.jpg", SolidJpeg(4, 4, 200, 200, 200));
    // Found as it is, with neither extension in its name: not an image.
    AddFile("gfx/plain", SolidPng(4, 4, {1, 2, 3}));
    // ".png" in a folder name decides the decoder.
    AddFile("x.png/b.jpg", SolidPng(4, 4, {1, 2, 3}));
    struct TCase {
        const char* path;
        const char* found; // null: the load fails
    };
    const std::vector<TCase> cases = {
        {"gfx/a?alpha", "gfx/a.png?alpha"},
        {"gfx/b?alpha", "gfx/b.jpg?alpha"},
        {"gfx/b", "gfx/b.jpg"},
        {"gfx/damaged", "gfx/damaged.jpg"},
        {"gfx/c?alpha", nullptr},
        {"gfx/c.png", nullptr},
        {"gfx/plain", nullptr},
        {"x.png/b.jpg", "x.png/b.jpg"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.path);
        auto data = NewData();
        EXPECT_EQ(data->LoadImage(c.path, ""), c.found != nullptr);
        EXPECT_EQ(data->GetFileName(), str(c.found != nullptr ? c.found : ""));
    }
    auto data = NewData();
    ASSERT_TRUE(data->LoadImage("gfx/a?alpha", ""));
    EXPECT_EQ(data->GetFlags(), TTextureData::kAlpha);
    EXPECT_EQ(SurfacePixel(*data, 0, 0), 0xFF010203u);
}

TEST_F(TextureDataTest, SlowAllowsLargeImages) {
    OpenDisplay();
    AddFile("big.png", SolidPng(2048, 2048, {9, 8, 7}));
    auto slow = NewData();
    ASSERT_TRUE(slow->LoadImage("big.png?slow", ""));
    EXPECT_EQ(slow->GetSurfaceWidth(), 2048);
    EXPECT_EQ(slow->GetSurfaceHeight(), 2048);
    EXPECT_EQ(SurfacePixel(*slow, 2047, 2047), 0xFF090807u);
    auto plain = NewData();
    EXPECT_FALSE(plain->LoadImage("big.png", ""));
    EXPECT_EQ(plain->GetSurface(), nullptr);
}

TEST_F(TextureDataTest, MasksGiveTheAlphaChannel) {
    OpenDisplay();
    AddFile("m/img.png", SolidPng(4, 4, {10, 20, 30}));
    // Red 0x40 and 0x90 on the diagonal: red becomes alpha, green and blue are ignored.
    TPngImage mask;
    mask.width = 4;
    mask.height = 4;
    for (int i = 0; i < 16; ++i) {
        const bool diagonal = i % 5 == 0;
        mask.rows.insert(mask.rows.end(),
                         {static_cast<uint8_t>(diagonal ? 0x90 : 0x40), 0xEE, 0xDD});
    }
    AddFile("m/mask.png", EncodePng(mask));
    auto data = NewData(TTextureData::kAlpha);
    ASSERT_TRUE(data->LoadImage("m/img.png", "m/mask.png"));
    EXPECT_EQ(data->GetMaskName(), str("m/mask.png"));
    EXPECT_EQ(SurfacePixel(*data, 0, 0), 0x900A141Eu);
    EXPECT_EQ(SurfacePixel(*data, 1, 0), 0x400A141Eu);
    EXPECT_EQ(SurfacePixel(*data, 3, 3), 0x900A141Eu);

    // Named without an extension: ".jpg" first, then ".png"; neither fails.
    struct TCase {
        const char* mask;
        std::vector<const char*> present;
        const char* found; // null: the load fails
    };
    const std::vector<TCase> cases = {
        {"m/k", {"m/k.jpg", "m/k.png"}, "m/k.jpg"},
        {"m/k", {"m/k.png"}, "m/k.png"},
        {"m/k", {}, nullptr},
        {"m/k.png", {}, nullptr},
        // A mask of another size is left out; one that does not decode fails the load.
        {"m/small.png", {"m/small.png"}, "m/small.png"},
        {"m/huge.png", {"m/huge.png"}, "m/huge.png"},
        {"m/bad.png", {"m/bad.png"}, nullptr},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mask << " with " << c.present.size() << " files");
        for (const char* name : {"m/k.jpg", "m/k.png"}) {
            RemoveFile(name);
        }
        for (const char* name : c.present) {
            AddFile(name, std::string(name).ends_with(".jpg") ? SolidJpeg(4, 4, 255, 0, 0)
                                                              : SolidPng(4, 4, {0x33, 0, 0}));
        }
        AddFile("m/small.png", SolidPng(2, 2, {0x33, 0, 0}));
        AddFile("m/huge.png", SolidPng(2048, 1, {0x33, 0, 0}));
        AddFile("m/bad.png", TBytes(50, 1));
        auto masked = NewData(TTextureData::kAlpha);
        EXPECT_EQ(masked->LoadImage("m/img.png", c.mask), c.found != nullptr);
        EXPECT_EQ(masked->GetMaskName(), str(c.found != nullptr ? c.found : ""));
    }

    // A 256-pixel mask on a 512-pixel image: the image as it is.
    AddFile("m/wide.png", SolidPng(512, 4, {1, 2, 3, 0x77}));
    AddFile("m/256.png", SolidPng(256, 4, {0x11, 0, 0}));
    auto ignored = NewData(TTextureData::kAlpha);
    ASSERT_TRUE(ignored->LoadImage("m/wide.png", "m/256.png"));
    EXPECT_EQ(SurfacePixel(*ignored, 0, 0), 0x77010203u);
}

} // namespace
