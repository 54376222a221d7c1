// Sound assets: loading a 2-second 44.1 kHz stereo Ogg read into memory, which is decoded whole
// at load; and one second of decode-while-playing (one refill of a 2-second ring) through a
// memory spooler over a 10-second sound, alone and with a second copy sharing the decoder, whose
// reads make every read seek. Both files are made by libvorbisenc at quality 0.4.
#include "engine/core/knownfiles.h"
#include "engine/media/memspooler.h"
#include "engine/media/sound.h"
#include "engine/media/sounddata.h"
#include "tests/engine/media/sound_ogg.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

// One second of 16-bit stereo at 44.1 kHz.
constexpr int kSecondBytes = 44100 * 4;

const sound_ogg::TBytes& File(const char* name, double seconds) {
    static std::vector<sound_ogg::TBytes> kept;
    kept.push_back(sound_ogg::Encode(sound_ogg::Tones(static_cast<long>(seconds * 44100), 44100, 2),
                                     44100, 2, 0.4f));
    RegisterMemoryFile(name, kept.back().data(), static_cast<unsigned>(kept.back().size()));
    return kept.back();
}

void BM_DecodeAtLoad(benchmark::State& state) {
    File("bench/two.ogg", 2.0);
    for (auto _ : state) {
        // No asset manager: every request loads the file again.
        const TSoundPtr sound = TSound::Get("bench/two.ogg", true, 0);
        if (!sound || sound->GetData()->GetPcm() == nullptr) {
            state.SkipWithError("the sound was not decoded at load");
            break;
        }
        benchmark::DoNotOptimize(sound->GetData()->GetDecoded());
    }
}
BENCHMARK(BM_DecodeAtLoad)->Unit(benchmark::kMillisecond);

void DecodeWhilePlaying(benchmark::State& state, bool twoCopies) {
    File("bench/ten.ogg", 10.0);
    const TSoundPtr sound = TSound::Get("bench/ten.ogg", true, 0);
    if (!sound || sound->GetData()->GetDecoder() == nullptr) {
        state.SkipWithError("the sound keeps no decoder");
        return;
    }
    TMemSpooler first(sound->GetData());
    TMemSpooler second(sound->GetData());
    second.Seek(5.0f);
    std::vector<uint8_t> buffer(kSecondBytes);
    for (auto _ : state) {
        int read = 0;
        first.Read(kSecondBytes, buffer.data(), &read, true);
        if (twoCopies) {
            second.Read(kSecondBytes, buffer.data(), &read, true);
        }
        benchmark::DoNotOptimize(buffer.data());
    }
}

void BM_DecodeOneSecondWhilePlaying(benchmark::State& state) {
    DecodeWhilePlaying(state, false);
}
BENCHMARK(BM_DecodeOneSecondWhilePlaying)->Unit(benchmark::kMillisecond);

// Per iteration a second of each copy: two seconds decoded, two seeks.
void BM_DecodeOneSecondWhilePlayingTwoCopies(benchmark::State& state) {
    DecodeWhilePlaying(state, true);
}
BENCHMARK(BM_DecodeOneSecondWhilePlayingTwoCopies)->Unit(benchmark::kMillisecond);

} // namespace
