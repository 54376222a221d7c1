#include "tools/soundgen/synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace soundgen {

namespace {

constexpr double kPi = 3.14159265358979323846;

// xorshift32: the same numbers on every machine.
class TNoise {
public:
    explicit TNoise(uint32_t seed) : mState(seed != 0 ? seed : 1) {}

    // -1 to 1.
    double Next() {
        mState ^= mState << 13;
        mState ^= mState >> 17;
        mState ^= mState << 5;
        return static_cast<double>(mState) / 2147483648.0 - 1.0;
    }

private:
    uint32_t mState;
};

// One cycle's value at `phase` (0 to 1). Square and saw are summed from their harmonics below
// half the sample rate, so that high notes do not fold back into noise.
double WaveAt(TWave wave, double phase, double frequency, int rate) {
    switch (wave) {
    case TWave::kSine:
        return std::sin(2.0 * kPi * phase);
    case TWave::kTriangle:
        return 4.0 * std::fabs(phase - 0.5) - 1.0;
    case TWave::kSquare:
    case TWave::kSaw: {
        const bool square = wave == TWave::kSquare;
        double value = 0.0;
        for (int k = 1; k <= 9 && k * frequency < rate / 2.0; k += square ? 2 : 1) {
            const double sign = square || k % 2 == 1 ? 1.0 : -1.0;
            value += sign * std::sin(2.0 * kPi * k * phase) / k;
        }
        return value * (square ? 4.0 / kPi : 2.0 / kPi) * 0.8;
    }
    case TWave::kNoise:
        break;
    }
    return 0.0;
}

double Envelope(const TVoice& voice, double t) {
    const double attack = std::min(voice.attack, voice.length / 2.0);
    if (attack > 0.0 && t < attack) {
        return t / attack;
    }
    if (voice.shape == TShape::kStrike) {
        const double rest = voice.length - attack;
        const double u = rest > 0.0 ? std::clamp((t - attack) / rest, 0.0, 1.0) : 1.0;
        return (1.0 - u) * (1.0 - u) * (1.0 - u);
    }
    const double release = std::min(voice.release, voice.length - attack);
    if (release > 0.0 && t > voice.length - release) {
        return std::max(0.0, (voice.length - t) / release);
    }
    return 1.0;
}

// The share a one-pole filter at `cutoff` Hz moves toward its input each sample.
double PoleFactor(double cutoff, int rate) {
    return 1.0 - std::exp(-2.0 * kPi * cutoff / rate);
}

double NoteFrequency(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// Semitones above the root: the chord's notes.
std::vector<int> ChordNotes(const std::string& name, int* root) {
    static const int kSteps[] = {9, 11, 0, 2, 4, 5, 7}; // A to G
    if (name.empty() || name[0] < 'A' || name[0] > 'G') {
        throw std::invalid_argument("'" + name + "' is no chord");
    }
    size_t at = 1;
    *root = kSteps[name[0] - 'A'];
    if (at < name.size() && (name[at] == '#' || name[at] == 'b')) {
        *root += name[at] == '#' ? 1 : -1;
        ++at;
    }
    std::vector<int> notes = {0, 4, 7};
    if (at < name.size() && name[at] == 'm') {
        notes[1] = 3;
        ++at;
    }
    if (at < name.size() && name[at] == '7') {
        notes.push_back(10);
        ++at;
    }
    if (at != name.size()) {
        throw std::invalid_argument("'" + name + "' is no chord");
    }
    return notes;
}

TVoice Note(double start, double length, TWave wave, int midiNote, double amplitude, TShape shape) {
    TVoice voice;
    voice.start = start;
    voice.length = length;
    voice.wave = wave;
    voice.from = NoteFrequency(midiNote);
    voice.to = voice.from;
    voice.amplitude = amplitude;
    voice.shape = shape;
    return voice;
}

TVoice Noise(double start, double length, double amplitude, double lowPass, double highPass) {
    TVoice voice;
    voice.start = start;
    voice.length = length;
    voice.wave = TWave::kNoise;
    voice.amplitude = amplitude;
    voice.attack = 0.001;
    voice.lowPass = lowPass;
    voice.highPass = highPass;
    return voice;
}

} // namespace

std::vector<float> Mix(const std::vector<TVoice>& voices, double seconds, int rate, bool wrap,
                       double peak) {
    const auto total = static_cast<size_t>(std::lround(seconds * rate));
    std::vector<double> sum(total, 0.0);
    uint32_t seed = 0x2545F491u;
    for (const TVoice& voice : voices) {
        seed = seed * 1664525u + 1013904223u;
        TNoise noise(seed);
        const double low = voice.lowPass > 0.0 ? PoleFactor(voice.lowPass, rate) : 1.0;
        const double high = voice.highPass > 0.0 ? PoleFactor(voice.highPass, rate) : 0.0;
        double lowState = 0.0;
        double highState = 0.0;
        double phase = 0.0;
        const auto first = static_cast<size_t>(std::lround(std::max(voice.start, 0.0) * rate));
        const auto frames = static_cast<size_t>(std::lround(voice.length * rate));
        for (size_t i = 0; i < frames && total > 0; ++i) {
            size_t at = first + i;
            if (at >= total) {
                if (!wrap) {
                    break;
                }
                at %= total;
            }
            const double t = static_cast<double>(i) / rate;
            const double u = static_cast<double>(i) / static_cast<double>(frames);
            double frequency = voice.from * std::pow(voice.to / voice.from, u);
            if (voice.vibratoDepth != 0.0) {
                frequency *= std::pow(2.0, voice.vibratoDepth / 12.0 *
                                               std::sin(2.0 * kPi * voice.vibratoRate * t));
            }
            double value = 0.0;
            if (voice.wave == TWave::kNoise) {
                lowState += low * (noise.Next() - lowState);
                highState += high * (lowState - highState);
                value = lowState - highState;
            } else {
                value = WaveAt(voice.wave, phase, frequency, rate);
                phase += frequency / rate;
                phase -= std::floor(phase);
            }
            sum[at] += value * voice.amplitude * Envelope(voice, t);
        }
    }
    double loudest = 0.0;
    for (const double value : sum) {
        loudest = std::max(loudest, std::fabs(value));
    }
    const double gain = loudest > 0.0 ? peak / loudest : 0.0;
    std::vector<float> samples(total);
    for (size_t i = 0; i < total; ++i) {
        samples[i] = static_cast<float>(sum[i] * gain);
    }
    return samples;
}

double MusicLength(const TArrangement& arrangement) {
    return static_cast<double>(arrangement.chords.size()) * 4.0 * 60.0 / arrangement.bpm;
}

std::vector<TVoice> Arrange(const TArrangement& arrangement) {
    const double beat = 60.0 / arrangement.bpm;
    std::vector<TVoice> voices;
    for (size_t bar = 0; bar < arrangement.chords.size(); ++bar) {
        const double start = static_cast<double>(bar) * 4.0 * beat;
        int root = 0;
        const std::vector<int> chord = ChordNotes(arrangement.chords[bar], &root);
        if (arrangement.bass > 0.0) {
            for (const int on : {0, 2}) {
                voices.push_back(Note(start + on * beat, 1.9 * beat, arrangement.bassWave,
                                      36 + root, arrangement.bass, TShape::kStrike));
            }
        }
        if (arrangement.pad > 0.0) {
            for (const int step : chord) {
                TVoice voice =
                    Note(start, 4.0 * beat, arrangement.padWave, 60 + root + step,
                         arrangement.pad / static_cast<double>(chord.size()), TShape::kHold);
                voice.attack = 0.3 * beat;
                voice.release = 0.4 * beat;
                voice.vibratoRate = 5.0;
                voice.vibratoDepth = 0.06;
                voices.push_back(voice);
            }
        }
        if (arrangement.arpeggio > 0.0 && !arrangement.pattern.empty()) {
            for (int eighth = 0; eighth < 8; ++eighth) {
                const int index =
                    arrangement.pattern[static_cast<size_t>(eighth) % arrangement.pattern.size()];
                const auto count = static_cast<int>(chord.size());
                const int step = chord[static_cast<size_t>(index % count)] + 12 * (index / count);
                voices.push_back(Note(start + eighth * 0.5 * beat, 0.9 * beat,
                                      arrangement.arpeggioWave,
                                      12 * (arrangement.arpeggioOctave + 1) + root + step,
                                      arrangement.arpeggio, TShape::kStrike));
            }
        }
        if (arrangement.drums > 0.0) {
            for (const int on : {0, 2}) {
                TVoice kick = Note(start + on * beat, 0.22, TWave::kSine, 0, arrangement.drums,
                                   TShape::kStrike);
                kick.from = 150.0;
                kick.to = 45.0;
                kick.attack = 0.002;
                voices.push_back(kick);
                voices.push_back(
                    Noise(start + (on + 1) * beat, 0.16, 0.7 * arrangement.drums, 5000.0, 700.0));
            }
            for (int off = 0; off < 4; ++off) {
                voices.push_back(
                    Noise(start + (off + 0.5) * beat, 0.05, 0.35 * arrangement.drums, 0.0, 6000.0));
            }
        }
    }
    return voices;
}

} // namespace soundgen
