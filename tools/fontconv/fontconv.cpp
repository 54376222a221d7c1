// fontconv: turns a TrueType font into the engine's vector-font format (".mvec", magic "MVC4").
//
//   fontconv input.ttf output.mvec
//
// What it writes, and why:
// - Lengths are stored as 16-bit values in 1/128 units, y growing downwards. The em is 32 units
//   (4096 stored), so a font of 2048 units to the em (DejaVu) maps exactly, at twice its own
//   values, and every coordinate stays far inside 16 bits. The text layout scales by the font's
//   ascent plus descent, so the size of the unit is otherwise free.
// - One 18-byte record per character, sorted by code: code, left edge of the ink, right edge of
//   the ink (the layout holds it against the advance), top, bottom, advance, outline offset. The
//   ink box is that of the stored points, curve control points included.
// - An outline holds contours (command 1), each filled in colour 1 (command 2), in which every
//   TrueType contour becomes a sub-path started by a move (command 4) and closed by its own last
//   line or curve (commands 5 and 6); command 8 ends it. A glyph without ink is command 8 alone.
//   * The rasteriser fills a contour even-odd and lets a later contour cover an earlier one, so
//     a hole ('o', 'e', 'B') must lie in the same contour as its outer path. Normally all of a
//     glyph's paths form one contour. Where TrueType's non-zero rule and even-odd disagree
//     (accented letters whose parts overlap, such as the C and the cedilla of U+00C7), each outer
//     path goes into a contour of its own with the holes it holds, and the contours unite. Every
//     glyph's result is compared with the non-zero fill along rows one font unit apart; a glyph
//     where they still differ stops the conversion.
//   * Fill colour 1: of the rasteriser's colour numbers, 255 and 254 are the two stroke colours,
//     0 is reset to transparent at every rasterisation and shares its coverage plane with 2 to
//     253; colour 1 alone has a plane to itself. The text code sets colour 1 to a run's colour.
// - After the outlines, where the loader never reads, the font's name, version, copyright and
//   licence notice (its name records 4, 5, 0 and 13) as plain text, so that every copy of the
//   converted font, the one built into the program included, carries them.
// The output depends on the input font only: converting the same font twice gives the same bytes.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Printable ASCII, Latin-1, and the characters Windows-1252 adds at 0x80 to 0x9F (quotes,
// dashes, ellipsis, euro ...), which texts written on Windows use freely.
std::vector<uint32_t> CharacterSet() {
    std::vector<uint32_t> codes;
    for (uint32_t c = 0x20; c <= 0x7E; ++c) {
        codes.push_back(c);
    }
    for (uint32_t c = 0xA0; c <= 0xFF; ++c) {
        codes.push_back(c);
    }
    const uint32_t windows1252[] = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x017D, 0x2018,
                                    0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC,
                                    0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};
    codes.insert(codes.end(), std::begin(windows1252), std::end(windows1252));
    std::sort(codes.begin(), codes.end());
    return codes;
}

constexpr double kStoredEm = 32.0 * 128.0;
constexpr int kRecordSize = 18;
constexpr int kHeaderSize = 12;

enum : uint8_t {
    kContour = 1,
    kFill = 2,
    kMove = 4,
    kLine = 5,
    kCurve = 6,
    kEnd = 8,
};
constexpr uint8_t kFillColour = 1;

[[noreturn]] void Fail(const std::string& message) {
    throw std::runtime_error(message);
}

void Check(FT_Error error, const std::string& what) {
    if (error != 0) {
        Fail(what + " failed (FreeType error " + std::to_string(error) + ")");
    }
}

std::string CodeName(uint32_t code) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", code);
    return name;
}

void PutLe16(std::vector<uint8_t>& out, int value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>((value >> shift) & 0xFF));
    }
}

struct TPoint {
    double x = 0; // font units, y up
    double y = 0;
};

TPoint Middle(TPoint a, TPoint b) {
    return {(a.x + b.x) / 2, (a.y + b.y) / 2};
}

// One closed TrueType contour as lines and quadratic curves; the last segment ends at the start.
struct TSegment {
    bool curve = false;
    TPoint control;
    TPoint to;
};
struct TPath {
    TPoint start;
    std::vector<TSegment> segments;
};

