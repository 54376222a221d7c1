// Reading one markup tag and applying it to the layout state.
#include "engine/ui/textsprite.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace text_tags {

constexpr int kTagBuffer = 128;

// Limits on values that size glyphs: hostile markup must not make the rasteriser allocate or
// index without bound.
constexpr int kMaxFontSize = 1024;
constexpr int kMaxOutlineSize = 64;
constexpr int kMaxPosition = 32767;

// A tag as the layout reads it: without its brackets, blanks outside quotes dropped, lower case
// except from an '=' up to the next blank; cut at 128 kept characters.
struct TTag {
    char text[kTagBuffer + 1] = {};
    int length = 0;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// False when the text ends before the '>'.
bool ReadTag(const char* source, int length, TTag* tag, int* consumed) {
    char quote = 0;
    bool keepCase = false;
    for (int i = 1; i < length; ++i) {
        char c = source[i];
        if (c == '>') {
            *consumed = i + 1;
            tag->text[tag->length] = '\0';
            return true;
        }
        if (c == '"' || c == '\'') {
            if (quote == 0) {
                quote = c;
            } else if (quote == c) {
                quote = 0;
            }
        }
        if (IsBlank(c)) {
            keepCase = false;
            if (quote == 0) {
                continue;
            }
        }
        if (c == '=') {
            keepCase = true;
        }
        if (!keepCase) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (tag->length < kTagBuffer) {
            tag->text[tag->length++] = c;
        }
    }
    return false;
}

// The value of attribute `name` ('name="value"' or 'name=\'value\'', the name found outside any
// quoted value, from `from` on); false when the tag has none.
bool Attribute(const TTag& tag, int from, const char* name, str* value) {
    const int nameLength = static_cast<int>(std::strlen(name));
    char quote = 0;
    for (int i = 0; i < tag.length; ++i) {
        const char c = tag.text[i];
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            }
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (i < from || i + nameLength > tag.length ||
            std::strncmp(tag.text + i, name, static_cast<size_t>(nameLength)) != 0) {
            continue;
        }
        int open = i + nameLength;
        while (open < tag.length && tag.text[open] == '=') {
            ++open;
        }
        if (open >= tag.length || (tag.text[open] != '"' && tag.text[open] != '\'')) {
            continue;
        }
        const char* start = tag.text + open + 1;
        const char* close = static_cast<const char*>(
            std::memchr(start, tag.text[open], static_cast<size_t>(tag.length - open - 1)));
        if (close == nullptr) {
            return false;
        }
        value->Assign(start, static_cast<int>(close - start));
        return true;
    }
    return false;
}

// atoi's reading (blanks, a sign, digits up to the first other character), held within
// [low, high].
int ReadInt(const str& text, int low, int high) {
    const char* c = text.CStr() != nullptr ? text.CStr() : "";
    while (IsBlank(*c)) {
        ++c;
    }
    bool negative = false;
    if (*c == '+' || *c == '-') {
        negative = *c == '-';
        ++c;
    }
    int64_t value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*c)); ++c) {
        value = value * 10 + (*c - '0');
        if (value > int64_t{1} << 40) {
            break;
        }
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int>(value < low ? low : value > high ? high : value);
}

// Hexadecimal "rrggbb" with alpha 1, or with `withAlpha` also "rrggbbaa"; an optional leading
// '#'. Digits stop at the first character that is not one.
TColor ReadColor(const str& text, bool withAlpha) {
    const char* c = text.CStr() != nullptr ? text.CStr() : "";
    if (*c == '#') {
        ++c;
    }
    uint32_t value = 0;
    int digits = 0;
    const int most = withAlpha ? 8 : 6;
    for (; digits < most && std::isxdigit(static_cast<unsigned char>(*c)); ++c, ++digits) {
        const int d = std::isdigit(static_cast<unsigned char>(*c))
                          ? *c - '0'
                          : std::tolower(static_cast<unsigned char>(*c)) - 'a' + 10;
        value = value << 4 | static_cast<uint32_t>(d);
    }
    uint32_t alpha = 255;
    if (digits == 8) {
        alpha = value & 0xFFu;
        value >>= 8;
    }
    return TColor{static_cast<float>((value >> 16) & 0xFFu) / 255.0f,
                  static_cast<float>((value >> 8) & 0xFFu) / 255.0f,
                  static_cast<float>(value & 0xFFu) / 255.0f, static_cast<float>(alpha) / 255.0f};
}

enum class TTagKind {
    kBreak,
    kEndParagraph,
    kLink,
    kEndLink,
    kBold,
    kEndBold,
    kItalic,
    kEndItalic,
    kUnderline,
    kEndUnderline,
    kCursor,
    kCenter,
    kEndCenter,
    kLeft,
    kEndLeft,
    kRight,
    kEndRight,
    kFont,
    kEndFont,
    kOutline,
    kEndOutline,
    kTab,
    kNone,
};

struct TTagName {
    const char* prefix;
    TTagKind kind;
};

// Matched by prefix, in this order; the first match wins ("<bold>" is a bold tag, "<abc>" a link).
constexpr TTagName kTagNames[] = {
    {"br", TTagKind::kBreak},
    {"/p", TTagKind::kEndParagraph},
    {"a", TTagKind::kLink},
    {"/a", TTagKind::kEndLink},
    {"b", TTagKind::kBold},
    {"/b", TTagKind::kEndBold},
    {"i", TTagKind::kItalic},
    {"/i", TTagKind::kEndItalic},
    {"u", TTagKind::kUnderline},
    {"/u", TTagKind::kEndUnderline},
    {"cursor", TTagKind::kCursor},
    {"center", TTagKind::kCenter},
    {"/center", TTagKind::kEndCenter},
    {"left", TTagKind::kLeft},
    {"/left", TTagKind::kEndLeft},
    {"right", TTagKind::kRight},
    {"/right", TTagKind::kEndRight},
    {"font", TTagKind::kFont},
    {"/font", TTagKind::kEndFont},
    {"outline", TTagKind::kOutline},
    {"/outline", TTagKind::kEndOutline},
    {"tab", TTagKind::kTab},
};

