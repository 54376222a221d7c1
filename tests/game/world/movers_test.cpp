// The small movers: a straight motion that slows to a stop, the text mover that empties its text
// at the end, and the window mover that shows a fly emitter while it flies and tells its listener
// when the flight ends; movers that go before their flight ends, with and without their window.

#include "engine/ui/text.h"
#include "game/visual/GFlyEmitter.h"
#include "game/world/GFinishMobileLstnr.h"
#include "game/world/GMobile.h"
#include "game/world/GWndMobile.h"
#include "game/world/LineMove.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace movers_test {
namespace {

std::string Text(const str& text) {
    return text.CStr() != nullptr ? std::string(text.CStr(), text.Length()) : std::string();
}

// A text window that remembers the texts it was given (it has no sprite to show them).
class TRecordingText : public TText {
public:
    void SetText(const str& text) override { mTexts.push_back(Text(text)); }
    std::vector<std::string> mTexts;
};

class TRecordingListener : public GFinishMobileLstnr {
public:
    void OnMobileStep(int ms) override { mSteps.push_back(ms); }
    int OnMobileFinished() override {
        mFlagsAtFinish.push_back(mWindow != nullptr ? mWindow->GetFlags() : 0u);
        return 7;
    }
    TLuaParticleSystem* GetParticleSystem() override { return nullptr; }

    const TWindow* mWindow = nullptr;
    std::vector<int> mSteps;
    std::vector<uint32_t> mFlagsAtFinish;
};

TPoint Position(const TWindow& window) {
    return TPoint{window.GetRect().left, window.GetRect().top};
}

TEST(GMobileTest, FourStepsMoveByThreeTwoAndOneVelocitiesThenDetach) {
    TRecordingText text;
    LineMove line(2.0f, -1.0f);
    GMobile mobile;
    mobile.SetPosition(10.0f, 20.0f);
    mobile.Start(&line, &text, 4.0f);
    EXPECT_EQ(Position(text), (TPoint{16, 17}));
    mobile.Tick();
    EXPECT_EQ(Position(text), (TPoint{20, 15}));
    mobile.Tick();
    EXPECT_EQ(Position(text), (TPoint{22, 14}));
    EXPECT_TRUE(text.mTexts.empty());

    mobile.Tick();
    EXPECT_EQ(Position(text), (TPoint{22, 14}));
    EXPECT_EQ(text.mTexts, (std::vector<std::string>{""}));
    EXPECT_EQ(mobile.GetTarget(), nullptr);
    EXPECT_EQ(mobile.GetMover(), nullptr);

    // Spent: further ticks, and the mover's end, touch nothing.
    mobile.Tick();
    EXPECT_EQ(mobile.GetCount(), 0.0f);
    EXPECT_EQ(text.mTexts.size(), 1u);
}

TEST(GMobileTest, AMoverThatGoesEmptiesItsTextUnlessItForgotIt) {
    TRecordingText text;
    LineMove line(1.0f, 0.0f);
    {
        GMobile mobile;
        mobile.Start(&line, &text, 10.0f);
        EXPECT_EQ(Position(text), (TPoint{9, 0}));
    }
    EXPECT_EQ(text.mTexts, (std::vector<std::string>{""}));

    // An owner that goes together with its text forgets it first.
    auto doomed = std::make_unique<TRecordingText>();
    {
        GMobile mobile;
        mobile.Start(&line, doomed.get(), 10.0f);
        mobile.Forget();
        doomed.reset();
    }

    // Without a target the count runs down and nothing moves.
    GMobile loose;
    loose.Start(&line, nullptr, 3.0f);
    loose.Tick();
    EXPECT_EQ(loose.GetCount(), 1.0f);
    EXPECT_EQ(loose.GetPosition().x, 0.0f);
}

TEST(GWndMobileTest, AFlightShowsTheWindowMovesItAndTellsTheListenerAtItsEnd) {
    GFlyEmitter window;
    window.SetFlags(GWndMobile::kMoving | 0x200);
    TRecordingListener listener;
    listener.mWindow = &window;
    LineMove line(1.0f, 2.0f);
    GWndMobile mobile;
    mobile.SetWindow(&window, &listener);
    EXPECT_EQ(window.GetFlags() & 0xFF00u, 0u);

    // Positions go through the window's own move: offset by its start position.
    window.SetStartPosition(100.0f, 50.0f);
    mobile.Start(&line, 3.0f);
    EXPECT_EQ(window.GetFlags() & GWndMobile::kMoving, GWndMobile::kMoving);
    EXPECT_EQ(Position(window), (TPoint{102, 54}));
    mobile.Tick();
    EXPECT_EQ(Position(window), (TPoint{103, 56}));
    EXPECT_TRUE(listener.mFlagsAtFinish.empty());
    mobile.Tick();
    EXPECT_EQ(listener.mFlagsAtFinish, (std::vector<uint32_t>{GWndMobile::kMoving}));
    EXPECT_EQ(window.GetFlags() & 0xFF00u, 0u);
    EXPECT_EQ(mobile.GetMover(), nullptr);
    EXPECT_EQ(Position(window), (TPoint{103, 56}));

    // Released from outside, it answers the listener's answer; without a listener 0.
    mobile.Start(&line, 5.0f);
    EXPECT_EQ(mobile.Release(), 7);
    EXPECT_EQ(window.GetFlags() & GWndMobile::kMoving, 0u);
    mobile.SetWindow(&window, nullptr);
    EXPECT_EQ(mobile.Release(), 0);
}

TEST(GWndMobileTest, AMoverThatGoesEndsTheFlightUnlessItForgotItsWindow) {
    GFlyEmitter window;
    TRecordingListener listener;
    LineMove line(1.0f, 0.0f);
    {
        GWndMobile mobile;
        mobile.SetWindow(&window, &listener);
        mobile.Start(&line, 10.0f);
        EXPECT_FALSE(window.IsIdle());
    }
    EXPECT_EQ(listener.mFlagsAtFinish.size(), 1u);
    EXPECT_TRUE(window.IsIdle());

    // The emitter's own mover goes with it: an emitter deleted in flight reaches nothing of
    // itself while it is torn down.
    auto* flying = new GFlyEmitter;
    flying->Fly(50);
    EXPECT_FALSE(flying->IsIdle());
    delete flying;
}

} // namespace
} // namespace movers_test
