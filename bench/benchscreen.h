// The engine as start-up leaves it for the game main, headless, with an 800x600 windowed display
// at 32 bits on a scripted 1024x768 desktop: the set-up of the frame benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include "engine/media/dxdisplayhandler.h"
#include "engine/media/media.h"
#include "engine/media/renderer.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "platform/directx/standin_directx.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"

#include <cstdlib>
#include <stdexcept>

namespace bench_screen {

inline void Pump() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// The engine as start-up leaves it for the game main, on a scripted 1024x768 desktop, with the
// display set to 800x600 in a window.
class TScreen {
public:
    TScreen() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        standin::TDesktop desktop;
        desktop.width = 1024;
        desktop.height = 768;
        standin::SetDesktop(desktop);
        RegisterMedia();
        mPlatform = new TPlatform(new TWin32Platform(GetModuleHandleA(nullptr), nullptr,
                                                     mCommandLine, SW_SHOWNORMAL, true));
        mPlatform->CreateMainWindow();
        CreateRenderer();
        mPlatform->SetDisplay(800, 600, false);
        Pump();
        standin::TakePresentCount();
        TRenderer* renderer = TRenderer::Existing();
        if (renderer == nullptr || !renderer->GetDisplayHandler().IsReady()) {
            throw std::runtime_error("the 800x600 windowed display did not come up");
        }
    }

    ~TScreen() {
        delete mPlatform;
        UnregisterClassA(MainWindowClassName().CStr(), GetModuleHandleA(nullptr));
        Pump();
        SetRendererHooks(nullptr, nullptr);
        SetSoundManagerFactory(nullptr);
        standin::UseSystemDesktop();
    }

    TScreen(const TScreen&) = delete;
    TScreen& operator=(const TScreen&) = delete;

private:
    char mCommandLine[1] = "";
    TPlatform* mPlatform = nullptr;
};

// Primary surfaces handed to the presenter, per frame: 1 when every present got through.
inline void ReportPresents(benchmark::State& state) {
    const int presents = standin::TakePresentCount();
    if (state.iterations() > 0) {
        state.counters["presents"] = static_cast<double>(presents) / state.iterations();
    }
}

} // namespace bench_screen
