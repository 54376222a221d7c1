// artgen: draws the demo's PNG images from a description file.
//
//   artgen description.txt font.mvec output-folder
//
// Each image of the description is written below the output folder under its own name, folders
// made as needed. Shapes are anti-aliased by sample counting (tools/artgen/canvas.h); text is
// drawn with the engine's own vector-font reader and glyph scan converter, so it looks as the
// engine's text does. The output depends on the description and the font alone.
//
// The description, one command a line ('#' starts a comment line; numbers may have fractions):
//   image <file> <width> <height>          starts an image, transparent
//   rect <x> <y> <w> <h> <paint> [stroke <colour> <width>]
//   round <x> <y> <w> <h> <radius> <paint> [stroke <colour> <width>]
//   ellipse <cx> <cy> <rx> <ry> <paint> [stroke <colour> <width>]
//   poly <paint> [stroke <colour> <width>] points <x>,<y> <x>,<y> ...
//   line <x1> <y1> <x2> <y2> <colour> <width>   a segment with round ends
//   text <x> <baseline> <size> left|center|right <colour> [stroke <colour> <width>] "<text>"
//   keyed                                   makes the image so far colour-keyed: pixels less
//                                           than half covered become magenta, the rest opaque
//   end                                     writes the image
//   define <name> ... enddefine             keeps the lines between as a drawing, not drawn yet
//   use <name> <dx> <dy> [#rrggbb=#rrggbb ...]
//                                           draws the drawing moved by (dx, dy), each colour
//                                           before '=' replaced by the one after it (alpha kept)
// A colour is #rrggbb or #rrggbbaa; a paint is a colour or top:bottom, two colours joined by a
// colon for a vertical gradient over the shape. A stroke is centred on the shape's edge (around
// the glyphs for text). Later commands draw over earlier ones. A text size is the engine's font
// size: the height of a text line in pixels.
#include "engine/media/minivecdrawraster.h"
#include "engine/media/minivecfont.h"
#include "tools/artgen/canvas.h"
#include "tools/artgen/descriptionline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace artgen {
namespace {

struct TStroke {
    TColour colour;
    double width = 0.0;
};

struct TPoint {
    double x;
    double y;
};

using TLine = generators::TDescriptionLine;

TColour ParseColour(const TLine& line, const std::string& word) {
    if ((word.size() != 7 && word.size() != 9) || word[0] != '#' ||
        word.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) {
        line.Fail("'" + word + "' is no colour (#rrggbb or #rrggbbaa)");
    }
    const auto channel = [&word](size_t at) {
        return static_cast<double>(std::stoi(word.substr(at, 2), nullptr, 16)) / 255.0;
    };
    return TColour{channel(1), channel(3), channel(5), word.size() == 9 ? channel(7) : 1.0};
}

TColour ReadColour(TLine& line) {
    return ParseColour(line, line.Word());
}

TPaint ReadPaint(TLine& line) {
    const std::string word = line.Word();
    TPaint paint;
    const size_t colon = word.find(':');
    paint.top = ParseColour(line, word.substr(0, colon));
    paint.bottom = paint.top;
    if (colon != std::string::npos) {
        paint.bottom = ParseColour(line, word.substr(colon + 1));
        paint.gradient = true;
    }
    return paint;
}

// "stroke <colour> <width>" when it comes next.
std::optional<TStroke> ReadStroke(TLine& line) {
    if (line.AtEnd() || line.Peek() != "stroke") {
        return std::nullopt;
    }
    line.Word();
    TStroke stroke;
    stroke.colour = ReadColour(line);
    stroke.width = line.Number();
    if (stroke.width <= 0.0) {
        line.Fail("a stroke needs a width above 0");
    }
    return stroke;
}

TBox Grow(const TBox& box, double by) {
    return TBox{box.left - by, box.top - by, box.right + by, box.bottom + by};
}

bool InRect(const TBox& box, double x, double y) {
    return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

bool InRound(const TBox& box, double radius, double x, double y) {
    if (!InRect(box, x, y)) {
        return false;
    }
    const double dx = std::max({box.left + radius - x, 0.0, x - (box.right - radius)});
    const double dy = std::max({box.top + radius - y, 0.0, y - (box.bottom - radius)});
    return dx * dx + dy * dy <= radius * radius;
}

bool InEllipse(TPoint centre, double rx, double ry, double x, double y) {
    if (rx <= 0.0 || ry <= 0.0) {
        return false;
    }
    const double dx = (x - centre.x) / rx;
    const double dy = (y - centre.y) / ry;
    return dx * dx + dy * dy <= 1.0;
}

// Even-odd.
bool InPolygon(const std::vector<TPoint>& points, double x, double y) {
    bool inside = false;
    for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
        const TPoint& a = points[i];
        const TPoint& b = points[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) {
            inside = !inside;
        }
    }
    return inside;
}

double SegmentDistanceSquared(TPoint a, TPoint b, double x, double y) {
    const double vx = b.x - a.x;
    const double vy = b.y - a.y;
    const double length = vx * vx + vy * vy;
    const double t =
        length > 0.0 ? std::clamp(((x - a.x) * vx + (y - a.y) * vy) / length, 0.0, 1.0) : 0.0;
    const double dx = a.x + t * vx - x;
    const double dy = a.y + t * vy - y;
    return dx * dx + dy * dy;
}

TPaint Solid(const TColour& colour) {
    TPaint paint;
    paint.top = colour;
    paint.bottom = colour;
    return paint;
}

// A shape given as "inside when grown by d" (d may be negative): its fill, then a stroke centred
// on its edge. `solid` lies inside the shape (its pixels need no sampling).
void DrawShape(TCanvas& canvas, const TBox& box,
               const std::function<bool(double, double, double)>& inside, const TPaint& paint,
               const std::optional<TStroke>& stroke, const TBox& solid) {
    canvas.Fill(
        Grow(box, 1.0), box, [&](double x, double y) { return inside(x, y, 0.0); }, paint, solid);
    if (stroke) {
        const double half = stroke->width / 2.0;
        canvas.Fill(
            Grow(box, half + 1.0), box,
            [&](double x, double y) { return inside(x, y, half) && !inside(x, y, -half); },
            Solid(stroke->colour));
    }
}

// Glyph spans blended into the canvas: colour 1 (the glyphs' fill) and the stroke colour 255.
class TTextPainter final : public TMiniVecSpanSink {
public:
    TTextPainter(TCanvas& canvas, const TColour& fill, const TColour& stroke)
        : mCanvas(canvas), mFill(fill), mStroke(stroke) {}

