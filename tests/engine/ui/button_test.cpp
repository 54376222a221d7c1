// Layered windows and buttons: the layers a button shows in each state, driven by synthetic mouse
// events through the window manager; the messages a click posts; masks; radio groups; actions;
// and the buttons drawn in each visual state on the headless software renderer.

#include "engine/ui/button.h"
#include "engine/ui/image.h"
#include "engine/ui/layeredwindow.h"
#include "tests/engine/ui/widget_fixture.h"
#include "tests/fixtures/golden.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

namespace button_test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using widget_test::MakeEvent;
using widget_test::PatternPng;
using widget_test::TBytes;
using widget_test::Text;
using widget_test::TWidgetTest;

constexpr uint32_t kColors[4] = {0xC00000, 0x00C000, 0x0000C0, 0xC0C0C0};

// The names of the children a layered window shows (enabled), front first.
std::vector<std::string> Shown(const TWindow* window) {
    std::vector<std::string> names;
    for (const TWindow* child : window->GetChildren()) {
        if ((child->GetFlags() & TWindow::kEnabled) != 0) {
            names.push_back(Text(child->GetName()));
        }
    }
    return names;
}

class TButtonTest : public TWidgetTest {
protected:
    void SetUp() override {
        TWidgetTest::SetUp();
        for (int i = 0; i < 4; ++i) {
            const uint32_t color = kColors[i];
            AddFile("gfx/b" + std::to_string(i) + ".png",
                    PatternPng(20, 10, [color](int, int) { return color; }));
        }
        // Dark (below 20 in every colour) on the left half, except a reddish column at x 2.
        AddFile("gfx/mask.png", PatternPng(20, 10, [](int x, int) -> uint32_t {
                    if (x == 2) {
                        return 0x140A0A;
                    }
                    return x < 10 ? 0x131313 : 0xFFFFFF;
                }));
        mDialog = PushDialog("dialog",
                             TRect{0, 0, widget_test::kScreenWidth, widget_test::kScreenHeight});
        ScriptMessages();
    }

    // Mouse events at a point of the window, in screen coordinates.
    void At(int type, const TWindow* window, int x, int y) {
        TPoint point{x, y};
        window->LocalToScreen(point);
        Send(MakeEvent(type, point.x, point.y));
    }

    TModalWindow* mDialog = nullptr;
};

TEST_F(TButtonTest, EachStateShowsItsLayer) {
    struct TCase {
        const char* description;
        // Shown normally, pressed, hovered.
        const char* normal;
        const char* pressed;
        const char* hover;
    };
    const TCase cases[] = {
        {"graphics = { 'gfx/b0.png', 'gfx/b1.png', 'gfx/b2.png' }", "image0", "image1", "image2"},
        {"type = kToggle, on = true, graphics = { 'gfx/b0.png', 'gfx/b1.png', 'gfx/b2.png', "
         "'gfx/b3.png' }",
         "image1", "image0", "image3"},
        {"type = kToggle, graphics = { 'gfx/b0.png', 'gfx/b1.png', 'gfx/b2.png', 'gfx/b3.png' }",
         "image0", "image1", "image2"},
        {"graphics = { 'gfx/b0.png' }", "image0", "image0", "image0"},
        {"graphics = { 'gfx/b0.png', '', 'gfx/b2.png' }", "image0", "image0", "image2"},
    };
    Run("kToggle = 1 kRadio = 2");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.description);
        Build(std::string("Button{ name = 'b', x = 10, y = 10, ") + c.description + " }");
        auto* button = Find<TButton>("b");
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->GetWidth(), 20);
        EXPECT_EQ(button->GetHeight(), 10);
        EXPECT_THAT(Shown(button), ElementsAre(c.normal));
        At(kEventMouseMove, button, 5, 5);
        EXPECT_EQ(button->GetState(), TButton::kHover);
        EXPECT_THAT(Shown(button), ElementsAre(c.hover));
        At(kEventLeftDown, button, 5, 5);
        EXPECT_EQ(button->GetState(), TButton::kPressed);
        EXPECT_THAT(Shown(button), ElementsAre(c.pressed));
        // Back to normal once the mouse leaves.
        At(kEventMouseMove, button, 50, 50);
        EXPECT_EQ(button->GetState(), TButton::kNormal);
        EXPECT_THAT(Shown(button), ElementsAre(c.normal));
        EXPECT_FALSE(Manager()->IsTracking(button));
        At(kEventLeftUp, button, 50, 50);
        mDialog->RemoveChild(button);
        delete button;
    }
}

