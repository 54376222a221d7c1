// PNG files of screen images: what WritePng writes comes back unchanged and always as the same
// bytes, ReadPng turns any PNG into 0xFFRRGGBB pixels, and neither accepts a damaged file or a
// failed write as success.
#include "platform/directx/standin_directx.h"

#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

// Named: the tests of this folder compile together in unity batches.
namespace pngimage_test {

using standin::ReadPng;
using standin::TScreenImage;
using standin::WritePng;
using testing_fixtures::TempDir;

// A PNG as a test writes it by hand, in any of the forms the format has. `data` is the packed
// rows, one after the other.
struct TRawPng {
    int width = 0;
    int height = 0;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    int interlace = PNG_INTERLACE_NONE;
    std::vector<png_byte> data;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
    std::optional<png_color_16> transparent;
    double gamma = 0.0; // written as a gAMA chunk when not 0
};

[[noreturn]] void RawPngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

// No C++ object lives here: libpng's errors longjmp back to the setjmp.
bool EncodeRawPng(png_structp png, png_infop info, std::FILE* file, const TRawPng* raw,
                  png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(raw->width),
                 static_cast<png_uint_32>(raw->height), raw->bitDepth, raw->colorType,
                 raw->interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!raw->palette.empty()) {
        png_set_PLTE(png, info, raw->palette.data(), static_cast<int>(raw->palette.size()));
    }
    if (!raw->paletteAlpha.empty() || raw->transparent) {
        png_set_tRNS(png, info, raw->paletteAlpha.empty() ? nullptr : raw->paletteAlpha.data(),
                     static_cast<int>(raw->paletteAlpha.size()),
                     raw->transparent ? &*raw->transparent : nullptr);
    }
    if (raw->gamma != 0.0) {
        png_set_gAMA(png, info, raw->gamma);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

bool WriteRawPng(const std::string& path, const TRawPng& raw) {
    const int channels = raw.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                         : raw.colorType == PNG_COLOR_TYPE_RGB      ? 3
                         : raw.colorType == PNG_COLOR_TYPE_RGBA     ? 4
                                                                    : 1;
    const std::size_t rowBytes = (raw.width * channels * raw.bitDepth + 7) / 8;
    if (raw.data.size() != rowBytes * raw.height) {
        return false;
    }
    std::vector<png_byte> data = raw.data;
    std::vector<png_bytep> rows(raw.height);
    for (int y = 0; y < raw.height; ++y) {
        rows[y] = data.data() + y * rowBytes;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, RawPngError, nullptr);
    png_infop info = png_create_info_struct(png);
    const bool written = EncodeRawPng(png, info, file, &raw, rows.data());
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && written;
}

std::vector<png_byte> Bytes(std::initializer_list<int> values) {
    std::vector<png_byte> bytes;
    for (int value : values) {
        bytes.push_back(static_cast<png_byte>(value));
    }
    return bytes;
}

std::string FileBytes(const std::string& path) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            bytes.append(buffer, got);
        }
        std::fclose(file);
    }
    return bytes;
}

std::uint32_t BigEndian32(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

void PutBigEndian32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
    }
}

// The CRC of the chunk at `at` (its length field) made right again after its contents changed.
void FixChunkCrc(std::string& bytes, std::size_t at) {
    const std::uint32_t length = BigEndian32(bytes, at);
    const auto* typeAndData = reinterpret_cast<const Bytef*>(bytes.data() + at + 4);
    const auto crc = static_cast<std::uint32_t>(crc32(0, typeAndData, length + 4));
    PutBigEndian32(bytes, at + 8 + length, crc);
}

struct TChunk {
    std::string type;
    std::size_t at; // its length field
    std::uint32_t length;
};

std::vector<TChunk> Chunks(const std::string& bytes) {
    std::vector<TChunk> chunks;
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint32_t length = BigEndian32(bytes, at);
        chunks.push_back({bytes.substr(at + 4, 4), at, length});
        at += 12 + length;
    }
    return chunks;
}

// Every pixel different, in each channel, from its neighbours.
TScreenImage Distinct(int width, int height) {
    TScreenImage image;
    image.width = width;
    image.height = height;
    for (int i = 0; i < width * height; ++i) {
        image.pixels.push_back(0xFF000000u | static_cast<std::uint32_t>(i * 0x0B) << 16 |
                               static_cast<std::uint32_t>(255 - i * 7) << 8 |
                               static_cast<std::uint32_t>(i * 0x35 + 1) % 256);
    }
    return image;
}

TEST(PngImage, RoundTripKeepsEveryPixel) {
    TempDir dir;
    const std::string path = (dir.Path() / "distinct.png").string();
    TScreenImage image = Distinct(5, 3);
    image.pixels[0] = 0xFF000000u;
    image.pixels[14] = 0xFFFFFFFFu;
    ASSERT_TRUE(WritePng(path, image));
    TScreenImage read;
    ASSERT_TRUE(ReadPng(path, &read));
    EXPECT_EQ(read.width, 5);
    EXPECT_EQ(read.height, 3);
    EXPECT_EQ(read.pixels, image.pixels);
}

