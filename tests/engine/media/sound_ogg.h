// Ogg Vorbis files made for the sound tests and benchmarks with libvorbisenc, decoded back with
// vorbisfile through a reader of its own (never the engine's), and cut into pages to damage them.
#pragma once

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace sound_ogg {

using TBytes = std::vector<std::uint8_t>;
using TSamples = std::vector<std::int16_t>;

// `frames` frames of two detuned tones, different in each channel: never silent for long.
inline TSamples Tones(long frames, int rate, int channels) {
    TSamples samples(static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels));
    for (long i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (int c = 0; c < channels; ++c) {
            const double value = 0.4 * std::sin(2.0 * M_PI * (330.0 + 110.0 * c) * t) +
                                 0.3 * std::sin(2.0 * M_PI * (1250.0 + 37.0 * c) * t);
            samples[static_cast<std::size_t>(i * channels + c)] =
                static_cast<std::int16_t>(std::lround(value * 32767.0));
        }
    }
    return samples;
}

// Interleaved 16-bit samples encoded at quality `quality` (-0.1 to 1); the last page's granule
// position is the frame count, so the decoder's length is exactly frames / rate.
inline TBytes Encode(const TSamples& samples, int rate, int channels, float quality = 0.1f) {
    vorbis_info info;
    vorbis_info_init(&info);
    vorbis_encode_init_vbr(&info, channels, rate, quality);
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 4242);

    TBytes out;
    ogg_page page;
    auto writePage = [&out](const ogg_page& written) {
        out.insert(out.end(), written.header, written.header + written.header_len);
        out.insert(out.end(), written.body, written.body + written.body_len);
    };
    ogg_packet header;
    ogg_packet headerComment;
    ogg_packet headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    while (ogg_stream_flush(&stream, &page) != 0) {
        writePage(page);
    }

    const long frames = static_cast<long>(samples.size()) / channels;
    long done = 0;
    bool finished = false;
    while (!finished) {
        const long chunk = std::min<long>(4096, frames - done);
        if (chunk > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(chunk));
            for (long i = 0; i < chunk; ++i) {
                for (int c = 0; c < channels; ++c) {
                    buffer[c][i] =
                        samples[static_cast<std::size_t>((done + i) * channels + c)] / 32768.0f;
                }
            }
            vorbis_analysis_wrote(&dsp, static_cast<int>(chunk));
            done += chunk;
        } else {
            vorbis_analysis_wrote(&dsp, 0);
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    writePage(page);
                    finished = finished || ogg_page_eos(&page) != 0;
                }
            }
        }
        if (chunk <= 0) {
            while (ogg_stream_flush(&stream, &page) != 0) {
                writePage(page);
            }
            finished = true;
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

// `seconds` of tones encoded.
inline TBytes ToneFile(double seconds, int rate = 44100, int channels = 2) {
    return Encode(Tones(std::lround(seconds * rate), rate, channels), rate, channels);
}

// The samples vorbisfile decodes from `bytes` (16-bit, little-endian, signed), read from start
// to end through this file's own memory reader.
inline TSamples Decode(const TBytes& bytes) {
    struct TReader {
        const TBytes* bytes;
        std::size_t at;
    };
    TReader reader{&bytes, 0};
    ov_callbacks callbacks{};
    callbacks.read_func = [](void* ptr, size_t size, size_t count, void* source) -> size_t {
        auto* from = static_cast<TReader*>(source);
        const std::size_t n = std::min(size * count, from->bytes->size() - from->at);
        std::memcpy(ptr, from->bytes->data() + from->at, n);
        from->at += n;
        return size == 0 ? 0 : n / size;
    };
    callbacks.seek_func = [](void* source, ogg_int64_t offset, int whence) -> int {
        auto* from = static_cast<TReader*>(source);
        const auto size = static_cast<ogg_int64_t>(from->bytes->size());
        ogg_int64_t target = offset;
        if (whence == SEEK_CUR) {
            target += static_cast<ogg_int64_t>(from->at);
        } else if (whence == SEEK_END) {
            target += size;
        }
        if (target < 0 || target > size) {
            return -1;
        }
        from->at = static_cast<std::size_t>(target);
        return 0;
    };
    callbacks.tell_func = [](void* source) -> long {
        return static_cast<long>(static_cast<TReader*>(source)->at);
    };
    OggVorbis_File file;
    TSamples samples;
    if (ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) < 0) {
        return samples;
    }
    char buffer[8192];
    int section = 0;
    for (;;) {
        const long got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section);
        if (got == OV_HOLE) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        const std::size_t at = samples.size();
        samples.resize(at + static_cast<std::size_t>(got) / 2);
        std::memcpy(samples.data() + at, buffer, static_cast<std::size_t>(got));
    }
    ov_clear(&file);
    return samples;
}

// The pages of an Ogg file, each as its bytes; empty when the bytes are not whole pages.
inline std::vector<TBytes> Pages(const TBytes& bytes) {
    std::vector<TBytes> pages;
    std::size_t at = 0;
    while (at + 27 <= bytes.size() && std::memcmp(bytes.data() + at, "OggS", 4) == 0) {
        const std::size_t segments = bytes[at + 26];
        if (at + 27 + segments > bytes.size()) {
            return {};
        }
        std::size_t size = 27 + segments;
        for (std::size_t i = 0; i < segments; ++i) {
            size += bytes[at + 27 + i];
        }
        if (at + size > bytes.size()) {
            return {};
        }
        pages.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                           bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    }
    return at == bytes.size() ? pages : std::vector<TBytes>{};
}

inline TBytes Join(const std::vector<TBytes>& pages) {
    TBytes out;
    for (const TBytes& page : pages) {
        out.insert(out.end(), page.begin(), page.end());
    }
    return out;
}

} // namespace sound_ogg