TEST_F(TButtonTest, AnEmptyFirstGraphicAddsNoChild) {
    Build("Button{ name = 'b', graphics = { '', 'gfx/b1.png', '', 7, {} } }");
    auto* button = Find<TButton>("b");
    ASSERT_NE(button, nullptr);
    ASSERT_EQ(button->GetChildren().size(), 1u);
    EXPECT_EQ(Text(button->GetChildren().front()->GetName()), "image1");
    EXPECT_THAT(button->GetLayer(0), IsEmpty());
    EXPECT_EQ(button->GetLayer(1).size(), 1u);
    EXPECT_EQ(button->GetLayer(2).size(), 1u) << "the empty entry repeats image1";
    EXPECT_EQ(button->GetCurrentLayer(), 0);
}

TEST_F(TButtonTest, ALabelGoesIntoEveryLayer) {
    Build("Button{ name = 'b', graphics = { 'gfx/b0.png', 'gfx/b1.png', 'gfx/b2.png' }, "
          "Text{ name = 'label', w = 20, h = 10, label = 'ok' } }");
    auto* button = Find<TButton>("b");
    ASSERT_NE(button, nullptr);
    for (int layer = 0; layer < 4; ++layer) {
        EXPECT_EQ(Text(button->GetLayer(layer).front()->GetName()), "label") << layer;
    }
    EXPECT_THAT(Shown(button), ElementsAre("label", "image0"));
    EXPECT_EQ(Text(button->GetLabelText()), "ok");
    button->SetLabelText("go");
    EXPECT_EQ(Text(button->GetLabelText()), "go");
    EXPECT_EQ(Text(mDialog->GetLabelText()), "go") << "any descendant named label";
    Build("Window{ name = 'bare' }");
    EXPECT_EQ(Text(Find("bare")->GetLabelText()), "");
}

TEST_F(TButtonTest, SelectLayerShowsOneLayerAndIgnoresBadIndices) {
    auto* layered = new TLayeredWindow(3);
    mDialog->AddChild(layered, true);
    auto* a = new TWindow;
    auto* b = new TWindow;
    auto* all = new TWindow;
    layered->AddChild(a, true);
    layered->SelectLayer(2);
    layered->AddChild(b, true);
    layered->SelectLayer(TLayeredWindow::kAllLayers);
    layered->AddChild(all, true);
    // All layers: new children go everywhere, layer 0 shows.
    EXPECT_TRUE(a->GetFlags() & TWindow::kEnabled);
    EXPECT_FALSE(b->GetFlags() & TWindow::kEnabled);
    layered->SelectLayer(2);
    EXPECT_FALSE(a->GetFlags() & TWindow::kEnabled);
    EXPECT_TRUE(b->GetFlags() & TWindow::kEnabled);
    EXPECT_TRUE(all->GetFlags() & TWindow::kEnabled);
    for (int bad : {3, -2, 1000000}) {
        layered->SelectLayer(bad);
        EXPECT_EQ(layered->GetCurrentLayer(), 2) << bad;
    }
    EXPECT_THAT(LogText(), HasSubstr("TLayeredWindow::SelectLayer: layer 3"));
    layered->RemoveChild(all);
    for (int layer = 0; layer < 3; ++layer) {
        for (const TWindow* child : layered->GetLayer(layer)) {
            EXPECT_NE(child, all);
        }
    }
    delete all;
    // A child added twice to a layer leaves it wholly: showing the layer later touches nothing
    // that is gone.
    layered->AddChild(b, true);
    layered->RemoveChild(b);
    delete b;
    EXPECT_TRUE(layered->GetLayer(2).empty());
    layered->SelectLayer(0);
    layered->SelectLayer(2);
}