TEST(PngImage, SameImageGivesTheSameBytes) {
    TempDir dir;
    const std::string first = (dir.Path() / "first.png").string();
    const std::string second = (dir.Path() / "second.png").string();
    const TScreenImage image = Distinct(40, 30);
    ASSERT_TRUE(WritePng(first, image));
    ASSERT_TRUE(WritePng(second, image));
    EXPECT_EQ(FileBytes(first), FileBytes(second));
}

// Nothing that could differ between two writes of one image, nor gamma that would change how it
// reads elsewhere: a header of 8-bit RGB, the pixels and the end.
TEST(PngImage, FileHoldsOnlyEightBitRgbPixels) {
    TempDir dir;
    const std::string path = (dir.Path() / "plain.png").string();
    ASSERT_TRUE(WritePng(path, Distinct(7, 2)));
    const std::string bytes = FileBytes(path);
    const std::vector<TChunk> chunks = Chunks(bytes);
    ASSERT_GE(chunks.size(), 3u);
    EXPECT_EQ(chunks.front().type, "IHDR");
    EXPECT_EQ(chunks.back().type, "IEND");
    for (std::size_t i = 1; i + 1 < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].type, "IDAT") << "chunk " << i;
    }
    const std::size_t header = chunks.front().at + 8;
    EXPECT_EQ(BigEndian32(bytes, header), 7u);
    EXPECT_EQ(BigEndian32(bytes, header + 4), 2u);
    EXPECT_EQ(bytes[header + 8], 8) << "bit depth";
    EXPECT_EQ(bytes[header + 9], PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(bytes[header + 12], PNG_INTERLACE_NONE);
}

struct TFormatCase {
    const char* name;
    TRawPng raw;
    std::vector<std::uint32_t> expected;
};

TRawPng Raw(int width, int height, int colorType, int bitDepth, std::vector<png_byte> data) {
    TRawPng raw;
    raw.width = width;
    raw.height = height;
    raw.colorType = colorType;
    raw.bitDepth = bitDepth;
    raw.data = std::move(data);
    return raw;
}

std::vector<TFormatCase> FormatCases() {
    std::vector<TFormatCase> cases;
    cases.push_back({"grey, 1 bit: 1 0 1",
                     Raw(3, 1, PNG_COLOR_TYPE_GRAY, 1, Bytes({0xA0})),
                     {0xFFFFFFFFu, 0xFF000000u, 0xFFFFFFFFu}});
    cases.push_back({"grey, 4 bits: 5 and A widen to 55 and AA",
                     Raw(2, 1, PNG_COLOR_TYPE_GRAY, 4, Bytes({0x5A})),
                     {0xFF555555u, 0xFFAAAAAAu}});
    // A transparent grey level is still that grey.
    TRawPng greyKey = Raw(1, 2, PNG_COLOR_TYPE_GRAY, 8, Bytes({0x33, 0x44}));
    greyKey.transparent = png_color_16{0, 0, 0, 0, 0x33};
    cases.push_back({"grey, 8 bits, one level transparent", greyKey, {0xFF333333u, 0xFF444444u}});
    // The file calls its values linear (gamma 1.0); a reader correcting that for the screen would
    // brighten 0x40. The values are taken as they are.
    TRawPng linear = Raw(1, 1, PNG_COLOR_TYPE_GRAY, 16, Bytes({0x40, 0x00}));
    linear.gamma = 1.0;
    cases.push_back({"grey, 16 bits, gamma 1.0", linear, {0xFF404040u}});
    // Alpha is dropped, not blended: a fully transparent pixel keeps its colour.
    cases.push_back({"grey and alpha, 8 bits",
                     Raw(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, Bytes({0x80, 0x00, 0x20, 0xFF})),
                     {0xFF808080u, 0xFF202020u}});
    cases.push_back({"RGB, 16 bits",
                     Raw(1, 1, PNG_COLOR_TYPE_RGB, 16, Bytes({0x12, 0x12, 0xAB, 0xAB, 0xFE, 0xFE})),
                     {0xFF12ABFEu}});
    cases.push_back({"RGBA, 8 bits",
                     Raw(2, 1, PNG_COLOR_TYPE_RGBA, 8, Bytes({10, 20, 30, 0, 200, 100, 50, 128})),
                     {0xFF0A141Eu, 0xFFC86432u}});
    TRawPng palette = Raw(4, 1, PNG_COLOR_TYPE_PALETTE, 2, Bytes({0x1B})); // 0 1 2 3
    palette.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {1, 2, 3}};
    palette.paletteAlpha = Bytes({0, 128});
    cases.push_back({"palette, 2 bits, partly transparent",
                     palette,
                     {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF010203u}});
    TRawPng bytePalette = Raw(2, 1, PNG_COLOR_TYPE_PALETTE, 8, Bytes({1, 0}));
    bytePalette.palette = {{9, 8, 7}, {250, 251, 252}};
    cases.push_back({"palette, 8 bits", bytePalette, {0xFFFAFBFCu, 0xFF090807u}});
    // Interlaced: the seven passes of a 9 x 9 image land back in their places.
    TRawPng interlaced = Raw(9, 9, PNG_COLOR_TYPE_RGB, 8, {});
    interlaced.interlace = PNG_INTERLACE_ADAM7;
    std::vector<std::uint32_t> grid;
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            const int r = x * 20;
            const int g = y * 20;
            const int b = 200 - x - 9 * y;
            interlaced.data.insert(
                interlaced.data.end(),
                {static_cast<png_byte>(r), static_cast<png_byte>(g), static_cast<png_byte>(b)});
            grid.push_back(0xFF000000u | static_cast<std::uint32_t>(r << 16 | g << 8 | b));
        }
    }
    cases.push_back({"RGB, 8 bits, interlaced", interlaced, grid});
    return cases;
}

