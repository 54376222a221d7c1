// The one place that chooses how the primary surface reaches the screen.
#include "platform/directx/presenterimpl.h"

#include "platform/win32/userstate.h"

#include <chrono>
#include <thread>

namespace standin::detail {

std::unique_ptr<TPresenter> MakePresenter() {
    if (HeadlessVideo()) {
        return MakeHeadlessPresenter();
    }
    return MakeSdlPresenter();
}

void WaitForNextRefresh(DWORD refreshRate) {
    using Clock = std::chrono::steady_clock;
    const std::chrono::nanoseconds period =
        std::chrono::nanoseconds(std::chrono::seconds(1)) / (refreshRate == 0 ? 60 : refreshRate);
    const auto now = Clock::now().time_since_epoch();
    const auto next = (now / period + 1) * period;
    std::this_thread::sleep_until(
        Clock::time_point(std::chrono::duration_cast<Clock::duration>(next)));
}

} // namespace standin::detail