TEST_F(TButtonTest, AClickPostsButtonPressToTheParent) {
    Build("Window{ name = 'panel', x = 20, y = 20, w = 100, h = 60, "
          "Button{ name = 'ok', graphics = { 'gfx/b0.png' } } }");
    auto* button = Find<TButton>("ok");
    ASSERT_NE(button, nullptr);
    At(kEventMouseMove, button, 5, 5);
    At(kEventLeftDown, button, 5, 5);
    At(kEventLeftUp, button, 5, 5);
    EXPECT_THAT(ScriptMessages(), ElementsAre("3 ok"));
    EXPECT_EQ(button->GetState(), TButton::kHover);

    // Released outside: nothing.
    At(kEventLeftDown, button, 5, 5);
    At(kEventMouseMove, button, 30, 5);
    At(kEventLeftUp, button, 30, 5);
    EXPECT_THAT(ScriptMessages(), ElementsAre("4 mouse:up")) << "the dialog's, not the button's";
    EXPECT_EQ(button->GetState(), TButton::kNormal);

    // The target is the parent, or with sendToParent the parent of the top modal window.
    EXPECT_FALSE(button->RunCommand());
    ASSERT_EQ(Manager()->GetQueuedMessages().size(), 1u);
    EXPECT_EQ(Manager()->GetQueuedMessages().front()->GetTarget(), Find("panel"));
    Manager()->ProcessMessages();
    button->SetOptions(TButton::kOptionSendToParent);
    button->RunCommand();
    ASSERT_EQ(Manager()->GetQueuedMessages().size(), 1u);
    EXPECT_EQ(Manager()->GetQueuedMessages().front()->GetTarget(), mDialog->GetParent());
}

TEST_F(TButtonTest, ACloseButtonClosesItsDialogFirst) {
    Build("Button{ name = 'done', close = true, w = 20, h = 10 }");
    auto* button = Find<TButton>("done");
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->RunCommand());
    EXPECT_THAT(Queued(), ElementsAre("1 " + Text(mDialog->GetIdText()), "3 done"));
    EXPECT_EQ(Global("gReturnValue"), "done");
    Manager()->ProcessMessages();
    EXPECT_EQ(Manager()->GetTopModal(), Manager()->GetRootWindow());

    // Outside any modal window there is no dialog to close.
    TButton loose;
    loose.SetName("loose");
    loose.SetOptions(TButton::kClose);
    Manager()->ProcessMessages();
    EXPECT_FALSE(loose.RunCommand());
    EXPECT_THAT(Queued(), ElementsAre("3 loose"));
}

TEST_F(TButtonTest, AMaskIgnoresDarkPixels) {
    // Twice the mask's size: window x maps to mask x / 2.
    Build("Button{ name = 'm', x = 10, y = 10, mask = 'gfx/mask.png', scale = 2, "
          "graphics = { 'gfx/b0.png' } }");
    auto* button = Find<TButton>("m");
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->HasHitMask());
    ASSERT_EQ(button->GetWidth(), 40);
    struct TCase {
        int x;
        bool hit;
    };
    const TCase cases[] = {{30, true}, {21, true}, {19, false}, {0, false},
                           {4, true},  {5, true},  {6, false},  {39, true}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(button->IsOutside(TPoint{c.x, 5}), !c.hit);
        At(kEventMouseMove, button, c.x, 5);
        At(kEventLeftDown, button, c.x, 5);
        At(kEventLeftUp, button, c.x, 5);
        EXPECT_EQ(ScriptMessages(),
                  c.hit ? std::vector<std::string>{"3 m"} : std::vector<std::string>{});
        At(kEventMouseMove, button, 100, 100);
    }
    // A window of no width never maps into the mask.
    button->SetSize(0, 10);
    EXPECT_TRUE(button->IsOutside(TPoint{0, 5}));
}

TEST_F(TButtonTest, RadioButtonsTurnOffTheirGroupOnly) {
    Run("kRadio = 2");
    Build("Window{ name = 'panel', w = 160, h = 120,"
          " Button{ name = 'r1', type = kRadio, beginGroup = true, on = true },"
          " Button{ name = 'r2', type = kRadio },"
          " Button{ name = 'r3', type = kRadio, beginGroup = true },"
          " Button{ name = 'r4', type = kRadio, on = true },"
          " Button{ name = 'r5', type = kRadio },"
          " Button{ name = 'r6', type = kRadio, beginGroup = true, on = true } }");
    auto on = [this]() {
        std::string states;
        for (const char* name : {"r1", "r2", "r3", "r4", "r5", "r6"}) {
            states += Find<TButton>(name)->IsToggledOn() ? "1" : "0";
        }
        return states;
    };
    EXPECT_EQ(on(), "100101");
    Find<TButton>("r2")->SetToggleState(true);
    EXPECT_EQ(on(), "010101");
    Find<TButton>("r5")->SetToggleState(true);
    EXPECT_EQ(on(), "010011");
    // A group start turned on turns off the rest of its own group.
    Find<TButton>("r3")->SetToggleState(true);
    EXPECT_EQ(on(), "011001");
    // Pressing a radio button turns it on; pressing it again keeps it on.
    auto* r4 = Find<TButton>("r4");
    EXPECT_TRUE(r4->Press());
    EXPECT_TRUE(r4->Press());
    EXPECT_EQ(on(), "010101");
}

