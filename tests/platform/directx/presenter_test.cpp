// The program's own pacing: WaitForVerticalBlank returns once the display's next refresh period
// has begun, counted on the steady clock.
#include "platform/directx/presenter.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(Presenter, WaitForVerticalBlankReturnsAtTheNextRefresh) {
    const auto presenter = standin::detail::MakePresenter();
    ASSERT_NE(presenter, nullptr);
    const struct {
        DWORD rate;
        int perSecond;
    } cases[] = {{0, 60}, {60, 60}, {75, 75}, {200, 200}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.rate);
        const std::chrono::nanoseconds period =
            std::chrono::nanoseconds(std::chrono::seconds(1)) / test.perSecond;
        // A few in a row: a wrong period could land on the right refresh once by chance.
        for (int i = 0; i < 3; ++i) {
            const auto before = std::chrono::steady_clock::now().time_since_epoch();
            presenter->WaitForVerticalBlank(test.rate);
            const auto after = std::chrono::steady_clock::now().time_since_epoch();
            const auto refresh = (before / period + 1) * period;
            EXPECT_GE(after, refresh);
            EXPECT_LT(after, refresh + std::chrono::seconds(1));
        }
    }
}

} // namespace
