// The logical manager's listener registry, with listeners that add and remove themselves and
// others while a dispatch runs.
#include "game/world/GEventDispatcher.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// Notes its calls in the shared journal and runs the test's action from inside its handler.
class TListener final : public GEventSceneListener {
public:
    TListener(std::string* journal, char name) : mJournal(journal), mName(name) {}
    void OnKeyedEvent() override { Hear('k'); }
    void OnBroadcastEvent() override { Hear('b'); }

    std::function<void()> mAction;

private:
    void Hear(char kind) {
        *mJournal += mName;
        *mJournal += kind;
        if (mAction) {
            mAction();
        }
    }

    std::string* mJournal;
    char mName;
};

class EventDispatcherTest : public ::testing::Test {
protected:
    static constexpr int kBroadcast = GEventDispatcher::kBroadcast;
    static constexpr int kKeyed = GEventDispatcher::kKeyed;

    std::string mJournal;
    GEventDispatcher mDispatcher;
    TListener mA{&mJournal, 'a'};
    TListener mB{&mJournal, 'b'};
    TListener mC{&mJournal, 'c'};
};

TEST_F(EventDispatcherTest, AddingTwiceKeepsOneEntryOutsideABroadcastAndTwoDuringOne) {
    EXPECT_EQ(mDispatcher.AddListener(&mA, kBroadcast), 1);
    EXPECT_EQ(mDispatcher.AddListener(&mA, kBroadcast), 0);
    EXPECT_EQ(mDispatcher.Broadcast(kBroadcast), 1);

    mA.mAction = [this] {
        mDispatcher.AddListener(&mB, kBroadcast);
        mDispatcher.AddListener(&mB, kBroadcast);
        mA.mAction = nullptr;
    };
    mJournal.clear();
    EXPECT_EQ(mDispatcher.Broadcast(kBroadcast), 1) << "an added listener waits";
    EXPECT_EQ(mJournal, "ab");
    mJournal.clear();
    EXPECT_EQ(mDispatcher.Broadcast(kBroadcast), 3);
    EXPECT_EQ(mJournal, "abbbbb");
}

TEST_F(EventDispatcherTest, ListenersRemovedDuringABroadcastAreNotCalledLaterInIt) {
    for (TListener* listener : {&mA, &mB, &mC}) {
        mDispatcher.AddListener(listener, kBroadcast);
    }
    mA.mAction = [this] { EXPECT_EQ(mDispatcher.RemoveListener(&mB, kBroadcast), 1); };
    EXPECT_EQ(mDispatcher.Broadcast(kBroadcast), 2);
    EXPECT_EQ(mJournal, "abcb");
    mJournal.clear();
    mA.mAction = nullptr;
    EXPECT_EQ(mDispatcher.Broadcast(kBroadcast), 2);
    EXPECT_EQ(mJournal, "abcb");
    EXPECT_EQ(mDispatcher.RemoveListener(&mB, kBroadcast), 0) << "gone";
}

TEST_F(EventDispatcherTest, AListenerAddedAndRemovedInOneBroadcastIsNeverCalled) {
    mDispatcher.AddListener(&mA, kBroadcast);
    mA.mAction = [this] {
        mDispatcher.AddListener(&mB, kBroadcast);
        EXPECT_EQ(mDispatcher.RemoveListener(&mB, kBroadcast), 1);
    };
    mDispatcher.Broadcast(kBroadcast);
    mA.mAction = nullptr;
    mJournal.clear();
    EXPECT_EQ(mDispatcher.Broadcast(kBroadcast), 1);
    EXPECT_EQ(mJournal, "ab");
}

TEST_F(EventDispatcherTest, KindsKeysAndRefusals) {
    EXPECT_EQ(mDispatcher.AddListener(&mA, kKeyed), 0);
    EXPECT_EQ(mDispatcher.AddListener(nullptr, kBroadcast), 0);
    EXPECT_EQ(mDispatcher.AddKeyedListener(&mA, nullptr), 0);
    EXPECT_EQ(mDispatcher.AddKeyedListener(nullptr, &mB), 0);
    mDispatcher.AddListener(&mC, kBroadcast);
    EXPECT_EQ(mDispatcher.Broadcast(kKeyed), 0);
    EXPECT_EQ(mDispatcher.Broadcast(7), 0);
    EXPECT_EQ(mJournal, "");

    const int first = 1;
    const int second = 2;
    EXPECT_EQ(mDispatcher.AddKeyedListener(&mA, &first), 1);
    EXPECT_EQ(mDispatcher.AddKeyedListener(&mA, &second), 0) << "keeps its first key";
    EXPECT_EQ(mDispatcher.AddKeyedListener(&mB, &second), 1);
    EXPECT_EQ(mDispatcher.Dispatch(&second), 1);
    EXPECT_EQ(mJournal, "bk");
    EXPECT_EQ(mDispatcher.Dispatch(&first), 1);
    EXPECT_EQ(mDispatcher.Dispatch(nullptr), 0);
    EXPECT_EQ(mDispatcher.RemoveListenerEverywhere(&mA), 1);
    EXPECT_EQ(mDispatcher.Dispatch(&first), 0);

    // A keyed handler that leaves during the dispatch is only marked, then dropped.
    mB.mAction = [this] { mDispatcher.RemoveListener(&mB, kKeyed); };
    EXPECT_EQ(mDispatcher.Dispatch(&second), 1);
    EXPECT_EQ(mDispatcher.Dispatch(&second), 0);
    mDispatcher.Clear();
    EXPECT_EQ(mDispatcher.Broadcast(kBroadcast), 0);
}

} // namespace
