// The transform record: combining, differences (which children add to follow a parent), copies,
// the changed mark, and its nine attributes.

#include "engine/core/xml.h"
#include "game/visual/GVData.h"

#include <gtest/gtest.h>

#include <string>

namespace gvdata_test {
namespace {

struct TValues {
    float deltaX = 0.0f;
    float alpha = 1.0f;
    int visible = 1;
    uint32_t flip = 0;
    int blend = 0;
    float scaling = 1.0f;
    float deltaY = 0.0f;
    float deltaZ = 0.0f;
    float rotate = 0.0f;
};

void Fill(GVData& data, const TValues& values) {
    data.mDeltaX = values.deltaX;
    data.mDeltaY = values.deltaY;
    data.mDeltaZ = values.deltaZ;
    data.mAlpha = values.alpha;
    data.mVisible = static_cast<uint8_t>(values.visible);
    data.mFlip = values.flip;
    data.mBlend = values.blend;
    data.mScaling = values.scaling;
    data.mRotate = values.rotate;
}

void ExpectValues(const GVData& data, const TValues& values, const std::string& what) {
    EXPECT_FLOAT_EQ(data.mDeltaX, values.deltaX) << what;
    EXPECT_FLOAT_EQ(data.mDeltaY, values.deltaY) << what;
    EXPECT_FLOAT_EQ(data.mDeltaZ, values.deltaZ) << what;
    EXPECT_FLOAT_EQ(data.mAlpha, values.alpha) << what;
    EXPECT_EQ(data.mVisible, values.visible) << what;
    EXPECT_EQ(data.mFlip, values.flip) << what;
    EXPECT_EQ(data.mBlend, values.blend) << what;
    EXPECT_FLOAT_EQ(data.mScaling, values.scaling) << what;
    EXPECT_FLOAT_EQ(data.mRotate, values.rotate) << what;
}

struct TCase {
    const char* name;
    TValues self;
    TValues other;
    TValues result;
};

TEST(GVDataTest, CombineAddsMultipliesAveragesAndKeepsItsBlendAgainstNormal) {
    const TCase cases[] = {
        {"offsets add, alpha and scaling multiply, flips xor, visible averages",
         {.deltaX = 3, .alpha = 0.5f, .visible = 1, .flip = 1, .scaling = 2},
         {.deltaX = 4, .alpha = 0.5f, .visible = 0, .flip = 3, .scaling = 1.5f},
         {.deltaX = 7, .alpha = 0.25f, .visible = 0, .flip = 2, .scaling = 3}},
        {"offsets, depth and rotation add",
         {.deltaX = -1, .deltaY = 2, .deltaZ = 3, .rotate = 0.5f},
         {.deltaX = 1, .deltaY = 5, .deltaZ = -4, .rotate = 0.25f},
         {.deltaX = 0, .deltaY = 7, .deltaZ = -1, .rotate = 0.75f}},
        {"visible 0 and a difference of 2 give 1", {.visible = 0}, {.visible = 2}, {.visible = 1}},
        {"a normal blend keeps ours", {.blend = 2}, {.blend = 0}, {.blend = 2}},
        {"another blend replaces ours", {.blend = 2}, {.blend = 4}, {.blend = 4}},
        {"a blend onto normal", {.blend = 0}, {.blend = 3}, {.blend = 3}},
    };
    for (const TCase& c : cases) {
        GVData self;
        GVData other;
        Fill(self, c.self);
        Fill(other, c.other);
        self.Combine(other);
        ExpectValues(self, c.result, c.name);
        EXPECT_TRUE(self.IsChanged()) << c.name;
        EXPECT_FALSE(other.IsChanged()) << c.name;
    }
}

TEST(GVDataTest, DifferenceIsWhatAChildAddsToFollow) {
    const TCase cases[] = {
        {"offsets subtract, alpha and scaling divide",
         {.deltaX = 10, .alpha = 0.5f, .scaling = 3, .deltaY = -2, .deltaZ = 1, .rotate = 1},
         {.deltaX = 4, .alpha = 0.25f, .scaling = 1.5f, .deltaY = 3, .deltaZ = 1, .rotate = 0.5f},
         {.deltaX = 6, .alpha = 2, .scaling = 2, .deltaY = -5, .deltaZ = 0, .rotate = 0.5f}},
        {"alpha against 0 gives 1", {.alpha = 0.5f}, {.alpha = 0}, {.alpha = 1}},
        {"scaling against 0 gives 1", {.scaling = 2}, {.scaling = 0}, {.scaling = 1}},
        {"visible 1 against 0 gives 2", {.visible = 1}, {.visible = 0}, {.visible = 2}},
        {"visible 0 against 1 gives 0", {.visible = 0}, {.visible = 1}, {.visible = 0}},
        {"equal visibles give themselves", {.visible = 0}, {.visible = 0}, {.visible = 0}},
        {"an unchanged mirror gives no flip", {.flip = 1}, {.flip = 1}, {.flip = 0}},
        {"only the changed flip bits", {.flip = 3}, {.flip = 1}, {.flip = 2}},
        {"an unchanged blend gives normal", {.blend = 2}, {.blend = 2}, {.blend = 0}},
        {"a changed blend gives the new one", {.blend = 2}, {.blend = 0}, {.blend = 2}},
        {"back to normal gives normal", {.blend = 0}, {.blend = 3}, {.blend = 0}},
    };
    for (const TCase& c : cases) {
        GVData self;
        GVData other;
        GVData out;
        Fill(self, c.self);
        Fill(other, c.other);
        self.Difference(other, out);
        ExpectValues(out, c.result, c.name);
        EXPECT_FALSE(self.IsChanged()) << c.name << ": the receiver is not changed";
        EXPECT_TRUE(out.IsChanged()) << c.name;
    }
}

TEST(GVDataTest, AChildThatAddsTheDifferenceFollowsItsParent) {
    // A child that started equal to its parent's old base ends equal to its new base.
    GVData before;
    GVData after;
    Fill(before, {.deltaX = 2, .alpha = 0.5f, .visible = 1, .flip = 1, .scaling = 2});
    Fill(after, {.deltaX = -3, .alpha = 0.25f, .visible = 1, .flip = 2, .scaling = 3});
    GVData change;
    after.Difference(before, change);
    GVData child;
    child.Assign(before);
    child.Combine(change);
    ExpectValues(child, {.deltaX = -3, .alpha = 0.25f, .visible = 1, .flip = 2, .scaling = 3},
                 "followed");
}

TEST(GVDataTest, AssignCopyToAndTheChangedMark) {
    GVData source;
    Fill(source, {.deltaX = 1,
                  .alpha = 0.5f,
                  .visible = 0,
                  .flip = 2,
                  .blend = 3,
                  .scaling = 4,
                  .deltaY = 2,
                  .deltaZ = 3,
                  .rotate = 0.5f});
    EXPECT_FALSE(source.IsChanged()) << "writing fields directly does not mark";
    source.MarkChanged();
    EXPECT_TRUE(source.IsChanged());
    source.ClearChanged();
    EXPECT_FALSE(source.IsChanged());

    GVData target;
    EXPECT_EQ(source.CopyTo(&target), &target);
    ExpectValues(target,
                 {.deltaX = 1,
                  .alpha = 0.5f,
                  .visible = 0,
                  .flip = 2,
                  .blend = 3,
                  .scaling = 4,
                  .deltaY = 2,
                  .deltaZ = 3,
                  .rotate = 0.5f},
                 "copied");
    EXPECT_TRUE(target.IsChanged());

    GVData state(GVBase::kState);
    EXPECT_EQ(source.CopyTo(&state), nullptr) << "another type code";
    EXPECT_EQ(source.CopyTo(nullptr), nullptr);
    EXPECT_FLOAT_EQ(state.mDeltaX, 0.0f);
}

struct TAttributeCase {
    const char* element;
    TValues values;
};

TEST(GVDataTest, LoadReadsTheNineAttributes) {
    const TAttributeCase cases[] = {
        {"<obj/>", {}},
        {R"(<obj deltaX="1.5" deltaY="-2" deltaZ="3e1" alpha="0.25" scaling="2" rotate="1"/>)",
         {.deltaX = 1.5f, .alpha = 0.25f, .scaling = 2, .deltaY = -2, .deltaZ = 30, .rotate = 1}},
        {R"(<obj alpha="" scaling="" visible=""/>)", {}},
        {R"(<obj deltaX="12px"/>)", {.deltaX = 12}},
        {R"(<obj visible="0"/>)", {.visible = 0}},
        {R"(<obj visible="2"/>)", {.visible = 1}},
        {R"(<obj visible="no"/>)", {.visible = 0}},
        {R"(<obj flip="hv"/>)", {.flip = 3}},
        {R"(<obj flip="H"/>)", {.flip = 1}},
        {R"(<obj flip="v"/>)", {.flip = 2}},
        {R"(<obj flip="x"/>)", {.flip = 0}},
        {R"(<obj blend="Additive"/>)", {.blend = 2}},
        {R"(<obj blend="SUB"/>)", {.blend = 3}},
        {R"(<obj blend="multiply"/>)", {.blend = 4}},
        {R"(<obj blend="subadd"/>)", {.blend = 2}},
        {R"(<obj blend="normal"/>)", {.blend = 0}},
    };
    for (const TAttributeCase& c : cases) {
        TXmlNode document;
        ASSERT_TRUE(document.Parse(c.element)) << c.element;
        GVData data;
        Fill(data, {.deltaX = 9, .alpha = 9, .visible = 0, .flip = 1, .blend = 4, .scaling = 9});
        EXPECT_TRUE(data.Load(document.FindChild("obj"), nullptr)) << c.element;
        ExpectValues(data, c.values, c.element);
        EXPECT_TRUE(data.IsChanged()) << c.element;
    }
    GVData data;
    EXPECT_FALSE(data.Load(nullptr, nullptr));
}

TEST(GVDataTest, SaveWritesDefaultsEmptyAndReadsBack) {
    GVData data;
    TXmlNode element("obj");
    ASSERT_TRUE(data.Save(&element));
    for (const char* name :
         {"deltaX", "deltaY", "deltaZ", "visible", "alpha", "flip", "blend", "rotate", "scaling"}) {
        EXPECT_STREQ(element.GetAttribute(name).CStr() ? element.GetAttribute(name).CStr() : "", "")
            << name;
    }

    Fill(data, {.deltaX = 1.5f,
                .alpha = 0.5f,
                .visible = 0,
                .flip = 3,
                .blend = 3,
                .scaling = 2,
                .deltaY = -4,
                .deltaZ = 0,
                .rotate = 0.25f});
    TXmlNode written("obj");
    ASSERT_TRUE(data.Save(&written));
    const std::pair<const char*, const char*> expected[] = {
        {"deltaX", "1.500000"}, {"deltaY", "-4.000000"}, {"deltaZ", ""},
        {"visible", "0"},       {"alpha", "0.500000"},   {"flip", "VH"},
        {"blend", "sub"},       {"rotate", "0.250000"},  {"scaling", "2.000000"},
    };
    for (const auto& [name, text] : expected) {
        const str value = written.GetAttribute(name);
        EXPECT_STREQ(value.CStr() != nullptr ? value.CStr() : "", text) << name;
    }
    const std::pair<uint32_t, const char*> flips[] = {{1, "H"}, {2, "V"}};
    for (const auto& [flip, text] : flips) {
        data.mFlip = flip;
        ASSERT_TRUE(data.Save(&written));
        EXPECT_STREQ(written.GetAttribute("flip").CStr(), text);
    }
    const std::pair<int32_t, const char*> blends[] = {{2, "add"}, {4, "mul"}};
    for (const auto& [blend, text] : blends) {
        data.mBlend = blend;
        ASSERT_TRUE(data.Save(&written));
        EXPECT_STREQ(written.GetAttribute("blend").CStr(), text);
    }

    GVData read;
    ASSERT_TRUE(read.Load(&written, nullptr));
    ExpectValues(read,
                 {.deltaX = 1.5f,
                  .alpha = 0.5f,
                  .visible = 0,
                  .flip = 2,
                  .blend = 4,
                  .scaling = 2,
                  .deltaY = -4,
                  .rotate = 0.25f},
                 "read back");
    EXPECT_FALSE(data.Save(nullptr));
}

} // namespace
} // namespace gvdata_test
