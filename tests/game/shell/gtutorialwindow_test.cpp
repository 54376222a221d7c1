// The tutorial window on the fixture game screen: the delayed show on the 20 ms tick, a stop step
// over the tutorial modal window (the game control's mouse, Esc on the borrowed pause button, the
// button back in place), the skip button inside or outside and its label, the arrows' placing by
// quadrant, the extra arrows made on first use and removed at closing, and a step without a
// message.

#include "engine/core/tasklist.h"
#include "engine/system/platform.h"
#include "game/shell/GGameCtrl.h"
#include "tests/game/shell/tutorial_fixture.h"

#include <gtest/gtest.h>

namespace tutorial_test {
namespace {

using gamewnd_test::MakeEvent;
using gamewnd_test::Text;

// Notes its presses.
class TPressCount : public TButton::Action {
public:
    explicit TPressCount(int* count) : mCount(count) {}
    void Run(TButton* /*button*/) override { ++*mCount; }

private:
    int* mCount;
};

class TutorialWindowTest : public TTutorialTest {
protected:
    // The screen without tutorials, for the window's own operations.
    void OpenBare() {
        Open("");
        ASSERT_NE(Window(), nullptr);
    }
    // Two passes of the platform's main task list, where the buttons' Lua texts wait.
    static void RunMainTasks() {
        for (int pass = 0; pass < 2; ++pass) {
            TPlatform::GetInstance()->GetTaskList()->Run(0);
        }
    }

