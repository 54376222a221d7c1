// The generators in tools/ make the committed images, sounds and visual-object files again: each
// is rebuilt into a temporary folder and compared, images pixel for pixel and sounds sample by
// sample within a tolerance, so that another version of the Vorbis encoder does not fail it, and
// visual-object files byte for byte.

#include "tests/engine/media/sound_ogg.h"
#include "tests/fixtures/tempdir.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace assets_test {
namespace {

namespace fs = std::filesystem;
using testing_fixtures::BinaryDir;
using testing_fixtures::SourceDir;

struct TImage {
    int width = 0;
    int height = 0;
    std::vector<png_byte> rgba;
};

TImage DecodePng(const fs::path& path) {
    TImage image;
    png_image header{};
    header.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&header, path.string().c_str()) == 0) {
        return image;
    }
    header.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(header));
    if (png_image_finish_read(&header, nullptr, pixels.data(), 0, nullptr) == 0) {
        return image;
    }
    image.width = static_cast<int>(header.width);
    image.height = static_cast<int>(header.height);
    image.rgba = std::move(pixels);
    return image;
}

sound_ogg::TSamples DecodeOgg(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return sound_ogg::Decode(
        sound_ogg::TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

double Rms(const std::vector<double>& values) {
    double sum = 0.0;
    for (const double value : values) {
        sum += value * value;
    }
    return values.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(values.size()));
}

// The files below `root` with the extension, by their path from `root`.
std::set<std::string> Files(const fs::path& root, const std::string& extension) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && entry.path().extension() == extension) {
            files.insert(entry.path().lexically_relative(root).generic_string());
        }
    }
    return files;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int RunTool(const std::string& command) {
    return std::system(command.c_str());
}

class TDemoRegenerateTest : public ::testing::Test {
protected:
    static std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

    testing_fixtures::TempDir mMade;
};

TEST_F(TDemoRegenerateTest, TheArtGeneratorDrawsTheCommittedImages) {
    ASSERT_EQ(RunTool(Quoted(BinaryDir() / "tools/artgen") + " " +
                      Quoted(SourceDir() / "tools/artgen/images.txt") + " " +
                      Quoted(SourceDir() / "assets/fonts/default.mvec") + " " +
                      Quoted(mMade.Path())),
              0);
    const std::set<std::string> made = Files(mMade.Path(), ".png");
    EXPECT_EQ(made, Files(SourceDir() / "assets", ".png")) << "every image comes from artgen";
    for (const std::string& file : made) {
        SCOPED_TRACE(file);
        const TImage fresh = DecodePng(mMade.Path() / file);
        const TImage committed = DecodePng(SourceDir() / "assets" / file);
        ASSERT_GT(fresh.width, 0);
        EXPECT_EQ(fresh.width, committed.width);
        EXPECT_EQ(fresh.height, committed.height);
        EXPECT_TRUE(fresh.rgba == committed.rgba) << "the pixels differ";
    }
}

TEST_F(TDemoRegenerateTest, TheSoundGeneratorSynthesisesTheCommittedSounds) {
    ASSERT_EQ(RunTool(Quoted(BinaryDir() / "tools/soundgen") + " " +
                      Quoted(SourceDir() / "tools/soundgen/sounds.txt") + " " +
                      Quoted(mMade.Path())),
              0);
    const std::set<std::string> made = Files(mMade.Path(), ".ogg");
    EXPECT_EQ(made, Files(SourceDir() / "assets", ".ogg")) << "every sound comes from soundgen";
    for (const std::string& file : made) {
        SCOPED_TRACE(file);
        const sound_ogg::TSamples fresh = DecodeOgg(mMade.Path() / file);
        const sound_ogg::TSamples committed = DecodeOgg(SourceDir() / "assets" / file);
        ASSERT_FALSE(fresh.empty());
        ASSERT_EQ(fresh.size(), committed.size()) << "the length is the description's";
        std::vector<double> difference(fresh.size());
        std::vector<double> signal(fresh.size());
        for (size_t i = 0; i < fresh.size(); ++i) {
            difference[i] = static_cast<double>(fresh[i]) - committed[i];
            signal[i] = committed[i];
        }
        // Coding noise of the quality used lies some 25 dB below the signal; two encodings
        // differ by about that. Another sound differs by as much as the signal itself.
        EXPECT_LE(Rms(difference), 0.15 * Rms(signal)) << "the samples differ";
    }
}

TEST_F(TDemoRegenerateTest, TheVisualGeneratorWritesTheCommittedObjectFiles) {
    ASSERT_EQ(RunTool(Quoted(BinaryDir() / "tools/visualgen") + " " +
                      Quoted(SourceDir() / "tools/visualgen/visuals.txt") + " " +
                      Quoted(mMade.Path())),
              0);
    const std::set<std::string> made = Files(mMade.Path() / "xml", ".xml");
    EXPECT_FALSE(made.empty());
    EXPECT_EQ(made, Files(SourceDir() / "assets/xml", ".xml"))
        << "every object file comes from visualgen";
    for (const std::string& file : made) {
        SCOPED_TRACE(file);
        EXPECT_EQ(ReadText(mMade.Path() / "xml" / file),
                  ReadText(SourceDir() / "assets/xml" / file))
            << "the bytes differ";
    }
}

} // namespace
} // namespace assets_test
