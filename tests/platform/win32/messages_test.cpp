#include "tests/platform/win32/wintest.h"

#include <atomic>
#include <thread>

namespace {

using wintest::Calls;
using wintest::TCall;

class Messages : public wintest::TWindowTest {};

TEST_F(Messages, RetrievalOrderIsPostedInputQuitPaintTimer) {
    HWND window = MakeWindow();
    Drain();
    standin::SetFakeTime(10000);
    ASSERT_NE(SetTimer(window, 7, 100, nullptr), 0u);
    standin::AdvanceTime(100);
    InvalidateRect(window, nullptr, FALSE);
    PostQuitMessage(3);
    standin::InjectMessage(window, WM_KEYDOWN, 'A', 0x001E0001);
    PostMessageA(window, WM_USER + 1, 11, 12);
    PostMessageA(window, WM_USER + 2, 21, 22);

    struct TExpected {
        UINT message;
        WPARAM wParam;
    };
    const TExpected expected[] = {{WM_USER + 1, 11}, {WM_USER + 2, 21}, {WM_KEYDOWN, 'A'},
                                  {WM_QUIT, 3},      {WM_PAINT, 0},     {WM_TIMER, 7}};
    for (const TExpected& next : expected) {
        MSG message{};
        ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) << next.message;
        EXPECT_EQ(message.message, next.message);
        EXPECT_EQ(message.wParam, next.wParam);
        EXPECT_EQ(message.hwnd, next.message == WM_QUIT ? nullptr : window);
        // WM_PAINT stays until the window is painted.
        if (message.message == WM_PAINT) {
            MSG again{};
            ASSERT_TRUE(PeekMessageA(&again, nullptr, 0, 0, PM_REMOVE));
            EXPECT_EQ(again.message, static_cast<UINT>(WM_PAINT));
            DispatchMessageA(&again);
        }
    }
    MSG none{};
    EXPECT_FALSE(PeekMessageA(&none, nullptr, 0, 0, PM_REMOVE));
    KillTimer(window, 7);
}

TEST_F(Messages, NoRemoveLeavesTheMessageInPlace) {
    HWND window = MakeWindow();
    Drain();
    PostMessageA(window, WM_USER + 1, 1, 0);
    PostMessageA(window, WM_USER + 2, 2, 0);
    MSG message{};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 1));
    }
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 1));
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 2));
}

TEST_F(Messages, FiltersByRangeAndWindow) {
    HWND first = MakeWindow();
    HWND second = MakeWindow();
    Drain();
    PostMessageA(first, WM_USER, 1, 0);
    PostMessageA(second, WM_USER, 2, 0);
    PostMessageA(nullptr, WM_USER, 3, 0);
    standin::InjectMessage(first, WM_KEYUP, 'B', static_cast<LPARAM>(0xC0300001u));
    PostQuitMessage(9);

    struct TCase {
        const char* name;
        HWND window;
        UINT low;
        UINT high;
        UINT message;
        WPARAM wParam;
    };
    const TCase cases[] = {
        {"quit only", nullptr, WM_QUIT, WM_QUIT, WM_QUIT, 9},
        {"keys only", nullptr, WM_KEYFIRST, WM_KEYLAST, WM_KEYUP, 'B'},
        {"second window", second, 0, 0, WM_USER, 2},
        {"thread messages", reinterpret_cast<HWND>(-1), 0, 0, WM_USER, 3},
        {"first window", first, 0, 0, WM_USER, 1},
    };
    for (const TCase& item : cases) {
        MSG message{};
        ASSERT_TRUE(PeekMessageA(&message, item.window, item.low, item.high, PM_NOREMOVE))
            << item.name;
        EXPECT_EQ(message.message, item.message) << item.name;
        EXPECT_EQ(message.wParam, item.wParam) << item.name;
    }
    MSG message{};
    EXPECT_FALSE(PeekMessageA(&message, second, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));
}

TEST_F(Messages, AQuitFilterTakesOutTheQuitAlone) {
    HWND window = MakeWindow();
    Drain();
    PostMessageA(window, WM_USER, 1, 0);
    standin::InjectMessage(window, WM_KEYDOWN, 'A', 0x001E0001);
    PostQuitMessage(5);
    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 5u);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "taken out";
    // What waited before it is still there, in order, and no quit after it.
    for (UINT expected : {static_cast<UINT>(WM_USER), static_cast<UINT>(WM_KEYDOWN)}) {
        ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(message.message, expected);
    }
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(Messages, GetMessageEndsWithWmQuitAndItsCode) {
    HWND window = MakeWindow();
    Drain();
    PostMessageA(window, WM_USER, 0, 0);
    PostQuitMessage(42);
    MSG message{};
    EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER));
    // Paint and timers come after the quit, so the loop ends here.
    InvalidateRect(window, nullptr, FALSE);
    EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), FALSE);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 42u);
    EXPECT_EQ(GetMessageA(&message, reinterpret_cast<HWND>(0x12345678), 0, 0), -1);
}

