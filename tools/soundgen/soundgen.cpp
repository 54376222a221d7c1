// soundgen: synthesises the demo's sound effects and music and writes them as Ogg Vorbis.
//
//   soundgen description.txt output-folder
//
// Each sound of the description becomes <output-folder>/<file>.ogg, folders made as needed:
// mono, one logical stream with a fixed serial number, encoded by libvorbisenc at the quality the
// description sets. The output depends on the description (and the encoder's version) alone.
//
// The description, one command a line ('#' starts a comment line):
//   rate <Hz>                  sample rate of the sounds below (22050 until set)
//   quality <q>                Vorbis quality, -0.1 to 1, of the sounds below (0 until set)
//   effect <file> <seconds> [peak <level>]      an effect, shorter than a second
//     tone <key>=<value> ...   a tone; keys below
//     noise <key>=<value> ...  filtered noise; the same keys, "from", "to" and "wave" unused
//   end
//   music <file> [peak <level>]   a loop, shorter than 20 seconds: four beats a bar
//     bpm <beats a minute>
//     chords <chord> ...       one a bar: C, F#, Bb, Am, G7, Em7 ...
//     bass|pad|arpeggio <amplitude> [wave <wave>]   the instruments, each once at most
//     arpeggio ... [octave <n>] [pattern <i>,<i>,...]   chord notes over the eighths of a bar
//     drums <amplitude>        kick, snare and hi-hat
//   end
// Tone and noise keys: at (start, seconds), len (seconds), from and to (Hz, an even glide),
// wave (sine, triangle, square, saw), amp, attack (seconds), shape (strike: falls to silence;
// hold: held, then released), release (seconds, for hold), vibrato (<Hz>:<semitones>), low and
// high (one-pole low-pass and high-pass cut-offs in Hz, for noise). The mix of an effect or a
// piece is scaled so that its loudest sample is its peak (0.7 for effects, 0.5 for music).
#include "tools/artgen/descriptionline.h"
#include "tools/soundgen/synth.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace soundgen {
namespace {

// Every file is one logical stream; a fixed serial keeps the bytes the same from run to run.
constexpr int kSerial = 0x53474D31;

using TLine = generators::TDescriptionLine;

TWave ParseWave(const TLine& line, const std::string& word) {
    if (word == "sine") {
        return TWave::kSine;
    }
    if (word == "triangle") {
        return TWave::kTriangle;
    }
    if (word == "square") {
        return TWave::kSquare;
    }
    if (word == "saw") {
        return TWave::kSaw;
    }
    line.Fail("'" + word + "' is no wave");
}

// "peak <level>" when it comes next, else `otherwise`.
double ReadPeak(TLine& line, double otherwise) {
    if (line.AtEnd()) {
        return otherwise;
    }
    if (line.Word() != "peak") {
        line.Fail("only 'peak' may follow");
    }
    const double peak = line.Number();
    if (peak <= 0.0 || peak > 1.0) {
        line.Fail("a peak lies above 0 and at most 1");
    }
    return peak;
}

TVoice ReadVoice(TLine& line, bool noise) {
    TVoice voice;
    voice.wave = noise ? TWave::kNoise : TWave::kSine;
    while (!line.AtEnd()) {
        const std::string word = line.Word();
        const size_t equals = word.find('=');
        if (equals == std::string::npos) {
            line.Fail("'" + word + "' is no key=value");
        }
        const std::string key = word.substr(0, equals);
        const std::string value = word.substr(equals + 1);
        if (key == "wave" && !noise) {
            voice.wave = ParseWave(line, value);
        } else if (key == "shape") {
            if (value != "strike" && value != "hold") {
                line.Fail("'" + value + "' is no shape (strike, hold)");
            }
            voice.shape = value == "hold" ? TShape::kHold : TShape::kStrike;
        } else if (key == "vibrato") {
            const size_t colon = value.find(':');
            if (colon == std::string::npos) {
                line.Fail("a vibrato is <Hz>:<semitones>");
            }
            voice.vibratoRate = line.ToNumber(value.substr(0, colon));
            voice.vibratoDepth = line.ToNumber(value.substr(colon + 1));
        } else {
            double* const fields[] = {&voice.start,   &voice.length,    &voice.from,
                                      &voice.to,      &voice.amplitude, &voice.attack,
                                      &voice.release, &voice.lowPass,   &voice.highPass};
            const char* const names[] = {"at",     "len",     "from", "to",  "amp",
                                         "attack", "release", "low",  "high"};
            bool found = false;
            for (size_t i = 0; i < std::size(names) && !found; ++i) {
                if (key == names[i] && (!noise || (key != "from" && key != "to"))) {
                    *fields[i] = line.ToNumber(value);
                    found = true;
                }
            }
            if (!found) {
                line.Fail("'" + key + "' is no key of a " + (noise ? "noise" : "tone"));
            }
        }
    }
    if (voice.length <= 0.0 || voice.start < 0.0 || voice.from <= 0.0 || voice.to <= 0.0) {
        line.Fail("a voice starts at 0 or later, lasts a while and has a pitch above 0");
    }
    return voice;
}

void ReadInstrument(TLine& line, TArrangement& arrangement) {
    const std::string& name = line.Command();
    double* amplitude = name == "bass"    ? &arrangement.bass
                        : name == "pad"   ? &arrangement.pad
                        : name == "drums" ? &arrangement.drums
                                          : &arrangement.arpeggio;
    TWave* wave = name == "bass"  ? &arrangement.bassWave
                  : name == "pad" ? &arrangement.padWave
                                  : &arrangement.arpeggioWave;
    *amplitude = line.Number();
    while (!line.AtEnd() && name != "drums") {
        const std::string option = line.Word();
        if (option == "wave") {
            *wave = ParseWave(line, line.Word());
        } else if (option == "octave" && name == "arpeggio") {
            const double octave = line.Number();
            if (octave < 1 || octave > 7 || octave != std::floor(octave)) {
                line.Fail("an arpeggio's octave lies from 1 to 7");
            }
            arrangement.arpeggioOctave = static_cast<int>(octave);
        } else if (option == "pattern" && name == "arpeggio") {
            arrangement.pattern.clear();
            std::istringstream in(line.Word());
            std::string index;
            while (std::getline(in, index, ',')) {
                const double value = line.ToNumber(index);
                if (value < 0 || value > 11 || value != std::floor(value)) {
                    line.Fail("a pattern holds note indexes 0 to 11");
                }
                arrangement.pattern.push_back(static_cast<int>(value));
            }
        } else {
            line.Fail("'" + option + "' is no option of " + name);
        }
    }
    line.ExpectEnd();
}

// Mono float samples as one Ogg Vorbis stream.
void WriteOgg(const std::filesystem::path& path, const std::vector<float>& samples, int rate,
              double quality) {
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 1, rate, static_cast<float>(quality)) != 0) {
        vorbis_info_clear(&info);
        throw std::runtime_error("libvorbisenc refuses " + std::to_string(rate) +
                                 " Hz at quality " + std::to_string(quality));
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state state;
    vorbis_analysis_init(&state, &info);
    vorbis_block block;
    vorbis_block_init(&state, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, kSerial);

    std::string bytes;
    ogg_page page;
    const auto append = [&bytes, &page] {
        bytes.append(reinterpret_cast<const char*>(page.header),
                     static_cast<size_t>(page.header_len));
        bytes.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
    };
    ogg_packet identification;
    ogg_packet comments;
    ogg_packet codebooks;
    vorbis_analysis_headerout(&state, &comment, &identification, &comments, &codebooks);
    for (ogg_packet* header : {&identification, &comments, &codebooks}) {
        ogg_stream_packetin(&stream, header);
    }
    // The audio starts on a page of its own, as decoders expect.
    while (ogg_stream_flush(&stream, &page) != 0) {
        append();
    }

    constexpr size_t kChunk = 1024;
    size_t done = 0;
    bool ended = false;
    while (!ended) {
        const size_t count = std::min(kChunk, samples.size() - done);
        if (count > 0) {
            float** buffer = vorbis_analysis_buffer(&state, static_cast<int>(count));
            std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(done), count, buffer[0]);
            done += count;
        }
        // A count of 0 marks the end of the stream.
        vorbis_analysis_wrote(&state, static_cast<int>(count));
        while (vorbis_analysis_blockout(&state, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&state, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    append();
                    ended = ended || ogg_page_eos(&page) != 0;
                }
            }
        }
        if (count == 0 && !ended) {
            while (ogg_stream_flush(&stream, &page) != 0) {
                append();
            }
            ended = true;
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&state);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);

    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void Run(std::istream& description, const std::filesystem::path& output) {
    int rate = 22050;
    double quality = 0.0;
    std::string text;
    int number = 0;
    while (std::getline(description, text)) {
        TLine line(text, ++number);
        if (line.Empty()) {
            continue;
        }
        const std::string command = line.Command();
        if (command == "rate") {
            rate = static_cast<int>(line.Number());
            line.ExpectEnd();
            if (rate < 8000 || rate > 48000) {
                line.Fail("a rate lies from 8000 to 48000 Hz");
            }
        } else if (command == "quality") {
            quality = line.Number();
            line.ExpectEnd();
            if (quality < -0.1 || quality > 1.0) {
                line.Fail("a quality lies from -0.1 to 1");
            }
        } else if (command == "effect" || command == "music") {
            const bool music = command == "music";
            const std::filesystem::path file = output / (line.Word() + ".ogg");
            const double seconds = music ? 0.0 : line.Number();
            const double peak = ReadPeak(line, music ? 0.5 : 0.7);
            if (!music && (seconds <= 0.0 || seconds >= 1.0)) {
                line.Fail("an effect lasts less than a second");
            }
            std::vector<TVoice> voices;
            TArrangement arrangement;
            const int opened = number;
            bool closed = false;
            while (!closed && std::getline(description, text)) {
                TLine part(text, ++number);
                if (part.Empty()) {
                    continue;
                }
                const std::string& kind = part.Command();
                if (kind == "end") {
                    part.ExpectEnd();
                    closed = true;
                } else if (!music && (kind == "tone" || kind == "noise")) {
                    voices.push_back(ReadVoice(part, kind == "noise"));
                } else if (music && kind == "bpm") {
                    arrangement.bpm = part.Number();
                    part.ExpectEnd();
                    if (arrangement.bpm < 30 || arrangement.bpm > 300) {
                        part.Fail("a tempo lies from 30 to 300 beats a minute");
                    }
                } else if (music && kind == "chords") {
                    while (!part.AtEnd()) {
                        arrangement.chords.push_back(part.Word());
                    }
                } else if (music && (kind == "bass" || kind == "pad" || kind == "arpeggio" ||
                                     kind == "drums")) {
                    ReadInstrument(part, arrangement);
                } else {
                    part.Fail("'" + kind + "' has no place in " + (music ? "music" : "an effect"));
                }
            }
            if (!closed) {
                line.Fail("the " + command + " has no end");
            }
            if (!music && voices.empty()) {
                line.Fail("an effect needs a tone or a noise");
            }
            if (music) {
                try {
                    voices = Arrange(arrangement);
                } catch (const std::invalid_argument& error) {
                    throw std::runtime_error("music of line " + std::to_string(opened) + ": " +
                                             error.what());
                }
                if (MusicLength(arrangement) <= 0.0 || MusicLength(arrangement) >= 20.0) {
                    line.Fail("a piece of music lasts less than 20 seconds");
                }
            }
            const double length = music ? MusicLength(arrangement) : seconds;
            WriteOgg(file, Mix(voices, length, rate, music, peak), rate, quality);
        } else {
            line.Fail("'" + command + "' is no command");
        }
    }
}

} // namespace
} // namespace soundgen

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: soundgen description.txt output-folder\n");
        return 2;
    }
    std::ifstream description(argv[1]);
    if (!description) {
        std::fprintf(stderr, "soundgen: cannot read %s\n", argv[1]);
        return 1;
    }
    try {
        soundgen::Run(description, argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "soundgen: %s: %s\n", argv[1], error.what());
        return 1;
    }
    return 0;
}
