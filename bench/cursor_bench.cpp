// One software-cursor update as a mouse move makes it, on a headless 800x600 windowed display of 32
// and of 16 bits: save what the new place holds, copy in what the old cursor covered there (when
// they overlap), compose the background with a 32x32 run list of opaque pixels, put the old
// background back, blit the result onto the screen. The cursor moves between two places each
// iteration, so every update draws. Timed on a thread of its own, as the cursor thread draws.
#include "bench/benchpng.h"
#include "engine/core/knownfiles.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/media.h"
#include "engine/media/renderer.h"
#include "engine/media/texture.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

void PumpCursorBench() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// The engine as start-up leaves it, with an 800x600 window on a 1024x768 desktop of `bits`.
class TCursorScreen {
public:
    explicit TCursorScreen(int bits) {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        standin::TDesktop desktop;
        desktop.width = 1024;
        desktop.height = 768;
        desktop.bitsPerPixel = bits;
        standin::SetDesktop(desktop);
        RegisterMedia();
        mPlatform = new TPlatform(new TWin32Platform(GetModuleHandleA(nullptr), nullptr,
                                                     mCommandLine, SW_SHOWNORMAL, true));
        mPlatform->CreateMainWindow();
        CreateRenderer();
        mPlatform->SetDisplay(800, 600, false);
        PumpCursorBench();
        // The benchmark drives the cursor itself.
        mPlatform->GetWin32()->StopCursorThread();
    }

    ~TCursorScreen() {
        delete mPlatform;
        UnregisterClassA(MainWindowClassName().CStr(), GetModuleHandleA(nullptr));
        PumpCursorBench();
        SetRendererHooks(nullptr, nullptr);
        SetSoundManagerFactory(nullptr);
        standin::UseSystemDesktop();
    }

    TCursorScreen(const TCursorScreen&) = delete;
    TCursorScreen& operator=(const TCursorScreen&) = delete;

private:
    char mCommandLine[1] = "";
    TPlatform* mPlatform = nullptr;
};

// A 32x32 cursor without a transparent pixel: 32 runs of 32.
std::vector<uint8_t> CursorPng() {
    std::vector<uint8_t> pixels(32 * 32 * 3);
    for (size_t i = 0; i < 32 * 32; ++i) {
        pixels[i * 3] = static_cast<uint8_t>(i);
        pixels[i * 3 + 1] = static_cast<uint8_t>(i >> 2);
        pixels[i * 3 + 2] = 40;
    }
    return EncodePng(32, 32, PNG_FORMAT_RGB, pixels);
}

// Runs one job at a time on a thread of its own, as the cursor thread draws: there the blits onto
// the screen leave showing it to the main thread, as they leave it to the display on Windows.
class TCursorWorker {
public:
    TCursorWorker() : mThread([this] { Run(); }) {}
    ~TCursorWorker() {
        {
            const std::lock_guard<std::mutex> hold(mLock);
            mStop = true;
        }
        mWake.notify_all();
        mThread.join();
    }
    TCursorWorker(const TCursorWorker&) = delete;
    TCursorWorker& operator=(const TCursorWorker&) = delete;

    // Runs `job` there and answers how long it took, in seconds.
    double Time(std::function<void()> job) {
        std::unique_lock<std::mutex> hold(mLock);
        mJob = std::move(job);
        mWake.notify_all();
        mWake.wait(hold, [this] { return !mJob; });
        return mSeconds;
    }

private:
    void Run() {
        std::unique_lock<std::mutex> hold(mLock);
        for (;;) {
            mWake.wait(hold, [this] { return mStop || mJob; });
            if (mStop) {
                return;
            }
            const auto start = std::chrono::steady_clock::now();
            mJob();
            mSeconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            mJob = nullptr;
            mWake.notify_all();
        }
    }

    std::mutex mLock;
    std::condition_variable mWake;
    std::function<void()> mJob;
    double mSeconds = 0.0;
    bool mStop = false;
    std::thread mThread;
};

void CursorUpdate(benchmark::State& state, int bits, int stepX, int stepY) {
    TCursorScreen screen(bits);
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr || !renderer->GetDisplayHandler().IsReady()) {
        state.SkipWithError("the display did not come up");
        return;
    }
    const std::vector<uint8_t> png = CursorPng();
    RegisterMemoryFile("bench/cursor.png", png.data(), static_cast<unsigned>(png.size()));
    TDxDisplayHandler& handler = renderer->GetDisplayHandler();
    if (!handler.SetCursorImage(TTexture::Get("bench/cursor.png"), 0, 0, false)) {
        state.SkipWithError("the cursor image was refused");
        return;
    }
    int x = 300;
    int y = 200;
    handler.UpdateCursor(x, y);
    TCursorWorker worker;
    for (auto _ : state) {
        x += stepX;
        y += stepY;
        stepX = -stepX;
        stepY = -stepY;
        state.SetIterationTime(worker.Time(
            [&handler, x, y] { benchmark::DoNotOptimize(handler.UpdateCursor(x, y)); }));
    }
    RegisterMemoryFile("bench/cursor.png", nullptr, 0);
}

// Jumps: the two places do not overlap. Steps: they overlap by 24 x 28 pixels.
void CursorJump32(benchmark::State& state) {
    CursorUpdate(state, 32, 100, 0);
}
void CursorStep32(benchmark::State& state) {
    CursorUpdate(state, 32, 8, 4);
}
void CursorJump16(benchmark::State& state) {
    CursorUpdate(state, 16, 100, 0);
}
void CursorStep16(benchmark::State& state) {
    CursorUpdate(state, 16, 8, 4);
}

BENCHMARK(CursorJump32)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(CursorStep32)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(CursorJump16)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(CursorStep16)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
