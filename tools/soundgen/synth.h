// The sound generator's synthesiser: voices (tones with a pitch glide and vibrato, filtered noise)
// under simple envelopes, mixed into one mono track, and the short looping music made of a chord
// progression. Deterministic: noise comes from a generator of its own with a fixed seed per voice.
#pragma once

#include <string>
#include <vector>

namespace soundgen {

enum class TWave { kSine, kTriangle, kSquare, kSaw, kNoise };

// How a voice's level moves over its length: a linear attack, then either a fall to silence
// ((1 - u)^3 over the rest, a struck sound) or a level held until a linear release at the end.
enum class TShape { kStrike, kHold };

struct TVoice {
    double start = 0.0;  // seconds
    double length = 0.1; // seconds
    TWave wave = TWave::kSine;
    double from = 440.0; // Hz at the start; the pitch glides evenly in octaves to `to`
    double to = 440.0;
    double amplitude = 0.5;
    double attack = 0.005; // seconds
    double release = 0.05; // seconds, for kHold
    TShape shape = TShape::kStrike;
    double vibratoRate = 0.0;  // Hz
    double vibratoDepth = 0.0; // semitones
    // Noise only: one-pole filters, 0 for none.
    double lowPass = 0.0;  // Hz
    double highPass = 0.0; // Hz
};

// `seconds` of `rate` Hz mono, the voices mixed. With `wrap` a voice that runs past the end goes
// on at the start, so that the track loops without a seam. The result is scaled so that its
// loudest sample is `peak`.
std::vector<float> Mix(const std::vector<TVoice>& voices, double seconds, int rate, bool wrap,
                       double peak);

// The instruments of a piece of music, each left out at amplitude 0.
struct TArrangement {
    double bpm = 120.0;
    // One chord a bar: a root A to G, optionally '#' or 'b', then optionally 'm' (minor) and '7'.
    std::vector<std::string> chords;
    double bass = 0.0;
    TWave bassWave = TWave::kTriangle;
    double pad = 0.0;
    TWave padWave = TWave::kSine;
    double arpeggio = 0.0;
    TWave arpeggioWave = TWave::kTriangle;
    // The arpeggio's octave (4 holds middle C) and its order of chord notes over the eight eighths
    // of a bar, as indexes into the chord's notes (the triad or seventh chord, then its notes an
    // octave up).
    int arpeggioOctave = 5;
    std::vector<int> pattern = {0, 1, 2, 3, 2, 1, 0, 1};
    double drums = 0.0;
};

// The voices of the music: four beats a bar, one bar a chord; throws std::invalid_argument for a
// chord it cannot read.
std::vector<TVoice> Arrange(const TArrangement& arrangement);
// Seconds the music lasts.
double MusicLength(const TArrangement& arrangement);

} // namespace soundgen