TTagKind Classify(const TTag& tag, int* nameLength) {
    for (const TTagName& name : kTagNames) {
        const size_t length = std::strlen(name.prefix);
        if (std::strncmp(tag.text, name.prefix, length) == 0) {
            *nameLength = static_cast<int>(length);
            return name.kind;
        }
    }
    *nameLength = 0;
    return TTagKind::kNone;
}

} // namespace text_tags

const TTextLayoutState::TFontEntry& TTextLayoutState::Font() const {
    return fonts[fontDepth < kStackSize ? fontDepth : kStackSize - 1];
}

TTextLayoutState::TFontEntry& TTextLayoutState::Font() {
    return fonts[fontDepth < kStackSize ? fontDepth : kStackSize - 1];
}

bool TTextSprite::ParseTag(const char* text, int length, int* consumed, bool* lineBreak, int* pad,
                           bool* caret, bool* alignChanged, int* tabPos) {
    using namespace text_tags;
    *lineBreak = false;
    *pad = 0;
    *caret = false;
    *alignChanged = false;
    *tabPos = 0;
    TTag tag;
    if (length <= 0 || text[0] != '<' || !ReadTag(text, length, &tag, consumed)) {
        return false;
    }
    TTextLayoutState& state = *mState;
    int from = 0;
    const TTagKind kind = Classify(tag, &from);
    str value;
    switch (kind) {
    case TTagKind::kBreak:
        *lineBreak = true;
        if (Attribute(tag, from, "pad", &value)) {
            *pad = ReadInt(value, -kMaxPosition - 1, kMaxPosition);
        }
        break;
    case TTagKind::kEndParagraph:
        *lineBreak = true;
        break;
    case TTagKind::kLink:
        state.linkId = Attribute(tag, from, "id", &value) ? value : str();
        if (Attribute(tag, from, "color", &value)) {
            state.currentColor = ReadColor(value, false);
            state.linkColored = true;
        } else {
            state.currentColor = state.Font().color;
            state.linkColored = false;
        }
        break;
    case TTagKind::kEndLink:
        state.linkId = str();
        state.currentColor = state.Font().color;
        state.linkColored = false;
        break;
    case TTagKind::kBold:
    case TTagKind::kEndBold:
        state.bold = kind == TTagKind::kBold ? 1 : 0;
        break;
    case TTagKind::kItalic:
    case TTagKind::kEndItalic:
        state.italic = kind == TTagKind::kItalic ? 1 : 0;
        break;
    case TTagKind::kUnderline:
    case TTagKind::kEndUnderline:
        state.underline = kind == TTagKind::kUnderline ? 1 : 0;
        break;
    case TTagKind::kCursor:
        *caret = true;
        break;
    case TTagKind::kCenter:
    case TTagKind::kLeft:
    case TTagKind::kRight:
        if (state.alignDepth + 1 < TTextLayoutState::kStackSize) {
            state.align[++state.alignDepth] = kind == TTagKind::kCenter  ? 1
                                              : kind == TTagKind::kRight ? 2
                                                                         : 0;
        }
        *alignChanged = true;
        break;
    case TTagKind::kEndCenter:
    case TTagKind::kEndLeft:
    case TTagKind::kEndRight:
        if (state.alignDepth > 0) {
            --state.alignDepth;
        }
        *alignChanged = true;
        break;
    case TTagKind::kFont: {
        // Counted on past the stack, so each closing tag still matches its opening one.
        if (state.fontDepth < INT32_MAX) {
            ++state.fontDepth;
        }
        if (state.fontDepth < TTextLayoutState::kStackSize) {
            TTextLayoutState::TFontEntry& entry = state.fonts[state.fontDepth];
            entry = state.fonts[state.fontDepth - 1];
            if (Attribute(tag, from, "size", &value)) {
                entry.size = ReadInt(value, 0, kMaxFontSize);
            }
            if (Attribute(tag, from, "color", &value)) {
                entry.color = ReadColor(value, true);
            }
            if (Attribute(tag, from, "face", &value)) {
                entry.face = value;
            }
        }
        if (!state.linkColored) {
            state.currentColor = state.Font().color;
        }
        break;
    }
    case TTagKind::kEndFont:
        if (state.fontDepth > 0) {
            --state.fontDepth;
        }
        if (!state.linkColored) {
            state.currentColor = state.Font().color;
        }
        break;
    case TTagKind::kOutline:
        if (Attribute(tag, from, "color", &value)) {
            state.outlineColor = ReadColor(value, false);
        }
        state.outlineSize = Attribute(tag, from, "size", &value)
                                ? static_cast<float>(ReadInt(value, 0, kMaxOutlineSize))
                                : 2.0f;
        break;
    case TTagKind::kEndOutline:
        state.outlineSize = 0.0f;
        state.outlineColor = TColor{0, 0, 0, 0};
        break;
    case TTagKind::kTab:
        if (Attribute(tag, from, "pos", &value)) {
            *tabPos = ReadInt(value, -kMaxPosition - 1, kMaxPosition) * 4;
        }
        break;
    case TTagKind::kNone:
        break;
    }
    return true;
}
