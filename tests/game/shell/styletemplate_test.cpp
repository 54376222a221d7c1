// Names made from style templates: only a template with exactly one integer conversion (and any
// "%%") makes names; everything else a script may write makes none.

#include "game/shell/StyleTemplate.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(StyleTemplateTest, OnlyOneIntegerConversionMakesANameFromTheNumber) {
    struct TCase {
        std::string format;
        int number;
        const char* name;
    };
    const TCase cases[] = {
        {"FlyEmitter_%d", 3, "FlyEmitter_3"},
        {"label%i_%%", 12, "label12_%"},
        {"%03d", 7, "007"},
        {"%-4d|", 5, "5   |"},
        {"%x", 255, "ff"},
        {"a%.2u", 4, "a04"},
        {"100%%_%d", -1, "100%_-1"},
        // Refused: no conversion, two, non-integer ones, a dangling "%", long widths, a nul.
        {"FlyEmitter", 1, ""},
        {"%d_%d", 1, ""},
        {"%s", 1, ""},
        {"%n", 1, ""},
        {"%f", 1, ""},
        {"%ld", 1, ""},
        {"%*d", 1, ""},
        {"name_%", 1, ""},
        {"%d%", 1, ""},
        {"%100d", 1, ""},
        {"%.999d", 1, ""},
        {std::string("%d\0x", 4), 1, ""},
    };
    for (const TCase& c : cases) {
        const str name = FormatNameTemplate(c.format, c.number);
        EXPECT_EQ(std::string(name.CStr() != nullptr ? name.CStr() : ""), c.name) << c.format;
        EXPECT_EQ(IsNameTemplate(c.format), *c.name != '\0') << c.format;
    }
}

} // namespace
