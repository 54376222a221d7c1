#include "engine/media/oggmemsource.h"
#include "tests/engine/media/sound_asset_fixture.h"

#include <cmath>
#include <limits>

namespace sound_asset_test {
namespace {

// Spoolers read straight, without a platform: no stream, no sound thread.
class SoundSpoolerTest : public TSoundAssetTest {
protected:
    // A sound of `seconds`, decoded at load or kept as a decoder (read into memory, or from its
    // file when `fromFile`).
    TSoundPtr Load(const std::string& name, double seconds, bool fromFile = false) {
        Serve(name, ToneFile(seconds));
        TSoundPtr sound = TSound::Get(name.c_str(), !fromFile, 0);
        EXPECT_TRUE(sound) << name;
        return sound;
    }

    struct TRead {
        TSamples samples;
        int bytesRead = 0;
        bool more = false;
    };
    // One read of `frames` stereo frames into a buffer full of garbage.
    static TRead Read(TMemSpooler& spooler, std::size_t frames, bool loop) {
        TRead read;
        read.samples.assign(frames * 2, 0x5A5A);
        read.more =
            spooler.Read(static_cast<int>(frames * 4), read.samples.data(), &read.bytesRead, loop);
        return read;
    }

    // The samples of `all` from frame `from` on, `frames` of them, silence past the end.
    static TSamples Slice(const TSamples& all, std::size_t from, std::size_t frames) {
        TSamples slice(frames * 2, 0);
        for (std::size_t i = 0; i < slice.size() && from * 2 + i < all.size(); ++i) {
            slice[i] = all[from * 2 + i];
        }
        return slice;
    }
};

TEST_F(SoundSpoolerTest, ReadsInPiecesAndEndsWithSilence) {
    struct TCase {
        const char* name;
        double seconds;
        bool fromFile;
    };
    // Decoded at load, decoded while playing from memory, and from the open file.
    const TCase cases[] = {
        {"load.ogg", 1.0, false}, {"play.ogg", 2.5, false}, {"file.ogg", 1.0, true}};
    for (const TCase& item : cases) {
        const TSoundPtr sound = Load(item.name, item.seconds, item.fromFile);
        ASSERT_TRUE(sound);
        const TSamples& all = Decoded(ToneFile(item.seconds));
        const std::size_t total = all.size() / 2;
        TMemSpooler spooler(sound->GetData());
        EXPECT_DOUBLE_EQ(spooler.GetLength(), item.seconds);
        const std::size_t piece = 20000;
        std::size_t at = 0;
        for (; at + piece <= total; at += piece) {
            const TRead read = Read(spooler, piece, false);
            ASSERT_TRUE(read.more) << item.name << " at " << at;
            ASSERT_EQ(read.bytesRead, static_cast<int>(piece * 4));
            ASSERT_EQ(read.samples, Slice(all, at, piece)) << item.name << " at " << at;
        }
        const TRead last = Read(spooler, piece, false);
        EXPECT_FALSE(last.more) << item.name;
        EXPECT_EQ(last.bytesRead, static_cast<int>((total - at) * 4)) << item.name;
        EXPECT_EQ(last.samples, Slice(all, at, piece)) << item.name;
        const TRead after = Read(spooler, 100, false);
        EXPECT_FALSE(after.more);
        EXPECT_EQ(after.bytesRead, 0);
        EXPECT_EQ(after.samples, TSamples(200, 0));
    }
}

TEST_F(SoundSpoolerTest, ALoopingReadWrapsInsideTheBuffer) {
    for (const auto& [name, seconds] : {std::pair{"short.ogg", 0.5}, std::pair{"long.ogg", 2.2}}) {
        const TSoundPtr sound = Load(name, seconds);
        const TSamples& all = Decoded(ToneFile(seconds));
        const std::size_t total = all.size() / 2;
        TMemSpooler spooler(sound->GetData());
        // Reads of 1.3 s: each wraps at least once for the short sound, now and then for the
        // long one.
        const std::size_t frames = 57330;
        for (int pass = 0; pass < 4; ++pass) {
            const TRead read = Read(spooler, frames, true);
            ASSERT_TRUE(read.more);
            ASSERT_EQ(read.bytesRead, static_cast<int>(frames * 4));
            for (std::size_t i = 0; i < frames; ++i) {
                const std::size_t frame = (pass * frames + i) % total;
                ASSERT_EQ(read.samples[2 * i], all[2 * frame]) << name << " pass " << pass;
                ASSERT_EQ(read.samples[2 * i + 1], all[2 * frame + 1]);
            }
        }
    }
}

TEST_F(SoundSpoolerTest, CopiesSharingADecoderKeepTheirOwnPositions) {
    const TSoundPtr sound = Load("shared.ogg", 3.0);
    ASSERT_NE(sound->GetData()->GetDecoder(), nullptr);
    const TSamples& all = Decoded(ToneFile(3.0));
    TMemSpooler first(sound->GetData());
    TMemSpooler second(sound->GetData());
    const std::size_t piece = 11025;
    std::size_t firstAt = 0;
    // The first copy starts a second ahead.
    for (int i = 0; i < 4; ++i, firstAt += piece) {
        ASSERT_EQ(Read(first, piece, false).samples, Slice(all, firstAt, piece));
    }
    std::size_t secondAt = 0;
    for (int i = 0; i < 6; ++i, firstAt += piece, secondAt += piece) {
        ASSERT_EQ(Read(second, piece, false).samples, Slice(all, secondAt, piece)) << i;
        ASSERT_EQ(Read(first, piece, false).samples, Slice(all, firstAt, piece)) << i;
    }
    EXPECT_EQ(second.GetPosition(), static_cast<int32_t>(secondAt));
    EXPECT_EQ(first.GetPosition(), static_cast<int32_t>(firstAt));
}

TEST_F(SoundSpoolerTest, SeekGoesToTheNearestWholeFrameWithinTheData) {
    const TSoundPtr loaded = Load("seek.ogg", 1.0);
    const TSamples& all = Decoded(ToneFile(1.0));
    const auto lastByte = static_cast<int32_t>(all.size() * 2);
    TMemSpooler spooler(loaded->GetData());
    const std::pair<float, int32_t> cases[] = {
        {0.5f, 88200},
        {0.25002f, 11026 * 4},
        {-1.0f, 0},
        {100.0f, lastByte},
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {std::numeric_limits<float>::infinity(), lastByte},
    };
    for (const auto& [seconds, position] : cases) {
        spooler.Seek(seconds);
        EXPECT_EQ(spooler.GetPosition(), position) << seconds;
    }
    spooler.Seek(0.5f);
    EXPECT_EQ(Read(spooler, 100, false).samples, Slice(all, 22050, 100));
    spooler.Rewind();
    EXPECT_EQ(spooler.GetPosition(), 0);

    // With a decoder the position is its sample frame.
    const TSoundPtr playing = Load("seek2.ogg", 2.5);
    const TSamples& longer = Decoded(ToneFile(2.5));
    TMemSpooler decoding(playing->GetData());
    decoding.Seek(1.5f);
    EXPECT_EQ(decoding.GetPosition(), 66150);
    EXPECT_EQ(Read(decoding, 1000, false).samples, Slice(longer, 66150, 1000));
    decoding.Rewind();
    EXPECT_EQ(decoding.GetPosition(), 0);
    EXPECT_EQ(Read(decoding, 1000, false).samples, Slice(longer, 0, 1000));
}

TEST_F(SoundSpoolerTest, ASoundWithoutSamplesLoopsSilently) {
    Serve("silent.ogg", sound_ogg::Encode(TSamples(), 44100, 2));
    for (const bool fromFile : {false, true}) {
        const TSoundPtr sound = TSound::Get("silent.ogg", !fromFile, 0);
        ASSERT_TRUE(sound) << fromFile;
        EXPECT_EQ(sound->GetLength(), 0.0f);
        TMemSpooler spooler(sound->GetData());
        const TRead looped = Read(spooler, 1000, true);
        EXPECT_TRUE(looped.more) << "a loop goes on";
        EXPECT_EQ(looped.bytesRead, 0);
        EXPECT_EQ(looped.samples, TSamples(2000, 0));
        const TRead once = Read(spooler, 1000, false);
        EXPECT_FALSE(once.more);
        EXPECT_EQ(once.samples, TSamples(2000, 0));
    }
}

TEST_F(SoundSpoolerTest, ASpoolerWhoseDataIsGoneReadsSilence) {
    TSoundPtr sound = Load("gone.ogg", 0.5);
    TMemSpooler spooler(sound->GetData());
    sound.reset();
    EXPECT_EQ(spooler.GetLength(), 0.0);
    const TRead read = Read(spooler, 500, true);
    EXPECT_FALSE(read.more);
    EXPECT_EQ(read.bytesRead, 0);
    EXPECT_EQ(read.samples, TSamples(1000, 0));
    spooler.Seek(0.1f);
    spooler.Rewind();
}

// Damaged copies of one file read while playing: what vorbisfile decodes, then the end. Where
// the packets themselves are damaged the samples are noise, but the reads still end.
TEST_F(SoundSpoolerTest, DamagedDataEndsWhereItBreaks) {
    const TBytes& file = ToneFile(2.5);
    const std::vector<TBytes> pages = sound_ogg::Pages(file);
    std::vector<TBytes> holed = pages;
    holed.erase(holed.begin() + static_cast<std::ptrdiff_t>(pages.size() / 2));
    std::vector<TBytes> sealed = pages;
    for (std::size_t p = pages.size() / 2; p < sealed.size(); ++p) {
        for (std::size_t i = 27 + sealed[p][26] + 3; i < sealed[p].size(); i += 41) {
            sealed[p][i] = static_cast<std::uint8_t>(~sealed[p][i]);
        }
        SealPage(sealed[p]);
    }
    struct TCase {
        const char* what;
        TBytes bytes;
        bool exact;
    };
    const TCase cases[] = {
        {"truncated", TBytes(file.begin(), file.begin() + file.size() * 2 / 3), true},
        {"a hole", sound_ogg::Join(holed), true},
        {"damaged packets", sound_ogg::Join(sealed), false},
    };
    for (const TCase& item : cases) {
        for (const bool fromFile : {false, true}) {
            Serve("broken.ogg", item.bytes);
            const TSoundPtr sound = TSound::Get("broken.ogg", !fromFile, 0);
            ASSERT_TRUE(sound) << item.what;
            const TSamples expected = sound_ogg::Decode(item.bytes);
            TMemSpooler spooler(sound->GetData());
            TSamples got;
            bool ended = false;
            for (int i = 0; i < 100 && !ended; ++i) {
                const TRead read = Read(spooler, 4410, false);
                got.insert(got.end(), read.samples.begin(),
                           read.samples.begin() + read.bytesRead / 2);
                ended = !read.more;
            }
            const char* where = fromFile ? " from the file" : " in memory";
            EXPECT_TRUE(ended) << item.what << where;
            EXPECT_LT(got.size(), Decoded(file).size()) << item.what << where;
            if (item.exact) {
                EXPECT_EQ(got, expected) << item.what << where;
            }
        }
    }
}

// The file with every codeword length of its first codebook set to 1: more words than a tree
// holds. The decoder opens it, fails to set itself up at the first read, and would build itself
// from half-made tables (and divide by zero) if it were asked again.
TBytes WithOverfullCodebook(const TBytes& file) {
    std::vector<TBytes> pages = sound_ogg::Pages(file);
    TBytes& page = pages[1];
    const std::size_t segments = page[26];
    std::size_t at = 27 + segments;
    // The comment header comes first on the page.
    for (std::size_t i = 0; i < segments; ++i) {
        at += page[27 + i];
        if (page[27 + i] < 255) {
            break;
        }
    }
    uint8_t* setup = page.data() + at;
    EXPECT_EQ(setup[0], 5);
    // After the packet type, "vorbis", the book count, the sync pattern, a 16-bit dimension and
    // 24-bit entry count (256), the ordered and sparse flags (0): the 5-bit lengths.
    std::size_t bit = 8 * 8 + 24 + 16 + 24 + 2;
    for (int entry = 0; entry < 256; ++entry) {
        for (int i = 0; i < 5; ++i, ++bit) {
            setup[bit / 8] = static_cast<uint8_t>(setup[bit / 8] & ~(1u << (bit % 8)));
        }
    }
    SealPage(page);
    return sound_ogg::Join(pages);
}

TEST_F(SoundSpoolerTest, ADecoderThatFailedIsNeverAskedAgain) {
    Serve("overfull.ogg", WithOverfullCodebook(ToneFile(2.5)));
    Serve("overfull_short.ogg", WithOverfullCodebook(ToneFile(1.5)));
    const TSoundPtr playing = TSound::Get("overfull.ogg", true, 0);
    const TSoundPtr fromFile = TSound::Get("overfull.ogg", false, 0);
    ASSERT_TRUE(playing && fromFile);
    for (const TSoundPtr& sound : {playing, fromFile}) {
        ASSERT_NE(sound->GetData()->GetDecoder(), nullptr);
        TMemSpooler first(sound->GetData());
        TMemSpooler second(sound->GetData());
        for (int pass = 0; pass < 3; ++pass) {
            const TRead looped = Read(first, 4410, true);
            EXPECT_TRUE(looped.more) << "a loop goes on, silently";
            EXPECT_EQ(looped.samples, TSamples(8820, 0));
            EXPECT_FALSE(Read(second, 4410, false).more);
        }
        EXPECT_TRUE(sound->GetData()->IsDecoderBroken());
        second.Seek(1.0f);
        second.Rewind();
        EXPECT_FALSE(Read(second, 4410, false).more);
    }
    // Decoded at load, the failure leaves a sound without samples.
    const TSoundPtr shortOne = TSound::Get("overfull_short.ogg", true, 0);
    ASSERT_TRUE(shortOne);
    EXPECT_EQ(shortOne->GetData()->GetDecoded(), 0u);
}

TEST(OggMemSourceTest, ReadsSeeksAndTellsWithinTheBlock) {
    auto bytes = std::make_unique<uint8_t[]>(10);
    for (uint8_t i = 0; i < 10; ++i) {
        bytes[i] = i;
    }
    auto* source = new TOggMemSource(std::move(bytes), 10);
    uint8_t out[16] = {};
    EXPECT_EQ(OggMemRead(out, 1, 4, source), 4u);
    EXPECT_EQ(out[3], 3);
    EXPECT_EQ(OggMemRead(out, 4, 3, source), 1u) << "whole items of what is left";
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(OggMemTell(source), 8);
    EXPECT_EQ(OggMemRead(out, 1, 16, source), 2u);
    EXPECT_EQ(OggMemRead(out, 1, 16, source), 0u);

    struct TCase {
        ogg_int64_t offset;
        int whence;
        int result;
        long position;
    };
    const TCase cases[] = {
        {3, SEEK_SET, 0, 3},
        {2, SEEK_CUR, 0, 5},
        {-20, SEEK_CUR, 0, 0},
        {-4, SEEK_END, 0, 6},
        {50, SEEK_SET, 0, 10},
        {7, 3, -1, 10},
        // The upper half of the offset is ignored.
        {0x100000004LL, SEEK_SET, 0, 4},
        {0xFFFFFFFFLL, SEEK_END, 0, 9},
    };
    for (const TCase& item : cases) {
        EXPECT_EQ(OggMemSeek(source, item.offset, item.whence), item.result) << item.offset;
        EXPECT_EQ(OggMemTell(source), item.position) << item.offset;
    }
    EXPECT_EQ(OggMemClose(source), 0);
}

} // namespace
} // namespace sound_asset_test
