// The whole of an Ogg Vorbis file in memory, as the decoder reads it through the memory callbacks
// below. Once the decoder is open over it, the decoder owns it: its close callback frees it.
// Used by whichever thread uses the decoder, under the sound mutex.
#pragma once

#include <vorbis/vorbisfile.h>

#include <cstdint>
#include <memory>

class TOggMemSource {
public:
    // Takes the `size` bytes of `bytes`.
    TOggMemSource(std::unique_ptr<uint8_t[]> bytes, uint32_t size)
        : mBytes(std::move(bytes)), mSize(size) {}

    // OggMemRead, OggMemSeek, OggMemClose and OggMemTell.
    static ov_callbacks Callbacks();

    std::unique_ptr<uint8_t[]> mBytes;
    uint32_t mSize;
    uint32_t mPosition = 0;
};

// fread's contract over the block: whole items copied from the position, cut to what is left.
size_t OggMemRead(void* ptr, size_t size, size_t count, void* source);
// whence 0 sets, 1 adds to the position, 2 adds to the size; the position is kept within the
// block. Offsets are 32-bit: the upper half of the decoder's offset is ignored. -1 for another
// whence, else 0.
int OggMemSeek(void* source, ogg_int64_t offset, int whence);
// Frees the source.
int OggMemClose(void* source);
long OggMemTell(void* source);