    void MoveTo(int x, int y) {
        mX = x;
        mY = y;
    }

    void DefineColour(int, int, int, int) override {}

    void EmitSpan(const TMiniVecSpan& span) override {
        const int plane = span.mPlane;
        if (plane != MiniVecPlaneOf(1) && plane != MiniVecPlaneOf(255)) {
            return;
        }
        // Levels 0 to 15 count the covered sixteenths less one; above, the pixel is covered.
        const double cover = span.mLevel < 16 ? (span.mLevel + 1) / 16.0 : 1.0;
        const TColour& colour = plane == MiniVecPlaneOf(1) ? mFill : mStroke;
        for (int x = span.mStart; x < span.mEnd; ++x) {
            mCanvas.Blend(mX + x, mY + span.mRow, colour, cover);
        }
    }

private:
    TCanvas& mCanvas;
    TColour mFill;
    TColour mStroke;
    int mX = 0;
    int mY = 0;
};

// The code points of UTF-8 text; a byte that starts no valid sequence stands for itself.
std::vector<uint32_t> CodePoints(const std::string& text) {
    std::vector<uint32_t> codes;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        uint32_t code = extra == 0 ? lead : lead & (0x3Fu >> extra);
        bool valid = i + static_cast<size_t>(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3Fu);
        }
        codes.push_back(valid ? code : lead);
        i += valid ? static_cast<size_t>(extra) + 1 : 1;
    }
    return codes;
}

