#include "tests/engine/media/sound_asset_fixture.h"

#include <cmath>

namespace sound_asset_test {
namespace {

class SoundLoadTest : public TSoundAssetTest {
protected:
    void SetUp() override {
        TSoundAssetTest::SetUp();
        Open();
    }

    static TAssetManager& Assets() { return *GetAssetManager(); }
};

TEST_F(SoundLoadTest, KeysCarryThePathTheModeAndTheCategory) {
    for (const char* name : {"a.ogg", "music.ogg", "x.ogg"}) {
        Serve(name, ToneFile(0.5));
    }
    struct TCase {
        const char* name;
        bool inMemory;
        int defaultCategory;
        const char* key;
        const char* path;
        int category;
    };
    const TCase cases[] = {
        {"a.ogg", true, -1, "a.ogg;1;-1", "a.ogg", -1},
        {"a.ogg?group=5", true, -1, "a.ogg;1;5", "a.ogg", 5},
        {"music.ogg?volume=3", false, 1001, "music.ogg;0;1001", "music.ogg", 1001},
        {"x.ogg?foo&group=7", true, 0, "x.ogg;1;7", "x.ogg", 7},
        {"x.ogg?group=-2", true, 0, "x.ogg;1;-2", "x.ogg", -2},
    };
    std::vector<TSoundPtr> held;
    for (const TCase& item : cases) {
        const TSoundPtr sound = TSound::Get(item.name, item.inMemory, item.defaultCategory);
        ASSERT_TRUE(sound) << item.name;
        EXPECT_EQ(Assets().Find(item.key), sound) << item.name;
        EXPECT_EQ(sound->GetData()->GetCategory(), item.category) << item.name;
        EXPECT_EQ(sound->GetData()->GetName(), str(item.path)) << item.name;
        EXPECT_EQ(TSound::Get(item.name, item.inMemory, item.defaultCategory), sound)
            << "the second request finds the first";
        held.push_back(sound);
    }
    EXPECT_NE(held[0], held[1]) << "two categories, two assets";
    EXPECT_STREQ(held[0]->GetClassName(), "TSound");
    EXPECT_TRUE(held[0]->IsKindOf(TAsset::ClassId()));
    EXPECT_TRUE(held[0]->IsKindOf(TSound::ClassId()));

    EXPECT_EQ(SoundLog(), "");
    // Once the last holder lets go, the next request reads the file again.
    held.clear();
    EXPECT_FALSE(Assets().Find("a.ogg;1;-1"));
    RegisterMemoryFile("a.ogg", nullptr, 0);
    EXPECT_FALSE(TSound::Get("a.ogg", true, -1));
    EXPECT_TRUE(Logged("TSound::Get: OGG file not found: a.ogg")) << LogText();
}

TEST_F(SoundLoadTest, NamesThatAreNotOggGiveNothingSilently) {
    Serve("sound.wav", ToneFile(0.5));
    Serve("other.png", ToneFile(0.5));
    for (const char* name : {"", "sound.wav", "other.png?group=ogg", "?.ogg"}) {
        EXPECT_FALSE(TSound::Get(name, true, -1)) << name;
    }
    EXPECT_EQ(SoundLog(), "");
}

TEST_F(SoundLoadTest, MissingAndDamagedFilesFailWithTheirLines) {
    TBytes noise(5000);
    for (std::size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<std::uint8_t>(i * 131u + 7u);
    }
    Serve("noise.ogg", noise);
    Serve("empty.ogg", TBytes());
    // The first page only: the headers end before the decoder has them all.
    Serve("headless.ogg", sound_ogg::Pages(ToneFile(0.5)).front());
    struct TCase {
        const char* name;
        bool inMemory;
        const char* path;
        const char* key;
        const char* lines;
    };
    const TCase cases[] = {
        {"missing.ogg", true, "missing.ogg", "missing.ogg;1;0",
         "TSound::Get: OGG file not found: missing.ogg\r\n"},
        {"missing.ogg?group=2", false, "missing.ogg", "missing.ogg;0;2",
         "TSound::Get: OGG file not found: missing.ogg\r\n"},
        {"noise.ogg", true, "noise.ogg", "noise.ogg;1;0", "OGG file could not be opened\r\n"},
        {"noise.ogg", false, "noise.ogg", "noise.ogg;0;0", "OGG file could not be opened\r\n"},
        {"empty.ogg", true, "empty.ogg", "empty.ogg;1;0", "OGG file could not be opened\r\n"},
        {"headless.ogg", false, "headless.ogg", "headless.ogg;0;0",
         "OGG file could not be opened\r\n"},
    };
    for (const TCase& item : cases) {
        SetLogFolder(nullptr);
        SetLogFolder(mLogs.Path().string().c_str());
        EXPECT_FALSE(TSound::Get(item.name, item.inMemory, 0)) << item.name;
        const std::string log = LogText();
        EXPECT_NE(log.find(item.lines), std::string::npos) << item.name << "\n" << log;
        const std::string loading = std::string("TSound::Get: Error loading ") + item.path;
        EXPECT_EQ(log.find(loading) != std::string::npos, std::string(item.path) != "missing.ogg")
            << log;
        EXPECT_FALSE(Assets().Find(item.key)) << item.name;
    }
    // The damaged files were closed once each: a file still open or closed twice shows up
    // under the sanitizers. They open again as if nothing had happened.
    EXPECT_FALSE(TSound::Get("noise.ogg", false, 0));
}

TEST_F(SoundLoadTest, ShortSoundsReadIntoMemoryAreDecodedAtLoad) {
    struct TCase {
        const char* name;
        double seconds;
        int rate;
        int channels;
        bool inMemory;
        bool decodedAtLoad;
    };
    const TCase cases[] = {
        {"s15.ogg", 1.5, 44100, 2, true, true},     {"s20.ogg", 2.0, 44100, 2, true, true},
        {"s201.ogg", 2.01, 44100, 2, true, false},  {"mono.ogg", 1.0, 22050, 1, true, true},
        {"music.ogg", 0.5, 44100, 2, false, false},
    };
    for (const TCase& item : cases) {
        const TBytes& file = ToneFile(item.seconds, item.rate, item.channels);
        Serve(item.name, file);
        const TSoundPtr sound = TSound::Get(item.name, item.inMemory, 0);
        ASSERT_TRUE(sound) << item.name;
        const TSoundData& data = *sound->GetData();
        EXPECT_EQ(data.GetRate(), item.rate);
        EXPECT_EQ(data.GetChannels(), item.channels);
        EXPECT_DOUBLE_EQ(data.GetLength(),
                         std::lround(item.seconds * item.rate) / static_cast<double>(item.rate))
            << item.name;
        EXPECT_FLOAT_EQ(sound->GetLength(), static_cast<float>(data.GetLength()));
        EXPECT_EQ(data.GetPcm() != nullptr, item.decodedAtLoad) << item.name;
        EXPECT_EQ(data.GetDecoder() == nullptr, item.decodedAtLoad) << item.name;
        if (!item.decodedAtLoad) {
            continue;
        }
        // The block: the length and a tenth of a second (a float's), whole bytes.
        const auto capacity = static_cast<uint32_t>((data.GetLength() + static_cast<double>(0.1f)) *
                                                    item.channels * item.rate * 2.0);
        EXPECT_EQ(data.GetCapacity(), capacity);
        const TSamples& expected = Decoded(file);
        ASSERT_EQ(data.GetDecoded(), expected.size() * 2) << item.name;
        EXPECT_EQ(AsSamples(data.GetPcm(), data.GetDecoded()), expected) << item.name;
    }
}

// The identification header of the first page says `rate`; the page is sealed again.
TBytes WithRate(const TBytes& file, uint32_t rate) {
    std::vector<TBytes> pages = sound_ogg::Pages(file);
    TBytes& first = pages.front();
    const std::size_t body = 27 + static_cast<std::size_t>(first[26]);
    // "\x01vorbis", a 32-bit version, the channel count, then the rate.
    const std::size_t at = body + 7 + 4 + 1;
    for (int i = 0; i < 4; ++i) {
        first[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rate >> (8 * i));
    }
    SealPage(first);
    return sound_ogg::Join(pages);
}

TEST_F(SoundLoadTest, AHeaderThatAsksForAHugeBlockFailsToLoad) {
    // 0.5 s of frames at 2^31 - 1 Hz is a tiny length whose block would be gigabytes; at 4 MHz
    // it is 2 MB, which loads.
    Serve("huge.ogg", WithRate(ToneFile(0.5), 0x7FFFFFFFu));
    Serve("fast.ogg", WithRate(ToneFile(0.5), 4000000u));
    EXPECT_FALSE(TSound::Get("huge.ogg", true, 0));
    EXPECT_TRUE(Logged("OGG file could not be opened")) << LogText();
    EXPECT_TRUE(Logged("TSound::Get: Error loading huge.ogg")) << LogText();

    const TSoundPtr fast = TSound::Get("fast.ogg", true, 0);
    ASSERT_TRUE(fast);
    const TSoundData& data = *fast->GetData();
    EXPECT_EQ(data.GetRate(), 4000000);
    ASSERT_NE(data.GetPcm(), nullptr);
    EXPECT_EQ(data.GetDecoded(), Decoded(ToneFile(0.5)).size() * 2);
    EXPECT_LE(data.GetCapacity(), TSoundData::kMaxDecodedBytes);
}

// Damaged copies of one file: the decoder gives a shorter sound or none, never a fault.
std::vector<std::pair<std::string, TBytes>> DamagedFiles(const TBytes& file) {
    const std::vector<TBytes> pages = sound_ogg::Pages(file);
    std::vector<std::pair<std::string, TBytes>> damaged;
    damaged.emplace_back("truncated", TBytes(file.begin(), file.begin() + file.size() / 2));
    damaged.emplace_back("cut in the headers", TBytes(file.begin(), file.begin() + 200));
    std::vector<TBytes> holed = pages;
    holed.erase(holed.begin() + static_cast<std::ptrdiff_t>(pages.size() / 2));
    damaged.emplace_back("a hole", sound_ogg::Join(holed));
    TBytes flipped = file;
    for (std::size_t i = file.size() / 3; i < file.size(); i += 997) {
        flipped[i] ^= 0x10;
    }
    damaged.emplace_back("bit flips", flipped);
    // Flips the checksums let through: the packets themselves are damaged.
    std::vector<TBytes> sealed = pages;
    for (std::size_t p = 3; p < sealed.size(); ++p) {
        TBytes& page = sealed[p];
        for (std::size_t i = 27 + page[26] + 5; i < page.size(); i += 61) {
            page[i] = static_cast<std::uint8_t>(page[i] * 37u + 11u);
        }
        SealPage(page);
    }
    damaged.emplace_back("damaged packets", sound_ogg::Join(sealed));
    return damaged;
}

TEST_F(SoundLoadTest, DamagedFilesDecodeShorterOrFailCleanly) {
    for (const auto& [what, bytes] : DamagedFiles(ToneFile(1.5))) {
        Serve("damaged.ogg", bytes);
        const TSamples expected = sound_ogg::Decode(bytes);
        const TSoundPtr sound = TSound::Get("damaged.ogg", true, 0);
        if (!sound) {
            EXPECT_TRUE(Logged("TSound::Get: Error loading damaged.ogg")) << what;
            continue;
        }
        const TSoundData& data = *sound->GetData();
        if (data.GetPcm() == nullptr) {
            // A broken length may be longer than 2 seconds: the decoder is kept.
            continue;
        }
        // What vorbisfile decodes, as far as the block reaches.
        const std::size_t bytesKept =
            std::min<std::size_t>(expected.size() * 2, data.GetCapacity());
        ASSERT_EQ(data.GetDecoded(), bytesKept / 4 * 4) << what;
        EXPECT_EQ(AsSamples(data.GetPcm(), data.GetDecoded()),
                  TSamples(expected.begin(),
                           expected.begin() + static_cast<std::ptrdiff_t>(data.GetDecoded() / 2)))
            << what;
    }
}

} // namespace
} // namespace sound_asset_test