// On-curve points and quadratic control points, where two control points in a row imply an
// on-curve point midway. Midpoints stay exact until the final rounding.
TPath ReadContour(const FT_Outline& outline, int first, int last, uint32_t code) {
    auto at = [&](int i) {
        return TPoint{static_cast<double>(outline.points[i].x),
                      static_cast<double>(outline.points[i].y)};
    };
    auto on = [&](int i) { return FT_CURVE_TAG(outline.tags[i]) == FT_CURVE_TAG_ON; };
    for (int i = first; i <= last; ++i) {
        if (FT_CURVE_TAG(outline.tags[i]) == FT_CURVE_TAG_CUBIC) {
            Fail(CodeName(code) + ": cubic outlines are not supported; give a TrueType font");
        }
    }
    TPath path;
    int from = first;
    int to = last;
    if (on(first)) {
        path.start = at(first);
        from = first + 1;
    } else if (on(last)) {
        path.start = at(last);
        to = last - 1;
    } else {
        path.start = Middle(at(first), at(last));
    }
    bool pending = false;
    TPoint control;
    for (int i = from; i <= to; ++i) {
        const TPoint p = at(i);
        if (on(i)) {
            path.segments.push_back({pending, control, p});
            pending = false;
        } else {
            if (pending) {
                path.segments.push_back({true, control, Middle(control, p)});
            }
            control = p;
            pending = true;
        }
    }
    path.segments.push_back({pending, control, path.start});
    return path;
}

// The path as a polygon, each curve cut into eight lines.
std::vector<TPoint> Flatten(const TPath& path) {
    std::vector<TPoint> polygon{path.start};
    for (const TSegment& s : path.segments) {
        if (s.curve) {
            const TPoint from = polygon.back();
            for (int k = 1; k < 8; ++k) {
                const double t = k / 8.0;
                const double u = 1 - t;
                polygon.push_back({u * u * from.x + 2 * u * t * s.control.x + t * t * s.to.x,
                                   u * u * from.y + 2 * u * t * s.control.y + t * t * s.to.y});
            }
        }
        polygon.push_back(s.to);
    }
    return polygon;
}

double SignedArea(const std::vector<TPoint>& polygon) {
    double area = 0;
    for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        area += (polygon[j].x - polygon[i].x) * (polygon[j].y + polygon[i].y);
    }
    return area / 2;
}

bool Inside(TPoint p, const std::vector<TPoint>& polygon) {
    bool inside = false;
    for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const TPoint a = polygon[i];
        const TPoint b = polygon[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
            inside = !inside;
        }
    }
    return inside;
}

// Whether the union of the groups, each filled even-odd, covers what the non-zero rule fills in
// the whole glyph: compared along rows one font unit apart, between every pair of crossings.
bool GroupsAgree(const std::vector<std::vector<TPoint>>& polygons,
                 const std::vector<std::vector<int>>& groups) {
    std::vector<int> groupOf(polygons.size(), -1);
    for (size_t g = 0; g < groups.size(); ++g) {
        for (const int p : groups[g]) {
            groupOf[static_cast<size_t>(p)] = static_cast<int>(g);
        }
    }
    double low = 0;
    double high = 0;
    for (const auto& polygon : polygons) {
        for (const TPoint& p : polygon) {
            low = std::min(low, p.y);
            high = std::max(high, p.y);
        }
    }
    struct TCrossing {
        double x;
        int direction;
        int group;
    };
    std::vector<TCrossing> crossings;
    // Rows off the integer grid, so that they rarely meet a vertex.
    for (double y = std::floor(low) + 0.37; y < high; y += 1) {
        crossings.clear();
        for (size_t c = 0; c < polygons.size(); ++c) {
            const auto& polygon = polygons[c];
            for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
                const TPoint a = polygon[j];
                const TPoint b = polygon[i];
                if ((a.y > y) != (b.y > y)) {
                    crossings.push_back({a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y),
                                         b.y > a.y ? 1 : -1, groupOf[c]});
                }
            }
        }
        std::sort(crossings.begin(), crossings.end(),
                  [](const TCrossing& a, const TCrossing& b) { return a.x < b.x; });
        int winding = 0;
        std::vector<int> parity(groups.size(), 0);
        for (size_t k = 0; k + 1 < crossings.size(); ++k) {
            winding += crossings[k].direction;
            parity[static_cast<size_t>(crossings[k].group)] ^= 1;
            const bool united = std::find(parity.begin(), parity.end(), 1) != parity.end();
            if ((winding != 0) != united && crossings[k + 1].x - crossings[k].x > 0.01) {
                return false;
            }
        }
    }
    return true;
}