class TGenerator {
public:
    explicit TGenerator(std::vector<unsigned char> font)
        : mFont(TMiniVecFont::Load(std::move(font))) {
        if (mFont->GetGlyphCount() == 0) {
            throw std::runtime_error("the font has no glyphs");
        }
    }

    void Run(std::istream& description, const std::filesystem::path& output) {
        std::string text;
        int number = 0;
        mOutput = output;
        while (std::getline(description, text)) {
            ++number;
            if (mDefining != nullptr) {
                const TLine line(text, number);
                if (!line.Empty() && line.Command() == "enddefine") {
                    line.ExpectEnd();
                    mDefining = nullptr;
                } else {
                    mDefining->emplace_back(text, number);
                }
                continue;
            }
            RunLine(text, number, 0);
        }
        if (mDefining != nullptr) {
            throw std::runtime_error("the last drawing has no enddefine");
        }
        if (mCanvas) {
            throw std::runtime_error("the last image has no end");
        }
    }

private:
    using TDrawing = std::vector<std::pair<std::string, int>>;

    void RunLine(const std::string& text, int number, int depth) {
        TLine line(text, number);
        if (line.Empty()) {
            return;
        }
        const std::string command = line.Command();
        if (command == "define") {
            const std::string name = line.Word();
            line.ExpectEnd();
            if (!mDrawings.emplace(name, TDrawing()).second) {
                line.Fail("the drawing '" + name + "' is defined twice");
            }
            mDefining = &mDrawings[name];
            return;
        }
        if (command == "image") {
            if (mCanvas) {
                line.Fail("an image inside an image");
            }
            mFile = mOutput / line.Word();
            const double width = line.Number();
            const double height = line.Number();
            line.ExpectEnd();
            if (width < 1 || height < 1 || width > 4096 || height > 4096 ||
                width != std::floor(width) || height != std::floor(height)) {
                line.Fail("an image is 1 to 4096 whole pixels a side");
            }
            mCanvas = std::make_unique<TCanvas>(static_cast<int>(width), static_cast<int>(height));
            return;
        }
        if (!mCanvas) {
            line.Fail("'" + command + "' outside an image");
        }
        if (command == "end") {
            line.ExpectEnd();
            std::filesystem::create_directories(mFile.parent_path());
            if (!mCanvas->WritePng(mFile.string())) {
                line.Fail("cannot write " + mFile.string());
            }
            mCanvas.reset();
        } else if (command == "keyed") {
            line.ExpectEnd();
            mCanvas->KeyTransparent();
        } else if (command == "use") {
            Use(line, depth);
        } else if (command == "text") {
            Text(*mCanvas, line);
        } else {
            Shape(*mCanvas, command, line);
        }
    }

    using TColourChanges = std::vector<std::pair<std::string, std::string>>;

    // One pass over the text, so that a colour changed once is not changed again.
    static std::string ChangeColours(std::string text, const TColourChanges& changes) {
        for (size_t at = text.find('#'); at != std::string::npos; at = text.find('#', at + 1)) {
            for (const auto& [from, to] : changes) {
                if (text.compare(at, from.size(), from) == 0) {
                    text.replace(at, from.size(), to);
                    break;
                }
            }
        }
        return text;
    }

    void Use(TLine& line, int depth) {
        const std::string name = line.Word();
        const auto found = mDrawings.find(name);
        if (found == mDrawings.end()) {
            line.Fail("no drawing '" + name + "'");
        }
        if (depth >= 8) {
            line.Fail("drawings use each other too deeply");
        }
        const TPoint shift{line.Number(), line.Number()};
        TColourChanges colours;
        while (!line.AtEnd()) {
            const std::string word = line.Word();
            const size_t equals = word.find('=');
            if (equals == std::string::npos) {
                line.Fail("'" + word + "' is no colour change (#rrggbb=#rrggbb)");
            }
            const std::string from = word.substr(0, equals);
            const std::string to = word.substr(equals + 1);
            ParseColour(line, from);
            ParseColour(line, to);
            if (from.size() != 7 || to.size() != 7) {
                line.Fail("a colour change names colours without alpha");
            }
            colours.emplace_back(from, to);
        }
        const TPoint saved = mOrigin;
        mOrigin = TPoint{mOrigin.x + shift.x, mOrigin.y + shift.y};
        // A drawing used inside another takes the outer changes too, after its own.
        mColourChanges.push_back(std::move(colours));
        for (const auto& [text, number] : found->second) {
            std::string changed = text;
            for (auto changes = mColourChanges.rbegin(); changes != mColourChanges.rend();
                 ++changes) {
                changed = ChangeColours(changed, *changes);
            }
            RunLine(changed, number, depth + 1);
        }
        mColourChanges.pop_back();
        mOrigin = saved;
    }

