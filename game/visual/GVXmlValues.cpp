#include "game/visual/GVXmlValues.h"

#include "engine/core/xml.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace gvxml {

namespace {

const char* CText(const str& text) {
    return text.CStr() != nullptr ? text.CStr() : "";
}

bool Contains(const char* text, const char* word) {
    const size_t length = std::strlen(word);
    for (const char* p = text; *p != '\0'; ++p) {
        if (strncasecmp(p, word, length) == 0) {
            return true;
        }
    }
    return false;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A run of digits at `i`, held below a billion so that sums stay in range.
int ReadDigits(const char* text, size_t length, size_t& i) {
    int64_t value = 0;
    while (i < length && IsDigit(text[i])) {
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), 1000000000);
        ++i;
    }
    return static_cast<int>(value);
}

bool StartsWithDots(const char* text, size_t length, size_t i) {
    return i + 1 < length && text[i] == '.' && text[i + 1] == '.';
}

// Adds first..last; false once the list is full.
bool AddRange(std::vector<int>& frames, int first, int last) {
    for (int64_t frame = first; frame <= last; ++frame) {
        if (static_cast<int>(frames.size()) >= kMaxFrameListLength) {
            return false;
        }
        frames.push_back(static_cast<int>(frame));
    }
    return true;
}

} // namespace

const char* Chars(const str& text) {
    return CText(text);
}

void SetText(TXmlNode* element, const char* name, const str& text) {
    element->SetAttribute(name, CText(text));
}

str Text(const TXmlNode* element, const char* name) {
    return element != nullptr ? element->GetAttribute(name) : str();
}

int ReadInt(const TXmlNode* element, const char* name, int fallback) {
    const str text = Text(element, name);
    if (text.Length() == 0) {
        return fallback;
    }
    const long value = std::strtol(CText(text), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

uint32_t ReadUnsigned(const TXmlNode* element, const char* name, uint32_t fallback) {
    const str text = Text(element, name);
    if (text.Length() == 0) {
        return fallback;
    }
    const char* p = CText(text);
    while (std::isspace(static_cast<unsigned char>(*p)) != 0) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Signs are taken here so that the magnitude saturates in 32 bits before any negation.
    if (*p == '+' || *p == '-') {
        return 0;
    }
    const unsigned long long magnitude = std::strtoull(p, nullptr, 0);
    const uint32_t value = magnitude > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(magnitude);
    return negative && magnitude <= UINT32_MAX ? 0u - value : value;
}

float ReadFloat(const TXmlNode* element, const char* name, float fallback) {
    const str text = Text(element, name);
    return text.Length() == 0 ? fallback : static_cast<float>(std::atof(CText(text)));
}

bool ReadBool(const TXmlNode* element, const char* name, bool fallback) {
    return ReadInt(element, name, fallback ? 1 : 0) != 0;
}

uint32_t ParseFlip(const char* text) {
    return (Contains(text, "V") ? 2u : 0u) | (Contains(text, "H") ? 1u : 0u);
}

int ParseBlend(const char* text) {
    return Contains(text, "add") ? 2 : Contains(text, "sub") ? 3 : Contains(text, "mul") ? 4 : 0;
}

int ParseCentering(const char* text) {
    static const char* const kNames[] = {"old", "delta_left", "left", "center"};
    for (int mode = 0; mode < 4; ++mode) {
        if (std::strcmp(text, kNames[mode]) == 0) {
            return mode;
        }
    }
    return 4;
}

const char* CenteringName(int mode) {
    static const char* const kNames[] = {"old", "delta_left", "left", "center"};
    return mode >= 0 && mode < 4 ? kNames[mode] : "";
}

std::vector<float> ParseNumberList(const char* text) {
    std::vector<float> numbers;
    const auto isNumberChar = [](char c) { return IsDigit(c) || c == '.' || c == '-'; };
    const size_t length = std::strlen(text);
    size_t i = 0;
    while (i < length) {
        if (!isNumberChar(text[i])) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < length && isNumberChar(text[i])) {
            ++i;
        }
        // atof reads only the start of the run: "1-2" is 1.
        const std::string run(text + start, i - start);
        numbers.push_back(static_cast<float>(std::atof(run.c_str())));
    }
    return numbers;
}

std::vector<int> ParseFrameList(const char* text, int frameCount) {
    std::vector<int> frames;
    const size_t length = std::strlen(text);
    if (length == 0) {
        AddRange(frames, 0, frameCount - 1);
        return frames;
    }
    size_t i = 0;
    while (i < length) {
        if (IsDigit(text[i])) {
            const int first = ReadDigits(text, length, i);
            if (first >= frameCount) {
                break;
            }
            frames.push_back(first);
            if (!StartsWithDots(text, length, i)) {
                continue;
            }
            i += 2;
            const int last =
                i < length && IsDigit(text[i]) ? ReadDigits(text, length, i) : frameCount - 1;
            if (!AddRange(frames, first + 1, last)) {
                break;
            }
        } else if (StartsWithDots(text, length, i)) {
            i += 2;
            if (frameCount <= 0) {
                break;
            }
            const int last =
                i < length && IsDigit(text[i]) ? ReadDigits(text, length, i) : frameCount - 1;
            if (!AddRange(frames, 0, last)) {
                break;
            }
        } else {
            ++i;
        }
        if (static_cast<int>(frames.size()) >= kMaxFrameListLength) {
            break;
        }
    }
    return frames;
}

str FormatFrameList(const std::vector<int>& frames, int frameCount) {
    if (frames.empty()) {
        // Reading stops at the first number past the frames: nothing is read.
        return str::FromFormat("%d", frameCount);
    }
    bool all = static_cast<int>(frames.size()) == frameCount;
    for (size_t i = 0; all && i < frames.size(); ++i) {
        all = frames[i] == static_cast<int>(i);
    }
    if (all) {
        return str();
    }
    str text;
    size_t i = 0;
    while (i < frames.size()) {
        size_t end = i + 1;
        while (end < frames.size() && frames[end] == frames[end - 1] + 1) {
            ++end;
        }
        const size_t run = end - i;
        // A run reaching past the frames must stay a range: as single numbers it would stop.
        if (run >= 3 || (run == 2 && frames[end - 1] >= frameCount)) {
            text += str::FromFormat("%s%d..%d", text.Length() > 0 ? "," : "", frames[i],
                                    frames[end - 1]);
            i = end;
        } else {
            text += str::FromFormat("%s%d", text.Length() > 0 ? "," : "", frames[i]);
            ++i;
        }
    }
    return text;
}

} // namespace gvxml