// The glyph's paths grouped into the rasteriser's contours (above): one group when even-odd
// gives the glyph as it is; otherwise one per outer path (the orientation of the largest path),
// each with the holes whose start lies in it, the smallest such outer path taking the hole.
std::vector<std::vector<int>> GroupContours(const std::vector<TPath>& paths, uint32_t code) {
    std::vector<std::vector<TPoint>> polygons;
    std::vector<double> areas;
    size_t largest = 0;
    std::vector<std::vector<int>> groups(1);
    for (const TPath& path : paths) {
        groups[0].push_back(static_cast<int>(polygons.size()));
        polygons.push_back(Flatten(path));
        areas.push_back(SignedArea(polygons.back()));
        if (std::fabs(areas.back()) > std::fabs(areas[largest])) {
            largest = areas.size() - 1;
        }
    }
    if (GroupsAgree(polygons, groups)) {
        return groups;
    }
    const bool outerSign = areas[largest] > 0;
    groups.clear();
    std::vector<int> groupOf(paths.size(), -1);
    for (size_t c = 0; c < paths.size(); ++c) {
        if ((areas[c] > 0) == outerSign) {
            groupOf[c] = static_cast<int>(groups.size());
            groups.push_back({static_cast<int>(c)});
        }
    }
    for (size_t hole = 0; hole < paths.size(); ++hole) {
        if (groupOf[hole] >= 0) {
            continue;
        }
        int owner = -1;
        for (size_t outer = 0; outer < paths.size(); ++outer) {
            if ((areas[outer] > 0) == outerSign && Inside(paths[hole].start, polygons[outer]) &&
                (owner < 0 || std::fabs(areas[outer]) < std::fabs(areas[owner]))) {
                owner = static_cast<int>(outer);
            }
        }
        if (owner < 0) {
            Fail(CodeName(code) + ": a hole lies in no outer path");
        }
        groups[groupOf[owner]].push_back(static_cast<int>(hole));
    }
    if (!GroupsAgree(polygons, groups)) {
        Fail(CodeName(code) + ": contours overlap in a way the even-odd fill cannot show");
    }
    return groups;
}

struct TGlyph {
    uint32_t code = 0;
    int left = 0, right = 0, top = 0, bottom = 0, advance = 0;
    std::vector<uint8_t> outline;
};

// Writes a glyph's commands in stored units, tracking the pen and the ink box.
class TOutlineWriter {
public:
    TOutlineWriter(TGlyph& glyph, double scale, uint32_t code)
        : mGlyph(glyph), mScale(scale), mCode(code) {}

    void Contour() { mGlyph.outline.insert(mGlyph.outline.end(), {kContour, kFill, kFillColour}); }
    void Path(const TPath& path) {
        mGlyph.outline.push_back(kMove);
        Put(Point(path.start));
        for (const TSegment& s : path.segments) {
            const auto to = Point(s.to);
            if (s.curve) {
                const auto control = Point(s.control);
                if (control != mPen || to != mPen) {
                    mGlyph.outline.push_back(kCurve);
                    Put(control);
                    Put(to);
                }
            } else if (to != mPen) {
                mGlyph.outline.push_back(kLine);
                Put(to);
            }
        }
    }
    void End() { mGlyph.outline.push_back(kEnd); }

private:
    using TStored = std::pair<int, int>;

    TStored Point(TPoint p) const {
        const double x = std::round(p.x * mScale);
        const double y = std::round(-p.y * mScale);
        if (std::fabs(x) > 32767 || std::fabs(y) > 32767) {
            Fail(CodeName(mCode) + ": a point lies outside the 16-bit range");
        }
        return {static_cast<int>(x), static_cast<int>(y)};
    }
    void Put(TStored p) {
        PutLe16(mGlyph.outline, p.first);
        PutLe16(mGlyph.outline, p.second);
        if (!mBoxed) {
            mGlyph.left = mGlyph.right = p.first;
            mGlyph.top = mGlyph.bottom = p.second;
            mBoxed = true;
        }
        mGlyph.left = std::min(mGlyph.left, p.first);
        mGlyph.right = std::max(mGlyph.right, p.first);
        mGlyph.top = std::min(mGlyph.top, p.second);
        mGlyph.bottom = std::max(mGlyph.bottom, p.second);
        mPen = p;
    }

    TGlyph& mGlyph;
    double mScale;
    uint32_t mCode;
    TStored mPen{0, 0};
    bool mBoxed = false;
};

TGlyph ConvertGlyph(FT_Face face, uint32_t code, double scale) {
    const FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) {
        Fail(CodeName(code) + " is not an outline");
    }
    const FT_Outline& outline = slot->outline;
    std::vector<TPath> paths;
    int first = 0;
    for (int c = 0; c < outline.n_contours; ++c) {
        const int last = outline.contours[c];
        // A lone point draws nothing (fonts keep such points for hinting).
        if (last > first) {
            paths.push_back(ReadContour(outline, first, last, code));
        }
        first = last + 1;
    }
    TGlyph glyph;
    glyph.code = code;
    glyph.advance =
        static_cast<int>(std::lround(static_cast<double>(slot->metrics.horiAdvance) * scale));
    TOutlineWriter writer(glyph, scale, code);
    if (!paths.empty()) {
        for (const std::vector<int>& group : GroupContours(paths, code)) {
            writer.Contour();
            for (const int p : group) {
                writer.Path(paths[static_cast<size_t>(p)]);
            }
        }
    }
    writer.End();
    return glyph;
}

