// How the attributes of visual-object files read and write: integers, unsigned numbers with a
// base, floats, booleans, the "flip" letters, the "blend" words, registration-mode words, number
// lists and state frame lists. An absent attribute and an empty one both give the default.
// Stateless functions; any thread.
#pragma once

#include "engine/core/str.h"

#include <cstdint>
#include <vector>

class TXmlNode;

namespace gvxml {

// A frame list longer than this stops there: a range end of two billion, taken as written,
// must not allocate gigabytes.
constexpr int kMaxFrameListLength = 4096;

// The text of the attribute; "" when absent.
str Text(const TXmlNode* element, const char* name);
// The characters of a text, "" for an empty one.
const char* Chars(const str& text);
// Sets the attribute to the text (an empty one when the text is).
void SetText(TXmlNode* element, const char* name, const str& text);
// Decimal from the start, leading blanks and a sign allowed (the atoi rule, clamped to int).
int ReadInt(const TXmlNode* element, const char* name, int fallback);
// The strtoul rule with base 0 ("0x" hexadecimal, a leading "0" octal), in 32 bits as the
// files were written for: too large gives the largest value, a minus sign negates modulo 2^32.
uint32_t ReadUnsigned(const TXmlNode* element, const char* name, uint32_t fallback);
// The atof rule.
float ReadFloat(const TXmlNode* element, const char* name, float fallback);
// The integer rule, non-zero is true.
bool ReadBool(const TXmlNode* element, const char* name, bool fallback);
// Bit 2 for a "V", bit 1 for an "H", in either case.
uint32_t ParseFlip(const char* text);
// "add" 2, else "sub" 3, else "mul" 4, in any case; else 0.
int ParseBlend(const char* text);
// "old" 0, "delta_left" 1, "left" 2, "center" 3; anything else 4 (not set).
int ParseCentering(const char* text);
// The word of a mode; "" for not set.
const char* CenteringName(int mode);

// Every maximal run of digits, "." and "-" is one number read with atof from its start.
std::vector<float> ParseNumberList(const char* text);

// A state's frame list over `frameCount` frames: numbers and ranges a..b, ..b, a.. and "..";
// empty text gives every frame. A number outside the frames stops the reading; a range's end is
// taken as written.
std::vector<int> ParseFrameList(const char* text, int frameCount);
// The frame list as text that reads back to it: runs of three or more ascending frames folded to
// first..last; "" for every frame in order (or for one frame); an empty list as a number that
// stops the reading at once.
str FormatFrameList(const std::vector<int>& frames, int frameCount);

} // namespace gvxml