TEST_F(TButtonTest, APressToggles) {
    Run("kToggle = 1");
    Build("Button{ name = 't', type = kToggle, w = 10, h = 10 }");
    auto* button = Find<TButton>("t");
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->Press());
    EXPECT_TRUE(button->IsToggledOn());
    EXPECT_TRUE(button->Press());
    EXPECT_FALSE(button->IsToggledOn());
}

// Runs a function when the button's command runs.
class TTestAction : public TButton::Action {
public:
    explicit TTestAction(std::function<void(TButton*)> run) : mRun(std::move(run)) {}
    void Run(TButton* button) override { mRun(button); }

private:
    std::function<void(TButton*)> mRun;
};

TEST_F(TButtonTest, AnActionThatClosesTheDialogKeepsTheButtonPress) {
    for (bool toParent : {false, true}) {
        SCOPED_TRACE(toParent);
        TModalWindow* dialog = PushDialog("inner", TRect{0, 0, 50, 50});
        Build(std::string("Button{ name = 'quit', w = 10, h = 10, sendToParent = ") +
              (toParent ? "true" : "false") + " }");
        auto* button = Find<TButton>("quit");
        ASSERT_NE(button, nullptr);
        const str id = dialog->GetIdText();
        button->SetAction(new TTestAction([id](TButton*) { GetWindowManager()->DoPopModal(id); }));
        EXPECT_FALSE(button->Press()) << "the button left the tree";
        EXPECT_EQ(Queued(),
                  toParent ? std::vector<std::string>{"3 quit"} : std::vector<std::string>{});
        Manager()->ProcessMessages();
        Send(MakeEvent(kEventIdle));
        ScriptMessages();
    }
    // An action that leaves the button where it is: the press is posted after it ran.
    Build("Button{ name = 'stay', w = 10, h = 10 }");
    auto* stay = Find<TButton>("stay");
    std::vector<std::string> seen;
    stay->SetAction(new TTestAction([&seen](TButton* button) {
        seen.push_back(Text(button->GetName()) + " " + std::to_string(Queued().size()));
    }));
    EXPECT_TRUE(stay->Press());
    EXPECT_THAT(seen, ElementsAre("stay 0"));
    EXPECT_THAT(Queued(), ElementsAre("3 stay"));
}

TEST_F(TButtonTest, ALuaCommandRunsWithItsButtonName) {
    for (const char* name : {"plain", "a]]b", "say \"hi\" \\ ]=] \n end", "]] os.exit() --[["}) {
        SCOPED_TRACE(name);
        auto* button = new TButton;
        button->SetName(name);
        button->SetSize(10, 10);
        mDialog->AddChild(button, true);
        Run("gRan = nil function Command() gRan = GetButtonName() end");
        widget_test::TWidgetTest::Run("gCommandQueue = {}");
        lua_State* state = Script()->GetState();
        lua_pushstring(state, "Command");
        lua_gettable(state, LUA_GLOBALSINDEX);
        button->SetAction(new TButton::LuaAction(new TLuaFunction(state)));
        EXPECT_FALSE(button->RunCommand());
        EXPECT_THAT(ScriptMessages(), ElementsAre(std::string("8 LuaAction:") + name));
        Run("gCommandQueue[1]()");
        EXPECT_EQ(Global("gRan"), name);
        Manager()->ProcessMessages();
        EXPECT_THAT(ScriptMessages(), ElementsAre(std::string("3 ") + name));
        mDialog->RemoveChild(button);
        delete button;
    }
}

TEST_F(TButtonTest, APressedButtonLetsGoWhenTheMouseLeaves) {
    Build("Button{ name = 'b', x = 10, y = 10, graphics = { 'gfx/b0.png', 'gfx/b1.png' } }");
    Build("Window{ name = 'beside', x = 40, y = 10, w = 20, h = 10 }");
    auto* button = Find<TButton>("b");
    At(kEventMouseMove, button, 5, 5);
    At(kEventLeftDown, button, 5, 5);
    ASSERT_TRUE(Manager()->IsTracking(button));
    At(kEventMouseMove, button, 35, 5);
    EXPECT_FALSE(Manager()->IsTracking(button));
    EXPECT_EQ(button->GetState(), TButton::kNormal);
    At(kEventMouseMove, button, 36, 5);
    EXPECT_EQ(button->GetState(), TButton::kNormal) << "no further moves";
    At(kEventLeftUp, button, 36, 5);
    EXPECT_THAT(ScriptMessages(), ElementsAre("4 mouse:up")) << "the dialog's, not the button's";
}