// The font's own name record (Windows platform, US English), as plain text; empty when absent.
std::string NameRecord(FT_Face face, FT_UShort id) {
    const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) != 0 || name.name_id != id ||
            name.platform_id != TT_PLATFORM_MICROSOFT || name.language_id != 0x409) {
            continue;
        }
        std::string text;
        for (FT_UInt j = 0; j + 1 < name.string_len; j += 2) {
            const unsigned unit = (unsigned{name.string[j]} << 8) | name.string[j + 1];
            text += unit < 0x80 ? static_cast<char>(unit) : '?';
        }
        text.erase(text.find_last_not_of(" \n") + 1);
        return text;
    }
    return {};
}

// Ascent and descent as the loader derives them from the records.
void Metrics(const std::vector<TGlyph>& glyphs, float* ascent, float* descent) {
    *ascent = 0;
    *descent = 0;
    bool haveW = false;
    bool any = false;
    for (const TGlyph& g : glyphs) {
        if (g.code == 'W') {
            *ascent = static_cast<float>(-g.top) / 128.0f;
            haveW = true;
        }
    }
    for (const TGlyph& g : glyphs) {
        if (g.code >= 128) {
            continue;
        }
        if (!haveW) {
            const float a = static_cast<float>(-g.top) / 128.0f;
            *ascent = any ? std::max(*ascent, a) : a;
            any = true;
        }
        if (g.code != '_') {
            *descent = std::max(*descent, static_cast<float>(g.bottom) / 128.0f);
        }
    }
}

struct TLibraryDone {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct TFaceDone {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};

int Convert(const char* input, const char* output) {
    FT_Library rawLibrary = nullptr;
    Check(FT_Init_FreeType(&rawLibrary), "FT_Init_FreeType");
    const std::unique_ptr<FT_LibraryRec_, TLibraryDone> library(rawLibrary);
    FT_Face rawFace = nullptr;
    Check(FT_New_Face(library.get(), input, 0, &rawFace), std::string("opening ") + input);
    const std::unique_ptr<FT_FaceRec_, TFaceDone> owner(rawFace);
    const FT_Face face = rawFace;
    if (!FT_IS_SFNT(face) || face->units_per_EM == 0) {
        Fail(std::string(input) + " is not a TrueType font");
    }
    Check(FT_Select_Charmap(face, FT_ENCODING_UNICODE), "selecting the Unicode character map");
    const double scale = kStoredEm / face->units_per_EM;

    std::vector<TGlyph> glyphs;
    for (const uint32_t code : CharacterSet()) {
        const FT_UInt index = FT_Get_Char_Index(face, code);
        if (index == 0) {
            std::fprintf(stderr, "fontconv: %s has no %s; left out\n", input,
                         CodeName(code).c_str());
            continue;
        }
        Check(FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP),
              "loading " + CodeName(code));
        glyphs.push_back(ConvertGlyph(face, code, scale));
    }

    std::vector<uint8_t> file = {'M', 'V', 'C', '4'};
    PutLe16(file, static_cast<int>(glyphs.size()));
    file.resize(kHeaderSize, 0);
    auto offset = static_cast<uint32_t>(kHeaderSize + kRecordSize * glyphs.size());
    for (const TGlyph& g : glyphs) {
        PutLe32(file, g.code);
        for (const int value : {g.left, g.right, g.top, g.bottom, g.advance}) {
            PutLe16(file, value);
        }
        PutLe32(file, offset);
        offset += static_cast<uint32_t>(g.outline.size());
    }
    for (const TGlyph& g : glyphs) {
        file.insert(file.end(), g.outline.begin(), g.outline.end());
    }
    const std::string notice = "\n" + NameRecord(face, TT_NAME_ID_FULL_NAME) + ", " +
                               NameRecord(face, TT_NAME_ID_VERSION_STRING) + "\n\n" +
                               NameRecord(face, TT_NAME_ID_COPYRIGHT) + "\n\n" +
                               NameRecord(face, TT_NAME_ID_LICENSE) + "\n";
    file.insert(file.end(), notice.begin(), notice.end());

    std::FILE* out = std::fopen(output, "wb");
    if (out == nullptr) {
        Fail(std::string("cannot write ") + output);
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (std::fclose(out) != 0 || !written) {
        Fail(std::string("cannot write ") + output);
    }
    float ascent = 0;
    float descent = 0;
    Metrics(glyphs, &ascent, &descent);
    std::printf("fontconv: %s: %zu glyphs, %zu bytes, ascent %.9g, descent %.9g\n", output,
                glyphs.size(), file.size(), static_cast<double>(ascent),
                static_cast<double>(descent));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fontconv input.ttf output.mvec\n");
        return 2;
    }
    try {
        return Convert(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fontconv: %s\n", e.what());
        return 1;
    }
}
