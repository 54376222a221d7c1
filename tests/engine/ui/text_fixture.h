// Small vector fonts written in memory for the text tests, served through the file layer, and
// helpers that read a layout back. The main test font "fonts/test.mvec" has ascent 10 and descent
// 0, so at size 20 a run's glyph scale is 4 x 20 x 0.8 / 10 = 6.4 quarter pixels a unit: every
// glyph advances 10 units, 64 quarter pixels, 16 pixels; the first glyph of a line adds 4 quarter
// pixels (its left offset is 0); the height above the baseline is (10 + 1.875) x 6.4 / 4 = 19.
// The fallback "fonts/default.mvec" adds glyphs the test font lacks ("~" and U+00E9), 20 units
// wide.
#pragma once

#include "engine/core/knownfiles.h"
#include "engine/ui/fontlist.h"
#include "engine/ui/textsprite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

namespace text_test {

struct TGlyphParams {
    uint32_t code;
    // Units.
    float advance = 10.0f;
    float inkRight = 10.0f;
    float top = -10.0f;
    float bottom = 0.0f;
};

// An "MVC4" font whose glyphs are filled boxes of their ink, sorted as the format wants.
inline std::vector<unsigned char> FontBytes(std::vector<TGlyphParams> glyphs) {
    std::sort(glyphs.begin(), glyphs.end(),
              [](const TGlyphParams& a, const TGlyphParams& b) { return a.code < b.code; });
    std::vector<unsigned char> bytes = {'M', 'V', 'C', '4'};
    auto put16 = [](std::vector<unsigned char>& out, float units) {
        const auto raw = static_cast<uint16_t>(static_cast<int16_t>(units * 128.0f));
        out.push_back(static_cast<unsigned char>(raw & 0xFF));
        out.push_back(static_cast<unsigned char>(raw >> 8));
    };
    auto put32 = [](std::vector<unsigned char>& out, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<unsigned char>(value >> (8 * i)));
        }
    };
    bytes.push_back(static_cast<unsigned char>(glyphs.size() & 0xFF));
    bytes.push_back(static_cast<unsigned char>(glyphs.size() >> 8));
    bytes.resize(12, 0);
    const size_t outlines = 12 + 18 * glyphs.size();
    std::vector<unsigned char> streams;
    for (const TGlyphParams& glyph : glyphs) {
        put32(bytes, glyph.code);
        put16(bytes, 0.0f);
        put16(bytes, glyph.inkRight);
        put16(bytes, glyph.top);
        put16(bytes, glyph.bottom);
        put16(bytes, glyph.advance);
        put32(bytes, static_cast<uint32_t>(outlines + streams.size()));
        streams.insert(streams.end(), {1, 2, 1, 4});
        put16(streams, 0.0f);
        put16(streams, glyph.top);
        const float corners[4][2] = {{glyph.inkRight, glyph.top},
                                     {glyph.inkRight, glyph.bottom},
                                     {0.0f, glyph.bottom},
                                     {0.0f, glyph.top}};
        for (const auto& corner : corners) {
            streams.push_back(5);
            put16(streams, corner[0]);
            put16(streams, corner[1]);
        }
        streams.push_back(8);
    }
    bytes.insert(bytes.end(), streams.begin(), streams.end());
    return bytes;
}

inline std::vector<unsigned char> TestFontBytes() {
    std::vector<TGlyphParams> glyphs;
    for (const char c : std::string(" Wabcdefghijklnopqrstuvwxyz0123456789<>\\.,")) {
        glyphs.push_back(TGlyphParams{static_cast<unsigned char>(c)});
    }
    // Its ink reaches 2 units past its advance.
    glyphs.push_back(TGlyphParams{'m', 10.0f, 12.0f});
    return FontBytes(glyphs);
}

inline std::vector<unsigned char> FallbackFontBytes() {
    return FontBytes(
        {TGlyphParams{'W'}, TGlyphParams{'~', 20.0f, 20.0f}, TGlyphParams{0xE9, 20.0f, 20.0f}});
}

// The fonts served from memory while the test runs; the font list is emptied before and after.
class TTextFonts {
public:
    TTextFonts() {
        TFontList::Instance().Clear();
        Serve("fonts/test.mvec", TestFontBytes());
        Serve("fonts/default.mvec", FallbackFontBytes());
    }
    ~TTextFonts() {
        TFontList::Instance().Clear();
        for (const auto& file : mFiles) {
            RegisterMemoryFile(file.first.c_str(), nullptr, 0);
        }
    }
    TTextFonts(const TTextFonts&) = delete;
    TTextFonts& operator=(const TTextFonts&) = delete;

    void Serve(const std::string& name, std::vector<unsigned char> bytes) {
        for (auto& file : mFiles) {
            if (file.first == name) {
                file.second = std::move(bytes);
                RegisterMemoryFile(name.c_str(), file.second.data(),
                                   static_cast<unsigned>(file.second.size()));
                return;
            }
        }
        mFiles.emplace_back(name, std::move(bytes));
        RegisterMemoryFile(name.c_str(), mFiles.back().second.data(),
                           static_cast<unsigned>(mFiles.back().second.size()));
    }
    void Remove(const std::string& name) { RegisterMemoryFile(name.c_str(), nullptr, 0); }

private:
    // A list whose elements never move: the file layer keeps their addresses.
    std::list<std::pair<std::string, std::vector<unsigned char>>> mFiles;
};

inline TColor White() {
    return TColor{1.0f, 1.0f, 1.0f, 1.0f};
}

// A sprite in the test font at size 20.
inline std::unique_ptr<TTextSprite> Sprite(const std::string& text, int width = 400,
                                           int height = 100, int flags = 0) {
    return std::unique_ptr<TTextSprite>(
        TTextSprite::Create(text.c_str(), width, height, flags, "fonts/test.mvec", 20, White()));
}

// The text of each run of each line, "|" between runs and "/" between lines.
inline std::string RunTexts(const TTextSprite& sprite) {
    std::string out;
    const std::string text = sprite.GetText().CStr() != nullptr ? sprite.GetText().CStr() : "";
    for (size_t l = 0; l < sprite.GetLines().size(); ++l) {
        if (l > 0) {
            out += "/";
        }
        const TTextLine& line = *sprite.GetLines()[l];
        for (size_t r = 0; r < line.runs.size(); ++r) {
            if (r > 0) {
                out += "|";
            }
            const TTextRun& run = line.runs[r];
            out += text.substr(static_cast<size_t>(run.first),
                               static_cast<size_t>(run.end - run.first));
        }
    }
    return out;
}

// The lines' texts without the empty runs, "/" between lines.
inline std::string LineTexts(const TTextSprite& sprite) {
    std::string out;
    const std::string text = sprite.GetText().CStr() != nullptr ? sprite.GetText().CStr() : "";
    for (size_t l = 0; l < sprite.GetLines().size(); ++l) {
        if (l > 0) {
            out += "/";
        }
        for (const TTextRun& run : sprite.GetLines()[l]->runs) {
            out += text.substr(static_cast<size_t>(run.first),
                               static_cast<size_t>(run.end - run.first));
        }
    }
    return out;
}

} // namespace text_test
