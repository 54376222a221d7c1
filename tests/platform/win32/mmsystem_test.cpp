#include "platform/win32/mmsystem.h"
#include "platform/win32/standin.h"

#include <gtest/gtest.h>

TEST(TimeGetTime, FakeClockWrapsAt32Bits) {
    standin::SetFakeTime(0xFFFFFFF0u);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
    standin::AdvanceTime(0x20);
    EXPECT_EQ(timeGetTime(), 0x10u);
    standin::UseRealTime();
}

TEST(TimeGetTime, RealClockNeverRunsBackwards) {
    standin::UseRealTime();
    const DWORD first = timeGetTime();
    const DWORD second = timeGetTime();
    EXPECT_LT(static_cast<std::int32_t>(second - first), 1000);
    EXPECT_GE(static_cast<std::int32_t>(second - first), 0);
}

TEST(TimeBeginPeriod, RefusesZero) {
    EXPECT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(timeEndPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(timeBeginPeriod(0), static_cast<MMRESULT>(TIMERR_NOCANDO));
}