TEST_F(Messages, GetMessageWakesForAPostFromAnotherThread) {
    HWND window = MakeWindow();
    Drain();
    std::thread poster([window] {
        Sleep(30);
        PostMessageA(window, WM_USER + 5, 55, 0);
    });
    MSG message{};
    EXPECT_EQ(GetMessageA(&message, nullptr, WM_USER + 5, WM_USER + 5), TRUE);
    EXPECT_EQ(message.wParam, 55u);
    poster.join();
}

TEST_F(Messages, SendMessageCallsTheProcedureAtOnce) {
    HWND window = MakeWindow();
    Drain();
    Calls().clear();
    wintest::SetAnswer([](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
        if (message != WM_USER + 3) {
            return false;
        }
        result = static_cast<LRESULT>(wParam * 2);
        return true;
    });
    EXPECT_EQ(SendMessageA(window, WM_USER + 3, 21, 0), 42);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].message, static_cast<UINT>(WM_USER + 3));
    MSG message{};
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(0x12345678), WM_USER, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(Messages, SendFromAnotherThreadRunsOnTheWindowsThread) {
    HWND window = MakeWindow();
    Drain();
    const DWORD mainThread = GetCurrentThreadId();
    std::atomic<DWORD> ranOn{0};
    wintest::SetAnswer([&ranOn](HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_USER + 4) {
            return false;
        }
        ranOn = GetCurrentThreadId();
        result = 77;
        return true;
    });
    std::atomic<LRESULT> answer{0};
    std::thread sender([window, &answer] {
        answer = SendMessageA(window, WM_USER + 4, 0, 0);
        PostMessageA(window, WM_USER + 6, 0, 0);
    });
    MSG message{};
    // The sent message is handled inside GetMessageA, never returned by it.
    EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 6));
    sender.join();
    EXPECT_EQ(answer.load(), 77);
    EXPECT_EQ(ranOn.load(), mainThread);
}

TEST_F(Messages, DispatchCallsTheProcedureAndTimerProcedures) {
    HWND window = MakeWindow();
    Drain();
    Calls().clear();
    MSG posted{window, WM_USER + 8, 1, 2, 0, {}};
    DispatchMessageA(&posted);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].lParam, 2);

    static int fired = 0;
    fired = 0;
    standin::SetFakeTime(500);
    const UINT_PTR id = SetTimer(nullptr, 0, 50, [](HWND, UINT message, UINT_PTR, DWORD) {
        fired += message == WM_TIMER ? 1 : 0;
    });
    ASSERT_NE(id, 0u);
    standin::AdvanceTime(50);
    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(message.hwnd, nullptr);
    EXPECT_EQ(message.wParam, id);
    DispatchMessageA(&message);
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

TEST_F(Messages, TimerFiresOnTheTestClock) {
    HWND window = MakeWindow();
    Drain();
    standin::SetFakeTime(5000);
    EXPECT_NE(SetTimer(window, 0, 250, nullptr), 0u);
    const auto timers = [] {
        int count = 0;
        MSG message{};
        while (PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            EXPECT_EQ(message.wParam, 0u);
            ++count;
        }
        return count;
    };
    EXPECT_EQ(timers(), 0);
    standin::AdvanceTime(249);
    EXPECT_EQ(timers(), 0);
    standin::AdvanceTime(1);
    EXPECT_EQ(timers(), 1);
    EXPECT_EQ(timers(), 0);
    // Periods missed while nobody looked make one WM_TIMER, not a burst.
    standin::AdvanceTime(1000);
    EXPECT_EQ(timers(), 1);
    standin::AdvanceTime(250);
    MSG message{};
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    EXPECT_TRUE(KillTimer(window, 0));
    EXPECT_EQ(timers(), 0);
    EXPECT_FALSE(KillTimer(window, 0));
}

TEST_F(Messages, TimerBelowTheMinimumWaitsTenMilliseconds) {
    HWND window = MakeWindow();
    Drain();
    standin::SetFakeTime(0xFFFFFFF8u); // across the 32-bit wrap
    SetTimer(window, 3, 1, nullptr);
    MSG message{};
    standin::AdvanceTime(9);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    standin::AdvanceTime(1);
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    KillTimer(window, 3);
}