TEST(PngImage, ReadsEveryFormatAsOpaqueRgb) {
    TempDir dir;
    for (const TFormatCase& test : FormatCases()) {
        SCOPED_TRACE(test.name);
        const std::string path = (dir.Path() / "format.png").string();
        ASSERT_TRUE(WriteRawPng(path, test.raw));
        TScreenImage read;
        ASSERT_TRUE(ReadPng(path, &read));
        EXPECT_EQ(read.width, test.raw.width);
        EXPECT_EQ(read.height, test.raw.height);
        EXPECT_EQ(read.pixels, test.expected);
    }
}

TEST(PngImage, ReadRefusesWhatIsNotAWholePng) {
    TempDir dir;
    const std::string good = (dir.Path() / "good.png").string();
    ASSERT_TRUE(WritePng(good, Distinct(16, 16)));
    const std::string bytes = FileBytes(good);
    const std::vector<TChunk> chunks = Chunks(bytes);
    ASSERT_EQ(chunks[1].type, "IDAT");
    const std::size_t idatData = chunks[1].at + 8;

    std::string badHeaderCrc = bytes;
    badHeaderCrc[chunks[0].at + 8] ^= 0x01;
    // The deflate stream broken, the chunk's CRC made right: zlib must notice.
    std::string badDeflate = bytes;
    badDeflate[idatData] = static_cast<char>(0xFF);
    badDeflate[idatData + 1] = static_cast<char>(0xFF);
    FixChunkCrc(badDeflate, chunks[1].at);
    // A header with a right CRC that claims more pixels than any screen has.
    std::string huge = bytes;
    PutBigEndian32(huge, chunks[0].at + 8, 100000);
    PutBigEndian32(huge, chunks[0].at + 12, 100000);
    FixChunkCrc(huge, chunks[0].at);

    const struct {
        const char* name;
        std::optional<std::string> contents; // none: the file does not exist
    } cases[] = {
        {"missing", std::nullopt},
        {"empty", std::string()},
        {"text", std::string("not a picture at all\n")},
        {"signature only", bytes.substr(0, 8)},
        {"cut in the middle of the pixels", bytes.substr(0, idatData + chunks[1].length / 2)},
        {"without its end", bytes.substr(0, chunks.back().at)},
        {"header CRC wrong", badHeaderCrc},
        {"pixel data not deflate", badDeflate},
        {"header claims 100000 x 100000", huge},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const std::string path = (dir.Path() / (std::string(test.name) + ".png")).string();
        if (test.contents) {
            dir.Write(std::string(test.name) + ".png", *test.contents);
        }
        TScreenImage image = Distinct(2, 1);
        EXPECT_FALSE(ReadPng(path, &image));
        EXPECT_EQ(image.pixels, Distinct(2, 1).pixels) << "the image changed on a failed read";
    }
    TScreenImage image;
    EXPECT_FALSE(ReadPng(dir.Path().string(), &image)) << "a folder";
    EXPECT_FALSE(ReadPng(good, nullptr));
}

TEST(PngImage, WriteFailsOnABadImageOrPlace) {
    TempDir dir;
    const std::string inside = (dir.Path() / "image.png").string();
    TScreenImage missingOne = Distinct(2, 2);
    missingOne.pixels.pop_back();
    const struct {
        const char* name;
        std::string path;
        TScreenImage image;
    } cases[] = {
        {"folder missing", (dir.Path() / "none" / "image.png").string(), Distinct(2, 2)},
        {"a folder", dir.Path().string(), Distinct(2, 2)},
        {"no pixels", inside, TScreenImage{}},
        {"fewer pixels than the size", inside, missingOne},
        {"negative size", inside, TScreenImage{-2, -2, {}}},
        {"disk full", "/dev/full", Distinct(2, 2)},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        if (test.path == "/dev/full" && access("/dev/full", W_OK) != 0) {
            continue;
        }
        EXPECT_FALSE(WritePng(test.path, test.image));
    }
}

} // namespace pngimage_test
