// Loads arbitrary bytes as an Ogg Vorbis sound, read into memory and decoded from the open file,
// and reads each loaded sound through memory spoolers: decoded at load for short sounds, decoded
// while playing for long ones and for the file. No platform: the sound mutex is not needed.
//
// The first byte picks what happens: bit 0 gives every whole Ogg page in the input its checksum
// again, so that mutations reach the decoder instead of being dropped as damaged pages; bit 1
// loops the reads; bits 2-3 pick the read size; bit 4 seeks a second spooler before reading. The
// rest is the file. Seeds: short files made with libvorbisenc (mono and stereo, at most and more
// than 2 seconds, one without samples), each behind a selector byte.
#include "engine/core/knownfiles.h"
#include "engine/media/memspooler.h"
#include "engine/media/sound.h"
#include "engine/media/sounddata.h"

#include <ogg/ogg.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Expect(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void SealPages(std::vector<uint8_t>& bytes) {
    std::size_t at = 0;
    while (at + 27 <= bytes.size()) {
        if (std::memcmp(bytes.data() + at, "OggS", 4) != 0) {
            ++at;
            continue;
        }
        const std::size_t segments = bytes[at + 26];
        std::size_t size = 27 + segments;
        if (at + size > bytes.size()) {
            return;
        }
        for (std::size_t i = 0; i < segments; ++i) {
            size += bytes[at + 27 + i];
        }
        if (at + size > bytes.size()) {
            return;
        }
        ogg_page page{};
        page.header = bytes.data() + at;
        page.header_len = static_cast<long>(27 + segments);
        page.body = bytes.data() + at + 27 + segments;
        page.body_len = static_cast<long>(size - 27 - segments);
        ogg_page_checksum_set(&page);
        at += size;
    }
}

// A few reads through one spooler; each fills its whole buffer, silence included.
void ReadThrough(const TSoundPtr& sound, uint8_t selector) {
    const bool loop = (selector & 2) != 0;
    const int sizes[] = {4, 4410, 17640, 65536};
    const int bytes = sizes[(selector >> 2) & 3];
    std::vector<uint8_t> buffer(static_cast<std::size_t>(bytes));
    TMemSpooler spooler(sound->GetData());
    TMemSpooler other(sound->GetData());
    if ((selector & 16) != 0) {
        other.Seek(0.75f);
    }
    for (int pass = 0; pass < 12; ++pass) {
        int read = -1;
        const bool more = spooler.Read(bytes, buffer.data(), &read, loop);
        Expect(read >= 0 && read <= bytes);
        if (!more) {
            Expect(!loop);
            break;
        }
        // Another copy reads the shared decoder from its own position in between.
        int otherRead = -1;
        other.Read(bytes, buffer.data(), &otherRead, loop);
        Expect(otherRead >= 0 && otherRead <= bytes);
    }
    spooler.Rewind();
    Expect(spooler.GetPosition() == 0);
    Expect(spooler.GetLength() == sound->GetData()->GetLength());
}

} // namespace

// libvorbisfile 1.3.7 loses a list of serial numbers (8 bytes) inside ov_open_callbacks on some
// damaged files; that leak is the library's. The unit tests, which run without this, check that
// the engine frees every decoder it opened.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libvorbisfile.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t selector = data[0];
    std::vector<uint8_t> file(data + 1, data + size);
    if ((selector & 1) != 0) {
        SealPages(file);
    }
    // A registered block needs an address.
    file.reserve(1);
    RegisterMemoryFile("fuzz/sound.ogg", file.data(), static_cast<unsigned>(file.size()));
    for (const bool inMemory : {true, false}) {
        const TSoundPtr sound = TSound::Get("fuzz/sound.ogg", inMemory, 0);
        if (!sound) {
            continue;
        }
        const TSoundData& loaded = *sound->GetData();
        Expect(loaded.GetPcm() == nullptr || loaded.GetDecoder() == nullptr);
        Expect(loaded.GetDecoded() <= loaded.GetCapacity());
        Expect(loaded.GetCapacity() <= TSoundData::kMaxDecodedBytes);
        ReadThrough(sound, selector);
    }
    RegisterMemoryFile("fuzz/sound.ogg", nullptr, 0);
    return 0;
}