// How often the log says a sound was asked to play: the test platform has no sound manager.
int Plays(const std::string& log) {
    int count = 0;
    for (size_t at = log.find("No Sound Manager"); at != std::string::npos;
         at = log.find("No Sound Manager", at + 1)) {
        ++count;
    }
    return count;
}

TEST_F(TButtonTest, SoundsOfRolloverAndPress) {
    std::ifstream file(testing_fixtures::SourceDir() / "tests/engine/ui/sounds/click.ogg",
                       std::ios::binary);
    AddFile("sfx/press.ogg", TBytes(std::istreambuf_iterator<char>(file), {}));
    AddFile("sfx/over.ogg", mFiles["sfx/press.ogg"]);
    Build("Button{ name = 'b', x = 10, y = 10, w = 20, h = 10, sound = 'sfx/press.ogg', "
          "rolloversound = 'sfx/over.ogg' }");
    Build("Button{ name = 'missing', x = 40, y = 10, w = 20, h = 10, sound = 'sfx/none.ogg' }");
    auto* button = Find<TButton>("b");
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->GetSound(1));
    ASSERT_TRUE(button->GetSound(2));
    EXPECT_FALSE(button->GetSound(0));
    EXPECT_FALSE(Find<TButton>("missing")->GetSound(1));
    EXPECT_THAT(LogText(), HasSubstr("TSound::Get: OGG file not found: sfx/none.ogg"));

    // Entering hover plays the rollover sound; pressing plays nothing until the release, which
    // plays the press sound and, back in hover, the rollover sound.
    At(kEventMouseMove, button, 5, 5);
    EXPECT_EQ(Plays(LogText()), 1);
    At(kEventMouseMove, button, 6, 5);
    At(kEventLeftDown, button, 6, 5);
    EXPECT_EQ(Plays(LogText()), 1);
    At(kEventLeftUp, button, 6, 5);
    EXPECT_EQ(Plays(LogText()), 3);
    At(kEventMouseMove, button, 50, 50);
    EXPECT_EQ(Plays(LogText()), 3) << "slot 0 is empty";
    // States past the three slots play nothing.
    button->SetState(5);
    button->SetState(7);
    EXPECT_EQ(Plays(LogText()), 3);
    button->SetState(TButton::kNormal);
    // A disabled button is silent.
    button->SetFlags(button->GetFlags() & ~TWindow::kEnabled);
    button->SetState(TButton::kHover);
    button->Press();
    EXPECT_EQ(Plays(LogText()), 3);
}

TEST_F(TButtonTest, GoldenEachVisualState) {
    Run("kToggle = 1");
    const char* images = "graphics = { 'gfx/b0.png', 'gfx/b1.png', 'gfx/b2.png', 'gfx/b3.png' }";
    Build(std::string("Button{ name = 'normal', x = 10, y = 10, ") + images + " }");
    Build(std::string("Button{ name = 'pressed', x = 40, y = 10, ") + images + " }");
    Build(std::string("Button{ name = 'hover', x = 70, y = 10, ") + images + " }");
    Build(std::string("Button{ name = 'onhover', x = 100, y = 10, type = kToggle, on = true, ") +
          images + " }");
    Find<TButton>("pressed")->SetState(TButton::kPressed);
    Find<TButton>("hover")->SetState(TButton::kHover);
    Find<TButton>("onhover")->SetState(TButton::kHover);
    const standin::TScreenImage image = DrawFrame();
    auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] & 0xFFFFFFu; };
    EXPECT_EQ(at(15, 15), kColors[0]);
    EXPECT_EQ(at(45, 15), kColors[1]);
    EXPECT_EQ(at(75, 15), kColors[2]);
    EXPECT_EQ(at(105, 15), kColors[3]);
    EXPECT_EQ(at(31, 15), 0u);
    EXPECT_EQ(at(15, 21), 0u);
    testing_fixtures::ExpectGolden(image, "tests/engine/ui/golden/button_states.png");
}

} // namespace
} // namespace button_test
