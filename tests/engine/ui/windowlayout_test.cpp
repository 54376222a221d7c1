// Placing windows from their definitions: position and size codes, "align", the two passes of
// Init and PostCreate, and values no layout expects.

#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "engine/ui/window.h"
#include "engine/ui/windowstyle.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

namespace window_layout_test {
namespace {

class TWindowLayoutTest : public ::testing::Test {
protected:
    TWindowLayoutTest() { mParent.SetSize(800, 600); }

    // The style over the table the Lua expression gives.
    TWindowStyle& Style(const std::string& table) {
        mScript.DoLuaString(("def = " + table).c_str());
        lua_State* state = mScript.GetState();
        lua_pushstring(state, "def");
        lua_gettable(state, LUA_GLOBALSINDEX);
        mDefinition = std::make_unique<TLuaTable>(state);
        mStyle = std::make_unique<TWindowStyle>(mScript, *mDefinition);
        return *mStyle;
    }

    TWindow* NewChild() {
        auto* child = new TWindow;
        mParent.AddChild(child, false);
        return child;
    }

    TScript mScript;
    std::unique_ptr<TLuaTable> mDefinition;
    std::unique_ptr<TWindowStyle> mStyle;
    TWindow mParent;
};

TEST_F(TWindowLayoutTest, PositionAndSizeCodes) {
    struct TCase {
        const char* definition;
        TRect expected;
    };
    // The parent is 800 x 600.
    const TCase cases[] = {
        {"{x = 10, y = 20, w = 30, h = 40}", {10, 20, 40, 60}},
        {"{x = 80000, w = 100, h = 10}", {350, 0, 450, 10}},
        {"{x = 159990, w = 100, h = 10}", {790, 0, 890, 10}},
        {"{x = 159990, w = 100, h = 10, align = 2}", {690, 0, 790, 10}},
        {"{x = -10, w = 100, h = 10}", {790, 0, 890, 10}},
        {"{x = -10, w = 100, h = 10, align = 0}", {-10, 0, 90, 10}},
        {"{x = 100, w = -50, h = 10}", {50, 0, 100, 10}},
        {"{x = 0, w = 160000, h = 10}", {0, 0, 800, 10}},
        {"{x = 80010, w = 160000, h = 10}", {20, 0, 800, 10}},
        {"{x = 79990, w = 160000, h = 10}", {0, 0, 780, 10}},
        {"{x = 20, w = 159980, h = 10}", {20, 0, 780, 10}},
        {"{x = 100, w = 50, h = 10, align = 1}", {75, 0, 125, 10}},
        {"{x = 80000, w = 50, h = 10, align = 1}", {375, 0, 425, 10}},
        {"{y = 80000, h = 100, w = 10}", {0, 250, 10, 350}},
        {"{y = 159990, h = 20, w = 10, align = 8}", {0, 570, 10, 590}},
        {"{y = 300, h = 20, w = 10, align = 4}", {0, 290, 10, 310}},
        {"{x = '12', y = {}, w = '30', h = 5}", {12, 0, 42, 5}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.definition);
        TWindow* child = NewChild();
        child->ReadLayout(Style(c.definition));
        const TRect& rect = child->GetRect();
        EXPECT_EQ(rect.left, c.expected.left);
        EXPECT_EQ(rect.top, c.expected.top);
        EXPECT_EQ(rect.right, c.expected.right);
        EXPECT_EQ(rect.bottom, c.expected.bottom);
    }
}

TEST_F(TWindowLayoutTest, RelativeValuesWithoutSizeLeaveTheWindowUntouched) {
    const char* definitions[] = {
        "{x = 80000, w = 0, h = 10}",
        "{x = -5, h = 10}",
        "{y = 40001, w = 10}",
    };
    for (const char* definition : definitions) {
        SCOPED_TRACE(definition);
        TWindow* child = NewChild();
        child->ReadLayout(Style(definition));
        EXPECT_EQ(child->GetRect().left, 0);
        EXPECT_EQ(child->GetWidth(), 0);
        EXPECT_EQ(child->GetHeight(), 0);
    }
    // A relative layout in a parent without size waits too; plain pixels do not.
    TWindow empty;
    auto* child = new TWindow;
    empty.AddChild(child, false);
    child->ReadLayout(Style("{x = 80000, w = 100, h = 10}"));
    EXPECT_EQ(child->GetWidth(), 0);
    child->ReadLayout(Style("{x = 5, w = 100, h = 10}"));
    EXPECT_EQ(child->GetRect().left, 5);
    EXPECT_EQ(child->GetWidth(), 100);
}

TEST_F(TWindowLayoutTest, WithoutParentOnlyAlignmentApplies) {
    TWindow window;
    window.ReadLayout(Style("{x = 100, w = 50, h = 10, align = 2}"));
    EXPECT_EQ(window.GetRect().left, 50);
    TWindow centred;
    centred.ReadLayout(Style("{x = 80000, w = 50, h = 10}"));
    EXPECT_EQ(centred.GetRect().left, 80000) << "nothing to centre in";
}

TEST_F(TWindowLayoutTest, InitThenPostCreatePlaceWhatTheFirstPassCouldNot) {
    TWindow* dialog = NewChild();
    TWindowStyle& style = Style("{name = 'dialog', x = 80000, y = 80000, fit = true}");
    dialog->Init(style);
    EXPECT_EQ(dialog->GetName(), str("dialog"));
    EXPECT_EQ(dialog->GetWidth(), 0) << "centred without a size: not placed yet";

    auto* content = new TWindow;
    dialog->AddChild(content, false);
    content->MoveTo(10, 10);
    content->SetSize(190, 90);
    dialog->PostCreate(style);
    const TRect& rect = dialog->GetRect();
    EXPECT_EQ(rect.left, 300);
    EXPECT_EQ(rect.top, 250);
    EXPECT_EQ(dialog->GetWidth(), 200);
    EXPECT_EQ(dialog->GetHeight(), 100);

    // A window that already has a position keeps it when the layout runs again.
    TWindow* placed = NewChild();
    placed->MoveTo(15, 0);
    placed->PostCreate(Style("{x = 80000, w = 100, h = 10}"));
    EXPECT_EQ(placed->GetRect().left, 15);
    EXPECT_EQ(placed->GetWidth(), 100);

    // Without "fit" the children do not size the window.
    TWindow* unfitted = NewChild();
    auto* inner = new TWindow;
    unfitted->AddChild(inner, false);
    inner->SetSize(50, 50);
    unfitted->PostCreate(Style("{}"));
    EXPECT_EQ(unfitted->GetWidth(), 0);
}

TEST_F(TWindowLayoutTest, HugeAndNanValuesGiveADefinedPlacement) {
    struct TCase {
        const char* definition;
        TRect expected;
    };
    // Numbers the int range cannot hold read as INT_MIN; the arithmetic saturates.
    const int far = 800 + INT_MIN;
    const TCase cases[] = {
        {"{x = 1e300, w = 100, h = 10}", {far, 0, far + 100, 10}},
        {"{x = 0/0, w = 100, h = 10}", {far, 0, far + 100, 10}},
        {"{x = 10, w = 1e300, h = 10}", {10, 0, INT_MAX, 10}},
        {"{x = -1e300, w = -1e300, h = 10}", {INT_MIN, 0, INT_MIN + INT_MAX, 10}},
        // A far-edge position with a relative size: the size comes out negative.
        {"{x = 2147483647, w = 2147483647, h = 10}", {INT_MAX, 0, 800, 10}},
        {"{x = 2147483647, w = 100, h = 10, align = 1}",
         {INT_MAX - 159250, 0, INT_MAX - 159150, 10}},
        {"{x = 10, w = 100, h = 10, align = 0/0}", {10, 0, 110, 10}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.definition);
        TWindow* child = NewChild();
        child->ReadLayout(Style(c.definition));
        const TRect& rect = child->GetRect();
        EXPECT_EQ(rect.left, c.expected.left);
        EXPECT_EQ(rect.top, c.expected.top);
        EXPECT_EQ(rect.right, c.expected.right);
        EXPECT_EQ(rect.bottom, c.expected.bottom);
    }
}

} // namespace
} // namespace window_layout_test
