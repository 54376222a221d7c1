#include "platform/win32/mmsystem.h"

#include "platform/win32/standin.h"

#include <atomic>
#include <chrono>

namespace {

std::atomic<bool> gFakeTime{false};
std::atomic<DWORD> gFakeNow{0};

DWORD RealMilliseconds() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    // Keeping the low 32 bits reproduces timeGetTime's wrap-around.
    return static_cast<DWORD>(static_cast<std::uint64_t>(ms));
}

} // namespace

DWORD timeGetTime() {
    return gFakeTime.load() ? gFakeNow.load() : RealMilliseconds();
}

// The Linux scheduler and clocks already give millisecond resolution; nothing to change.
MMRESULT timeBeginPeriod(UINT period) {
    return period == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT period) {
    return period == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR;
}

namespace standin {

void SetFakeTime(DWORD ms) {
    gFakeNow.store(ms);
    gFakeTime.store(true);
}

void AdvanceTime(DWORD ms) {
    gFakeNow.fetch_add(ms);
}

void UseRealTime() {
    gFakeTime.store(false);
}

} // namespace standin