    using TPlace = std::pair<int, int>;
    static TPlace Place(const TWindow* window) {
        return {window->GetScreenRect().left, window->GetScreenRect().top};
    }
    static TPlace InWindow(const TWindow* window) {
        return {window->GetRect().left, window->GetRect().top};
    }
    static bool Visible(const TWindow* window) {
        return (window->GetFlags() & TWindow::kEnabled) != 0;
    }
};

TEST_F(TutorialWindowTest, AStepShowsOnTheFirstTickAfterItsDelay) {
    OpenBare();
    for (int delay : {0, 100}) {
        ASSERT_TRUE(Windows().OpenWindow("tw", false, 0, 0, 0, delay));
        EXPECT_EQ(Windows().GetCurrentWindow(), Window());
        EXPECT_EQ(Place(Window()), (TPlace{300, 250})) << "centred on the 800 x 600 screen";
        EXPECT_FALSE(Visible(Window()));
        Tick(10);
        EXPECT_FALSE(Visible(Window())) << "no tick yet";
        Tick(10);
        int ticks = 1;
        while (!Visible(Window()) && ticks < 10) {
            Tick(GTutorialWindow::kAnimationMs);
            ++ticks;
        }
        EXPECT_EQ(ticks, delay / GTutorialWindow::kAnimationMs + 1) << "delay " << delay;
        EXPECT_EQ(Window()->GetShowTime(), 0u);
        Windows().CloseWindow();
        EXPECT_FALSE(Visible(Window()));
        EXPECT_EQ(Windows().GetCurrentWindow(), nullptr);
    }
    EXPECT_FALSE(Windows().OpenWindow("nothing", false, 0, 0, 0, 0));
}

TEST_F(TutorialWindowTest, APositionMovesTheCentredWindowUnlessOnlyOtherBitsAreSet) {
    OpenBare();
    ASSERT_TRUE(Windows().OpenWindow("tw", false, 5, -7, 0, 0));
    EXPECT_EQ(Place(Window()), (TPlace{305, 243}));
    ASSERT_TRUE(Windows().OpenWindow("tw", false, 5, -7, 1, 0));
    EXPECT_EQ(Place(Window()), (TPlace{305, 243}));
    ASSERT_TRUE(Windows().OpenWindow("tw", false, 5, -7, 2, 0));
    EXPECT_EQ(Place(Window()), (TPlace{300, 250}));
    Windows().CloseWindow();
}

TEST_F(TutorialWindowTest, AStopStepPassesTheMouseToTheGameAndEscToThePauseButton) {
    OpenBare();
    TButton* pause = Find<TButton>("pause");
    ASSERT_NE(pause, nullptr);
    TWindow* pauseParent = pause->GetParent();
    int presses = 0;
    pause->SetAction(new TPressCount(&presses));
    ASSERT_TRUE(Windows().OpenWindow("tw", true, 0, 0, 0, 0));
    EXPECT_EQ(Text(Manager()->GetTopModal()->GetName()), "TutorialModalWindow");
    EXPECT_EQ(Text(Window()->GetParent()->GetName()), "TutorialTransferWindow");
    EXPECT_EQ(Windows().GetGameControl(), mWnd->GetGameCtrl());
    EXPECT_EQ(pause->GetParent(), Windows().GetTransferWindow());
    EXPECT_EQ(Place(pause), (TPlace{120, 5})) << "at the same place on the screen";

    Send(MakeEvent(kEventMouseMove, 40, 60));
    EXPECT_EQ(mWnd->GetGameCtrl()->GetLastMousePoint().x, 40);
    EXPECT_EQ(mWnd->GetGameCtrl()->GetLastMousePoint().y, 60);
    Send(MakeEvent(kEventKeyDown, 0, 0, 27));
    EXPECT_EQ(presses, 1);
    Send(MakeEvent(kEventKeyDown, 0, 0, 'A'));
    EXPECT_EQ(presses, 1);
    EXPECT_TRUE(Window()->OnKeyDown(27, 0)) << "the window presses it too";
    EXPECT_EQ(presses, 2);

    Windows().CloseWindow();
    Send(MakeEvent(kEventIdle));
    EXPECT_EQ(Text(Manager()->GetTopModal()->GetName()), "game");
    EXPECT_EQ(pause->GetParent(), pauseParent);
    EXPECT_EQ(Place(pause), (TPlace{120, 5}));
    EXPECT_EQ(Window()->GetParent(), mGame);
    EXPECT_EQ(Windows().GetTutorialModal(), nullptr);
    EXPECT_EQ(Windows().GetTransferWindow(), nullptr);
}

TEST_F(TutorialWindowTest, TheSkipButtonStaysInsideWhenFixedAndMovesOutInFrontOtherwise) {
    OpenBare();
    TButton* skip = Window()->GetSkipButton();
    ASSERT_NE(skip, nullptr);
    const TPlace ownPlace = InWindow(skip);
    ASSERT_TRUE(Windows().OpenWindow("tw", false, 0, 0, 0, 0));
    Window()->SetupSkipButton(true, str(), nullptr, true);
    EXPECT_EQ(skip->GetParent(), Window());
    EXPECT_TRUE(Window()->IsSkipOutside());
    EXPECT_TRUE(Visible(skip));
    Windows().CloseWindow();
    EXPECT_FALSE(Window()->IsSkipOutside());

    ASSERT_TRUE(Windows().OpenWindow("tw", false, 0, 0, 0, 0));
    Window()->SetupSkipButton(true, "later", nullptr, false);
    EXPECT_EQ(skip->GetParent(), mGame);
    const std::list<TWindow*>& children = mGame->GetChildren();
    const auto at = std::find(children.begin(), children.end(), skip);
    ASSERT_NE(at, children.end());
    EXPECT_EQ(*std::next(at), Window()) << "directly in front of the window";
    EXPECT_EQ(Place(skip), (TPlace{450, 320})) << "at the same place on the screen";
    EXPECT_EQ(Text(skip->GetLabelText()), "Not now");
    Window()->SetupSkipButton(false, str(), nullptr, false);
    EXPECT_EQ(skip->GetParent(), Window()) << "not skipeable: back inside";
    EXPECT_FALSE(Visible(skip));
    Windows().CloseWindow();
    EXPECT_EQ(Text(skip->GetLabelText()), "own skip");
    EXPECT_EQ(InWindow(skip), ownPlace);
}

TEST_F(TutorialWindowTest, ArrowZeroMovesTheWindowByTheTargetsQuadrant) {
    OpenBare();
    struct TCase {
        TRect target;
        int bits;
        TPlace offset;
        float angle;
        TPlace window;
        TPlace arrow;
        TPlace background;
    };
    // The window is 200 x 100, the arrow 30 x 20 and the background 60 x 40.
    const TCase cases[] = {
        {{10, 10, 50, 30}, 0, {0, 0}, 45.0f, {50, 30}, {0, 0}, {140, 60}},
        {{700, 10, 740, 30}, 0, {0, 0}, 135.0f, {500, 30}, {170, 0}, {0, 60}},
        {{10, 500, 50, 540}, 0, {0, 0}, 315.0f, {50, 400}, {0, 80}, {140, 0}},
        {{700, 500, 740, 540}, 0, {0, 0}, 225.0f, {500, 400}, {170, 80}, {0, 0}},
        {{700, 500, 740, 540}, 0, {5, 7}, 225.0f, {505, 407}, {170, 80}, {0, 0}},
        {{700, 500, 740, 540}, 1, {5, 7}, 225.0f, {500, 400}, {170, 80}, {5, 7}},
        {{700, 500, 740, 540}, 2, {5, 7}, 225.0f, {500, 400}, {175, 87}, {0, 0}},
        {{700, 500, 740, 540}, 3, {5, 7}, 225.0f, {500, 400}, {175, 87}, {5, 7}},
    };
    for (const TCase& c : cases) {
        ASSERT_TRUE(Windows().OpenWindow("tw", false, c.offset.first, c.offset.second, c.bits, 0));
        Window()->PointArrow(0, c.target);
        GRIndicatorLabel* arrow = Window()->GetArrow(0);
        ASSERT_NE(arrow, nullptr);
        EXPECT_EQ(arrow->GetAngle(), c.angle) << c.target.left << "," << c.target.top;
        EXPECT_EQ(Place(Window()), c.window) << c.target.left << "," << c.target.top;
        EXPECT_EQ(InWindow(arrow), c.arrow) << c.target.left << "," << c.target.top;
        EXPECT_EQ(InWindow(Window()->GetBackgroundImage()), c.background)
            << c.target.left << "," << c.target.top << " bits " << c.bits;
        Windows().CloseWindow();
    }
    ASSERT_TRUE(Windows().OpenWindow("tw", false, 0, 0, 0, 0));
    Window()->PointArrow(4, TRect{0, 0, 10, 10});
    Window()->PointArrow(-1, TRect{0, 0, 10, 10});
    EXPECT_EQ(Window()->GetArrow(4), nullptr);
    Windows().CloseWindow();
}

TEST_F(TutorialWindowTest, ExtraArrowsAreMadeOnFirstUseAndRemovedAtClosing) {
    OpenBare();
    ASSERT_TRUE(Windows().OpenWindow("tw", false, 0, 0, 0, 0));
    Window()->PointArrow(2, TRect{700, 500, 740, 540});
    EXPECT_EQ(Window()->GetArrow(1), nullptr) << "only the arrow asked for";
    GRIndicatorLabel* arrow = Window()->GetArrow(2);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(Text(arrow->GetName()), "arwArrow2");
    EXPECT_EQ(arrow->GetParent(), mGame);
    EXPECT_EQ(Place(arrow), (TPlace{670, 480})) << "its far corner on the target's top left";
    EXPECT_EQ(arrow->GetAngle(), 225.0f);
    EXPECT_EQ(arrow->GetXc(), 5);
    EXPECT_EQ(arrow->GetLength(), 7);
    EXPECT_FALSE(Visible(arrow));
    Tick(20);
    EXPECT_TRUE(Visible(arrow)) << "shown with the window";
    Windows().CloseWindow();
    EXPECT_EQ(Find("arwArrow2"), nullptr);
    EXPECT_EQ(Window()->GetArrow(2), nullptr);
}

TEST_F(TutorialWindowTest, StepsFillTheWindowAndAnEmptyMessageShowsNothing) {
    Open(Tut("full", "action = 'go'",
             "window = 'tw', msg = 'hello', close = { button = 'ok' }, target = { id = 'lamp' }") +
         Tut("bare", "action = 'b'", "window = 'tw', close = { button = 'ok' }, target = -1"));
    Event("booth", "b");
    ASSERT_EQ(Current(), "bare");
    Tick(20);
    EXPECT_TRUE(Visible(Window()));
    EXPECT_EQ(Text(Window()->GetMessageText()->GetText()), "");
    EXPECT_FALSE(Visible(Window()->GetOkButton()));
    EXPECT_FALSE(Visible(Window()->GetSkipButton()));
    EXPECT_EQ(Window()->GetArrow(0), nullptr);
    Processor().StopTutorial(false);

    Event("booth", "go");
    ASSERT_EQ(Current(), "full");
    EXPECT_EQ(Text(Window()->GetMessageText()->GetText()), "Hello there");
    EXPECT_TRUE(Visible(Window()->GetOkButton()));
    EXPECT_EQ(Text(Window()->GetOkButton()->GetLabelText()), "Fine");
    EXPECT_TRUE(Visible(Window()->GetSkipButton()));
    EXPECT_EQ(Window()->GetSkipButton()->GetParent(), mGame);
    Window()->GetOkButton()->RunCommand();
    EXPECT_EQ(Current(), "full") << "the OK runs a little later";
    RunMainTasks();
    EXPECT_EQ(Current(), "");
    EXPECT_EQ(Window()->GetSkipButton()->GetParent(), Window());

    Processor().Reset();
    Event("booth", "go");
    ASSERT_EQ(Current(), "full");
    Window()->GetSkipButton()->RunCommand();
    RunMainTasks();
    EXPECT_EQ(Current(), "");
    EXPECT_TRUE(Processor().IsSkipAll()) << "the skip button runs SkipTutorial";
}

} // namespace
} // namespace tutorial_test