TEST_F(Messages, TranslateMakesControlCharactersOfKeys) {
    HWND window = MakeWindow();
    Drain();
    struct TCase {
        const char* name;
        bool ctrl;
        WPARAM key;
        int character; // -1: none
    };
    const TCase cases[] = {
        {"backspace", false, VK_BACK, 0x08},
        {"enter", false, VK_RETURN, 0x0D},
        {"escape", false, VK_ESCAPE, 0x1B},
        {"tab", false, VK_TAB, 0x09},
        {"ctrl+A", true, 'A', 0x01},
        {"ctrl+Z", true, 'Z', 0x1A},
        {"ctrl+enter", true, VK_RETURN, 0x0A},
        {"plain A (text comes from SDL)", false, 'A', -1},
        {"F1", false, VK_F1, -1},
    };
    for (const TCase& item : cases) {
        if (item.ctrl) {
            standin::InjectMessage(window, WM_KEYDOWN, VK_CONTROL, 0x001D0001);
        }
        standin::InjectMessage(window, WM_KEYDOWN, item.key, 0x00010001);
        MSG message{};
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            if (message.wParam == item.key && message.message == WM_KEYDOWN) {
                break;
            }
        }
        MSG character{};
        const bool got = PeekMessageA(&character, nullptr, WM_CHAR, WM_CHAR, PM_REMOVE) != 0;
        EXPECT_EQ(got, item.character >= 0) << item.name;
        if (got) {
            EXPECT_EQ(character.wParam, static_cast<WPARAM>(item.character)) << item.name;
            EXPECT_EQ(character.lParam, 0x00010001) << item.name;
        }
        if (item.ctrl) {
            standin::InjectMessage(window, WM_KEYUP, VK_CONTROL, static_cast<LPARAM>(0xC01D0001u));
            Drain();
        }
    }
}

TEST_F(Messages, KeyStateFollowsRetrievedKeys) {
    HWND window = MakeWindow();
    Drain();
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    standin::InjectMessage(window, WM_KEYDOWN, VK_SHIFT, 0x00360001);
    // Not retrieved yet: the thread has not seen the key go down.
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    Drain();
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    EXPECT_LT(GetKeyState(VK_RSHIFT), 0);
    EXPECT_GE(GetKeyState(VK_LSHIFT), 0);
    standin::InjectMessage(window, WM_KEYUP, VK_SHIFT, static_cast<LPARAM>(0xC0360001u));
    Drain();
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    // A toggle key flips its low bit on every press, not on repeats.
    const SHORT before = GetKeyState(VK_CAPITAL) & 1;
    standin::InjectMessage(window, WM_KEYDOWN, VK_CAPITAL, 0x003A0001);
    standin::InjectMessage(window, WM_KEYDOWN, VK_CAPITAL, 0x403A0001);
    standin::InjectMessage(window, WM_KEYUP, VK_CAPITAL, static_cast<LPARAM>(0xC03A0001u));
    Drain();
    EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, before ^ 1);
}

TEST_F(Messages, MouseMovesAreCoalesced) {
    HWND window = MakeWindow();
    Drain();
    standin::InjectMessage(window, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    standin::InjectMessage(window, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    standin::InjectMessage(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    standin::InjectMessage(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, 3));
    std::vector<UINT> kinds;
    std::vector<LPARAM> where;
    for (const MSG& message : Drain()) {
        if (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) {
            kinds.push_back(message.message);
            where.push_back(message.lParam);
        }
    }
    EXPECT_EQ(kinds, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_MOUSEMOVE}));
    EXPECT_EQ(where, (std::vector<LPARAM>{MAKELPARAM(2, 2), MAKELPARAM(2, 2), MAKELPARAM(3, 3)}));
}

TEST_F(Messages, MouseMessagesSetTheCursorFirst) {
    HWND window = MakeWindow();
    Drain();
    Calls().clear();
    standin::InjectMessage(window, WM_MOUSEMOVE, 0, MAKELPARAM(5, 6));
    Drain();
    const auto seen = Seen({WM_NCHITTEST, WM_SETCURSOR, WM_MOUSEMOVE});
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_NCHITTEST));
    EXPECT_EQ(seen[1].message, static_cast<UINT>(WM_SETCURSOR));
    EXPECT_EQ(seen[1].lParam, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(seen[2].message, static_cast<UINT>(WM_MOUSEMOVE));
}

TEST_F(Messages, MsgWaitWithoutWakeMaskIsAPlainWait) {
    HWND window = MakeWindow();
    Drain();
    PostMessageA(window, WM_USER, 0, 0);
    const DWORD start = timeGetTime();
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, 0),
              static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(timeGetTime() - start, 19u);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT), WAIT_OBJECT_0);
}

} // namespace