    void Shape(TCanvas& canvas, const std::string& command, TLine& line) const {
        if (command == "rect" || command == "round") {
            const double x = line.Number() + mOrigin.x;
            const double y = line.Number() + mOrigin.y;
            const TBox box{x, y, x + line.Number(), y + line.Number()};
            const double radius = command == "round" ? line.Number() : 0.0;
            const TPaint paint = ReadPaint(line);
            const std::optional<TStroke> stroke = ReadStroke(line);
            line.ExpectEnd();
            DrawShape(
                canvas, box,
                [&](double px, double py, double d) {
                    return InRound(Grow(box, d), std::max(radius + d, 0.0), px, py);
                },
                paint, stroke, TBox{box.left, box.top + radius, box.right, box.bottom - radius});
        } else if (command == "ellipse") {
            const TPoint centre{line.Number() + mOrigin.x, line.Number() + mOrigin.y};
            const double rx = line.Number();
            const double ry = line.Number();
            const TPaint paint = ReadPaint(line);
            const std::optional<TStroke> stroke = ReadStroke(line);
            line.ExpectEnd();
            DrawShape(
                canvas, TBox{centre.x - rx, centre.y - ry, centre.x + rx, centre.y + ry},
                [&](double px, double py, double d) {
                    return InEllipse(centre, rx + d, ry + d, px, py);
                },
                // Within the inscribed box, (dx / rx)^2 + (dy / ry)^2 stays below 2 x 0.7^2.
                paint, stroke,
                TBox{centre.x - 0.7 * rx, centre.y - 0.7 * ry, centre.x + 0.7 * rx,
                     centre.y + 0.7 * ry});
        } else if (command == "poly") {
            const TPaint paint = ReadPaint(line);
            const std::optional<TStroke> stroke = ReadStroke(line);
            if (line.Word() != "points") {
                line.Fail("a polygon's points follow the word 'points'");
            }
            std::vector<TPoint> points;
            TBox box{1e9, 1e9, -1e9, -1e9};
            while (!line.AtEnd()) {
                const std::string word = line.Word();
                const size_t comma = word.find(',');
                if (comma == std::string::npos) {
                    line.Fail("'" + word + "' is no point (x,y)");
                }
                const TPoint point{line.ToNumber(word.substr(0, comma)) + mOrigin.x,
                                   line.ToNumber(word.substr(comma + 1)) + mOrigin.y};
                points.push_back(point);
                box = TBox{std::min(box.left, point.x), std::min(box.top, point.y),
                           std::max(box.right, point.x), std::max(box.bottom, point.y)};
            }
            if (points.size() < 3) {
                line.Fail("a polygon needs three points at least");
            }
            canvas.Fill(
                Grow(box, 1.0), box, [&](double x, double y) { return InPolygon(points, x, y); },
                paint);
            if (stroke) {
                const double limit = stroke->width * stroke->width / 4.0;
                canvas.Fill(
                    Grow(box, stroke->width / 2.0 + 1.0), box,
                    [&](double x, double y) {
                        for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
                            if (SegmentDistanceSquared(points[j], points[i], x, y) <= limit) {
                                return true;
                            }
                        }
                        return false;
                    },
                    Solid(stroke->colour));
            }
        } else if (command == "line") {
            const TPoint from{line.Number() + mOrigin.x, line.Number() + mOrigin.y};
            const TPoint to{line.Number() + mOrigin.x, line.Number() + mOrigin.y};
            const TColour colour = ReadColour(line);
            const double width = line.Number();
            line.ExpectEnd();
            const double limit = width * width / 4.0;
            const TBox box{std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x),
                           std::max(from.y, to.y)};
            canvas.Fill(
                Grow(box, width / 2.0 + 1.0), box,
                [&](double x, double y) { return SegmentDistanceSquared(from, to, x, y) <= limit; },
                Solid(colour));
        } else {
            line.Fail("'" + command + "' is no command");
        }
    }

    // Laid out as the engine lays out one run: the scale takes the font's ascent and descent to
    // the size's share of the line, and each glyph advances the pen by its advance.
    void Text(TCanvas& canvas, TLine& line) const {
        const double x = line.Number() + mOrigin.x;
        const double baseline = line.Number() + mOrigin.y;
        const double size = line.Number();
        const std::string align = line.Word();
        const TColour colour = ReadColour(line);
        const std::optional<TStroke> stroke = ReadStroke(line);
        const std::string text = line.Word();
        line.ExpectEnd();
        if (size <= 0.0) {
            line.Fail("a text size is above 0");
        }
        if (align != "left" && align != "center" && align != "right") {
            line.Fail("'" + align + "' is no alignment (left, center, right)");
        }
        const float cell = mFont->GetAscent() + mFont->GetDescent();
        const float scale = 4.0f * static_cast<float>(size) * MiniVecCellFraction() / cell;
        std::vector<int> glyphs;
        float width = 0.0f; // quarter pixels
        for (const uint32_t code : CodePoints(text)) {
            const int index = mFont->FindGlyph(code);
            if (index < 0) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(code));
                line.Fail(std::string("the font has no glyph for ") + hex);
            }
            glyphs.push_back(index);
            width += mFont->GetGlyphAdvance(index) * scale;
        }
        const float shift = align == "left" ? 0.0f : align == "center" ? width / 2.0f : width;
        const float startX = static_cast<float>(x) * 4.0f - shift;
        const auto quarterY = static_cast<int>(std::floor(baseline * 4.0));

        TTextPainter painter(canvas, colour, stroke ? stroke->colour : TColour{});
        TMiniVecDrawRaster raster;
        float pen = 0.0f;
        for (const int index : glyphs) {
            const auto quarterX = static_cast<int>(std::floor(startX + pen));
            TMiniVecRasterParams params;
            params.mScaleX = scale * mFont->GetGlyphScale(index);
            params.mScaleY = params.mScaleX;
            params.mStrokeWidth[0] = stroke ? static_cast<float>(stroke->width) : 0.0f;
            params.mPhaseX = quarterX & 3;
            params.mPhaseY = quarterY & 3;
            painter.MoveTo(quarterX >> 2, quarterY >> 2);
            if (const unsigned char* outline = mFont->GetGlyphOutline(index)) {
                raster.Run(outline, params, painter);
            }
            pen += mFont->GetGlyphAdvance(index) * scale;
        }
    }

    std::unique_ptr<TMiniVecFont> mFont;
    std::filesystem::path mOutput;
    std::unique_ptr<TCanvas> mCanvas;
    std::filesystem::path mFile;
    std::map<std::string, TDrawing> mDrawings;
    TDrawing* mDefining = nullptr;
    // The colour changes of the drawings being used, outermost first.
    std::vector<TColourChanges> mColourChanges;
    // Where the drawings being used put their (0, 0).
    TPoint mOrigin{0.0, 0.0};
};

} // namespace
} // namespace artgen

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: artgen description.txt font.mvec output-folder\n");
        return 2;
    }
    std::ifstream description(argv[1]);
    std::ifstream font(argv[2], std::ios::binary);
    if (!description || !font) {
        std::fprintf(stderr, "artgen: cannot read %s\n", !description ? argv[1] : argv[2]);
        return 1;
    }
    try {
        std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(font),
                                         std::istreambuf_iterator<char>()};
        artgen::TGenerator generator(std::move(bytes));
        generator.Run(description, argv[3]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "artgen: %s: %s\n", argv[1], error.what());
        return 1;
    }
    return 0;
}
