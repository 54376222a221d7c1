// The reply delay on the test clock. The built library keeps its own private clock, which no test
// can set, so these cases run the same server sources linked into the test program.
#include "tests/hiscore_server/server_fixture.h"

#include "platform/win32/standin.h"

#include <gtest/gtest.h>

#include <functional>

namespace hiscore_test {
namespace {

class HiscoreServerClock : public ::testing::Test {
protected:
    void TearDown() override { standin::UseRealTime(); }

    TCurrentFolder mFolder;
    TServerApi mApi = LinkedApi();
    TServers mServers{mApi};
};

TEST_F(HiscoreServerClock, ReplyIsReadyFromOneSecondAfterTheRequest) {
    struct TCase {
        const char* what;
        DWORD requestTime;
    };
    const TCase cases[] = {
        {"at zero", 0},
        {"ordinary", 123456},
        {"request just before the 32-bit wrap", 0xFFFFFF00u},
        {"request on the last millisecond", 0xFFFFFFFFu},
        {"ready time on the wrap", 0xFFFFFFFFu - 999u},
    };
    for (const TCase& c : cases) {
        void* server = mServers.Configured();
        standin::SetFakeTime(c.requestTime);
        mApi.requestCategories(server);
        EXPECT_EQ(mApi.getStatus(server), 0) << c.what;
        standin::AdvanceTime(999);
        EXPECT_EQ(mApi.getStatus(server), 0) << c.what;
        standin::AdvanceTime(1);
        EXPECT_EQ(mApi.getStatus(server), 1) << c.what;
        standin::AdvanceTime(60000);
        EXPECT_EQ(mApi.getStatus(server), 1) << c.what;
    }
}

TEST_F(HiscoreServerClock, EveryRequestRestartsTheDelay) {
    void* server = mServers.Configured();
    standin::SetFakeTime(5000);
    EXPECT_EQ(mApi.getStatus(server), 0) << "no request yet";
    mApi.requestCategories(server);
    const std::function<void()> requests[] = {
        [&] { mApi.requestCategories(server); },
        [&] { mServers.Scores(server); },
        [&] { mServers.Submit(server, 1); },
        [&] { mApi.submitMedals(server, "game", "normal", "testname", "yarrowit", "", "key"); },
        [&] { mServers.Submit(server, 1, "x", "", "undefined mode"); },
    };
    for (const auto& request : requests) {
        standin::AdvanceTime(1500);
        ASSERT_EQ(mApi.getStatus(server), 1);
        request();
        EXPECT_EQ(mApi.getStatus(server), 0);
        EXPECT_STRNE(mApi.getContents(server), "");
        standin::AdvanceTime(1000);
        EXPECT_EQ(mApi.getStatus(server), 1);
    }
}

} // namespace
} // namespace hiscore_test
