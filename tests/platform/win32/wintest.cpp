#include "tests/platform/win32/wintest.h"

#include "tests/fixtures/tempdir.h"

#include <algorithm>
#include <utility>

namespace wintest {

namespace {

TAnswer& Answer() {
    static TAnswer answer;
    return answer;
}

void RegisterClasses() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    WNDCLASSA ansi{};
    ansi.lpfnWndProc = RecordingProc;
    ansi.cbWndExtra = 16;
    ansi.lpszClassName = "StandinTestAnsi";
    ASSERT_NE(RegisterClassA(&ansi), 0);
    WNDCLASSW wide{};
    wide.lpfnWndProc = RecordingProcW;
    wide.cbWndExtra = 16;
    wide.lpszClassName = u"StandinTestWide";
    ASSERT_NE(RegisterClassW(&wide), 0);
}

LRESULT Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool wide) {
    Calls().push_back(TCall{window, message, wParam, lParam});
    LRESULT result = 0;
    if (Answer() && Answer()(window, message, wParam, lParam, result)) {
        return result;
    }
    return wide ? DefWindowProcW(window, message, wParam, lParam)
                : DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

std::vector<TCall>& Calls() {
    static std::vector<TCall> calls;
    return calls;
}

void SetAnswer(TAnswer answer) {
    Answer() = std::move(answer);
}

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Record(window, message, wParam, lParam, false);
}

LRESULT RecordingProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Record(window, message, wParam, lParam, true);
}

void TWindowTest::SetUp() {
    // Windows published for other processes stay among this program's own.
    static testing_fixtures::TempDir runtime;
    standin::SetRuntimeFolder(runtime.Path().string());
    RegisterClasses();
    standin::UseRealTime();
    standin::ResetPumpState();
    Drain();
    Calls().clear();
}

void TWindowTest::TearDown() {
    SetAnswer(nullptr);
    for (HWND window : mWindows) {
        if (IsWindow(window)) {
            DestroyWindow(window);
        }
    }
    Drain();
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    Calls().clear();
    standin::ResetPumpState();
    standin::UseRealTime();
}

HWND TWindowTest::MakeWindow(DWORD style, bool unicode, int width, int height, DWORD exStyle) {
    HWND window = unicode ? CreateWindowExW(exStyle, u"StandinTestWide", u"test", style, 100, 50,
                                            width, height, nullptr, nullptr, nullptr, nullptr)
                          : CreateWindowExA(exStyle, "StandinTestAnsi", "test", style, 100, 50,
                                            width, height, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(window, nullptr);
    mWindows.push_back(window);
    return window;
}

std::vector<MSG> TWindowTest::Drain() {
    std::vector<MSG> taken;
    MSG message;
    // WM_PAINT and timers come back until handled; the bound keeps a fault from hanging us.
    for (int i = 0; i < 1000 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (message.message == WM_QUIT) {
            continue;
        }
        taken.push_back(message);
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return taken;
}

std::vector<TCall> TWindowTest::Seen(std::initializer_list<UINT> messages) const {
    std::vector<TCall> seen;
    for (const TCall& call : Calls()) {
        if (std::find(messages.begin(), messages.end(), call.message) != messages.end()) {
            seen.push_back(call);
        }
    }
    return seen;
}

} // namespace wintest
