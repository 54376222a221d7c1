// How visual-object files read: the value rules, number lists, state frame lists and their
// written form, and the frame list reader's numbering.

#include "engine/core/xml.h"
#include "game/visual/GVFrames.h"
#include "game/visual/GVXmlValues.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace gvxmlvalues_test {
namespace {

// An element with one attribute; a null value leaves it absent.
std::unique_ptr<TXmlNode> Element(const char* name, const char* value) {
    auto element = std::make_unique<TXmlNode>("e");
    if (value != nullptr) {
        element->SetAttribute(name, value);
    }
    return element;
}

std::vector<int> Edges(const TRect& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

TEST(GVXmlValuesTest, LettersAndWords) {
    struct Case {
        const char* text;
        uint32_t flip;
        int blend;
    };
    const Case cases[] = {
        {"hv", 3, 0},   {"V", 2, 0},        {"h", 1, 0},        {"", 0, 0},
        {"xyz", 0, 0},  {"Additive", 2, 2}, {"SUB", 0, 3},      {"mul", 0, 4},
        {"vadd", 2, 2}, {"subadd", 0, 2},   {"multiply", 0, 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gvxml::ParseFlip(c.text), c.flip) << c.text;
        EXPECT_EQ(gvxml::ParseBlend(c.text), c.blend) << c.text;
    }
    EXPECT_EQ(gvxml::ParseCentering("old"), 0);
    EXPECT_EQ(gvxml::ParseCentering("delta_left"), 1);
    EXPECT_EQ(gvxml::ParseCentering("left"), 2);
    EXPECT_EQ(gvxml::ParseCentering("center"), 3);
    EXPECT_EQ(gvxml::ParseCentering("Center"), 4);
    EXPECT_EQ(gvxml::ParseCentering(""), 4);
}

TEST(GVXmlValuesTest, NumbersFollowTheirRulesAndAbsentOrEmptyGiveTheDefault) {
    struct Case {
        const char* text; // null: absent
        int integer;
        uint32_t unsignedValue;
        float real;
        bool boolean;
    };
    const Case cases[] = {
        {nullptr, 7, 30, 1.5f, true},
        {"", 7, 30, 1.5f, true},
        {" 12abc", 12, 12, 12.0f, true},
        {"0x10", 0, 16, 16.0f, false}, // atof reads hexadecimal too
        {"010", 10, 8, 10.0f, true},
        {"-3", -3, 0xFFFFFFFDu, -3.0f, true},
        {"0", 0, 0, 0.0f, false},
        {"abc", 0, 0, 0.0f, false},
        {"2.75", 2, 2, 2.75f, true},
        {"99999999999", 2147483647, 0xFFFFFFFFu, 99999999999.0f, true},
    };
    for (const Case& c : cases) {
        const auto element = Element("a", c.text);
        const char* label = c.text != nullptr ? c.text : "(absent)";
        EXPECT_EQ(gvxml::ReadInt(element.get(), "a", 7), c.integer) << label;
        EXPECT_EQ(gvxml::ReadUnsigned(element.get(), "a", 30), c.unsignedValue) << label;
        EXPECT_FLOAT_EQ(gvxml::ReadFloat(element.get(), "a", 1.5f), c.real) << label;
        EXPECT_EQ(gvxml::ReadBool(element.get(), "a", true), c.boolean) << label;
    }
}

TEST(GVXmlValuesTest, NumberListsSplitOnEveryOtherCharacter) {
    struct Case {
        const char* text;
        std::vector<float> numbers;
    };
    const Case cases[] = {
        {"1 , 0.5,2", {1.0f, 0.5f, 2.0f}}, {"1-2", {1.0f}}, {"", {}},
        {"-1;x-.5", {-1.0f, -0.5f}},       {"--", {0.0f}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gvxml::ParseNumberList(c.text), c.numbers) << c.text;
    }
}

TEST(GVXmlValuesTest, FrameLists) {
    struct Case {
        const char* text;
        int frames;
        std::vector<int> list;
    };
    const Case cases[] = {
        {"", 8, {0, 1, 2, 3, 4, 5, 6, 7}},
        {"2..5", 8, {2, 3, 4, 5}},
        {"3..", 8, {3, 4, 5, 6, 7}},
        {"..2", 8, {0, 1, 2}},
        {"..", 8, {0, 1, 2, 3, 4, 5, 6, 7}},
        {"1,5,1", 8, {1, 5, 1}},
        {"5..2", 8, {5}},
        {"9,1", 8, {}},
        {"1,9,2", 8, {1}},
        {"0 1;2", 8, {0, 1, 2}},
        {"2..50", 10, {2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,
                       19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35,
                       36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50}},
        {"..", 0, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gvxml::ParseFrameList(c.text, c.frames), c.list) << c.text;
    }
    // A range end of two billion is taken as written up to the list's bound.
    EXPECT_EQ(gvxml::ParseFrameList("0..2000000000", 4).size(),
              static_cast<size_t>(gvxml::kMaxFrameListLength));
}

TEST(GVXmlValuesTest, WrittenFrameListsFoldRunsAndReadBackTheSame) {
    struct Case {
        std::vector<int> list;
        int frames;
        const char* text;
    };
    const Case cases[] = {
        {{0, 1, 2, 3}, 4, ""},   {{0}, 1, ""},       {{2, 3, 4, 5}, 8, "2..5"},
        {{1, 5, 1}, 8, "1,5,1"}, {{3, 4}, 8, "3,4"}, {{0, 1, 2, 7, 6, 5}, 8, "0..2,7,6,5"},
        {{7, 8}, 8, "7..8"},     {{}, 8, "8"},
    };
    for (const Case& c : cases) {
        const str text = gvxml::FormatFrameList(c.list, c.frames);
        EXPECT_STREQ(gvxml::Chars(text), c.text);
        EXPECT_EQ(gvxml::ParseFrameList(gvxml::Chars(text), c.frames), c.list) << c.text;
    }
}

TEST(GVXmlValuesTest, ZeroFramesAreDroppedAndReversedOnesKeepTheirNumbers) {
    TXmlNode list("framelist");
    const char* sizes[][2] = {{"4", "4"}, {"0", "0"}, {"-3", "5"}, {"2", "-1"}, {"5", "6"}};
    for (const auto& size : sizes) {
        TXmlNode* frame = list.AddChild("frame");
        frame->SetAttribute("w", size[0]);
        frame->SetAttribute("h", size[1]);
        frame->SetAttribute("x", "1");
    }
    list.AddChild("other");
    GVFrames frames;
    ASSERT_TRUE(frames.Load(&list, nullptr));
    ASSERT_EQ(frames.Count(), 4);
    EXPECT_FALSE(frames.At(0)->mEmpty);
    EXPECT_EQ(Edges(frames.At(0)->mRect), (std::vector<int>{1, 0, 5, 4}));
    for (int i = 1; i <= 2; ++i) {
        EXPECT_TRUE(frames.At(i)->mEmpty) << i;
        EXPECT_EQ(Edges(frames.At(i)->mRect), (std::vector<int>{0, 0, 0, 0})) << i;
        EXPECT_EQ(frames.At(i)->mNumber, i);
    }
    EXPECT_FALSE(frames.At(3)->mEmpty);
    EXPECT_EQ(Edges(frames.At(3)->mRect), (std::vector<int>{1, 0, 6, 6}));
    EXPECT_EQ(frames.At(3)->mNumber, 3);

    // Only left-out frames: the list counts as empty.
    TXmlNode empty("framelist");
    empty.AddChild("frame");
    GVFrames none;
    EXPECT_FALSE(none.Load(&empty, nullptr));
}

} // namespace
} // namespace gvxmlvalues_test
