// A fixture for the window and message tests: windows whose procedure records every message,
// torn down after each test so that the tests of one process do not see each other's windows or
// messages. Headless on SDL's dummy video driver, which CTest chooses for every test program.
#pragma once

#include "platform/win32/standin.h"
#include "platform/win32/windows.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace wintest {

struct TCall {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Every message a recording window's procedure saw, in order.
std::vector<TCall>& Calls();
// When set, answers a message in place of DefWindowProc (return true to use `result`).
using TAnswer = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT& result)>;
void SetAnswer(TAnswer answer);

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT RecordingProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class TWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A recording window (ANSI or Unicode class) of the given style and outer size at (100, 50).
    HWND MakeWindow(DWORD style = WS_POPUP | WS_VISIBLE, bool unicode = false, int width = 480,
                    int height = 360, DWORD exStyle = 0);
    // Takes every waiting message out of the queue, dispatching each; returns them.
    std::vector<MSG> Drain();
    // The messages the procedures saw with these numbers, in order.
    std::vector<TCall> Seen(std::initializer_list<UINT> messages) const;

private:
    std::vector<HWND> mWindows;
};

} // namespace wintest
