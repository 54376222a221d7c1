// A platform record, TPlatform and main window made for one test on SDL's dummy video driver and
// the stand-in's fake clock, with recording stand-ins for the window system, the display
// handler and the game-state handlers. Torn down after the test: the main window, the class, the
// current folder and the clock go back as they were.
#pragma once

#include "engine/core/settings.h"
#include "engine/system/gamestate.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/system/windowsystemlink.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace platform_test {

// Window manager whose flags the test sets; counts what the platform asks of it.
struct TFakeWindowManager final : TWindowManagerLink {
    static inline std::atomic<bool> sSuspended{false};
    static inline bool sInputBlocked = false;
    static inline int sAbortMovies = 0;
    static inline int sInvalidates = 0;
    static inline bool sHasRoot = false;
    static inline TRect sRoot{0, 0, 0, 0};
    // Set while the object is being destroyed: the cursor thread must be gone by then.
    static inline std::atomic<bool> sDestroyed{false};
    // Whether the platform still had a cursor thread when the manager was deleted.
    static inline std::atomic<bool> sCursorThreadAtDestroy{false};
    // How often IsDrawingSuspended answered true: each is one turn of the cursor thread.
    static inline std::atomic<int> sSuspendedAnswers{0};

    ~TFakeWindowManager() override {
        sDestroyed = true;
        const TPlatform* platform = TPlatform::GetInstance();
        sCursorThreadAtDestroy =
            platform != nullptr && platform->GetWin32()->mCursorThread != nullptr;
    }
    bool IsDrawingSuspended() const override {
        const bool suspended = sSuspended;
        if (suspended) {
            ++sSuspendedAnswers;
        }
        return suspended;
    }
    bool IsInputBlocked() const override { return sInputBlocked; }
    void Invalidate() override { ++sInvalidates; }
    void AbortMovie() override { ++sAbortMovies; }
    bool GetRootRect(TRect* rect) const override {
        if (sHasRoot) {
            *rect = sRoot;
        }
        return sHasRoot;
    }
    static void Reset() {
        sSuspended = false;
        sInputBlocked = false;
        sAbortMovies = 0;
        sInvalidates = 0;
        sHasRoot = false;
        sDestroyed = false;
        sCursorThreadAtDestroy = false;
        sSuspendedAnswers = 0;
    }
};

// Display handler that records the calls the platform makes. A test's fake dies before the
// fixture deletes the platform, while the cursor thread still draws: it takes itself out first.
struct TFakeDisplay : TDisplayLink {
    ~TFakeDisplay() override {
        if (&Display() == this) {
            SetDisplayLink(nullptr);
        }
    }

    bool ready = true;
    bool fullScreen = false;
    TPoint cursor{0, 0};
    TPoint viewport{480, 360};
    int restores = 0;
    int resetWorkingCounts = 0;
    std::vector<bool> fullscreenRequests;
    struct TSetDisplay {
        int width;
        int height;
        bool fullScreen;
        bool hostPresent;
    };
    std::vector<TSetDisplay> setDisplays;
    int calibrations = 0;
    struct TCursorImage {
        TTexturePtr texture;
        int hotX;
        int hotY;
        bool system;
    };
    std::vector<TCursorImage> cursorImages;
    // Touched by the cursor thread.
    std::atomic<int> cursorUpdates{0};
    std::atomic<int> updatesAfterManagerDestroyed{0};

    bool Exists() const override { return true; }
    bool IsReady() override { return ready; }
    void Restore() override { ++restores; }
    void ResetWorkingCount() override { ++resetWorkingCounts; }
    void SetDisplay(int width, int height, bool full, bool hostPresent) override {
        setDisplays.push_back(TSetDisplay{width, height, full, hostPresent});
    }
    bool SetFullscreen(bool full) override {
        fullscreenRequests.push_back(full);
        fullScreen = full;
        return true;
    }
    bool IsFullscreen() const override { return fullScreen; }
    void CalibrateTexelOffset() override { ++calibrations; }
    TPoint GetViewportSize() const override { return viewport; }
    TPoint GetCursorPosition() override { return cursor; }
    TPoint UpdateCursor(int, int) override {
        if (TFakeWindowManager::sDestroyed) {
            ++updatesAfterManagerDestroyed;
        }
        ++cursorUpdates;
        return TPoint{0, 0};
    }
    bool appliesCursor = false;
    bool ApplyCursor() override { return appliesCursor; }
    bool SetCursorImage(const TTexturePtr& texture, int hotX, int hotY, bool system) override {
        cursorImages.push_back(TCursorImage{texture, hotX, hotY, system});
        return true;
    }
    std::vector<bool> vsyncs;
    void SetVSync(bool on) override { vsyncs.push_back(on); }
    std::vector<bool> cursorShows;
    bool ShowCursor(bool visible) override {
        cursorShows.push_back(visible);
        return true;
    }
};

// Renderer that records the calls the platform makes; installs itself while it lives.
struct TFakeRenderer final : TRendererLink {
    TFakeRenderer() { SetRendererLink(this); }
    ~TFakeRenderer() override {
        if (&Renderer() == this) {
            SetRendererLink(nullptr);
        }
    }
    TFakeRenderer(const TFakeRenderer&) = delete;
    TFakeRenderer& operator=(const TFakeRenderer&) = delete;

    int toggleStats = 0;
    std::vector<TRect> fills;
    int glyphRenderers = 0;
    std::vector<std::string> textureNames;
    TTexturePtr simpleTexture;
    // "pop" and "push l,t,r,b" in call order.
    std::vector<std::string> clipCalls;

    void ToggleStats() override { ++toggleStats; }
    void FillRect(const TRect& rect, float, float, float, float) override { fills.push_back(rect); }
    void PopClipRect() override { clipCalls.emplace_back("pop"); }
    void PushClipRect(const TRect& rect) override {
        clipCalls.push_back("push " + std::to_string(rect.left) + "," + std::to_string(rect.top) +
                            "," + std::to_string(rect.right) + "," + std::to_string(rect.bottom));
    }
    TGlyphRendererLink* CreateGlyphRenderer() override {
        ++glyphRenderers;
        return new TGlyphRendererLink;
    }
    TTexturePtr GetSimpleTexture(const str& name) override {
        textureNames.emplace_back(name.CStr());
        return simpleTexture;
    }
};

// A sound manager at master volume 0.8 that records every volume call.
struct TFakeSound final : TSoundManagerLink {
    float master = 0.8f;
    std::vector<std::string> calls;

    float GetVolume(int category) override {
        calls.push_back("get " + std::to_string(category));
        return category == -1 ? master : 0.5f;
    }
    void SetVolume(int category, float volume) override {
        std::ostringstream call;
        call << "set " << category << " " << volume;
        calls.push_back(call.str());
        if (category == -1) {
            master = volume;
        }
    }
};

// A game-state handler that records the commands the game state passes on and pauses the game
// for a number of polls.
struct TFakeGameState final : TGameStateHandler {
    // QueryPause answers true this many times.
    int busyPolls = 0;
    std::vector<std::pair<std::string, int>> commands;

    bool SetState(const char* key, const char* value) override {
        commands.emplace_back(key, std::atoi(value));
        return false;
    }
    bool QueryPause() override {
        if (busyPolls > 0) {
            --busyPolls;
            return true;
        }
        return false;
    }
};

// A texture reference the tests can compare without a texture class: it shares ownership of an
// int and points at it.
inline TTexturePtr FakeTexture() {
    boost::shared_ptr<int> owner(new int(0));
    return TTexturePtr(owner, reinterpret_cast<TTexture*>(owner.get()));
}

class TPlatformTest : public ::testing::Test {
protected:
    static constexpr DWORD kStartTime = 5000000;

    void SetUp() override {
        static testing_fixtures::TempDir runtime;
        standin::SetRuntimeFolder(runtime.Path().string());
        standin::ResetPumpState();
        standin::SetFakeTime(kStartTime);
        char folder[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, folder);
        mOldFolder = folder;
        TFakeWindowManager::Reset();
        TWindowSystemFactory factory;
        factory.createWindowManager = []() -> TWindowManagerLink* {
            return new TFakeWindowManager;
        };
        SetWindowSystemFactory(factory);
        SetDisplayLink(nullptr);
        SetRendererLink(nullptr);
    }

    void TearDown() override {
        delete mPlatform;
        mPlatform = nullptr;
        UnregisterClassA(MainWindowClassName().CStr(), GetModuleHandleA(nullptr));
        for (HWND window : mExtraWindows) {
            if (IsWindow(window)) {
                DestroyWindow(window);
            }
        }
        MSG message;
        for (int i = 0; i < 1000 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
            DispatchMessageA(&message);
        }
        SetDisplayLink(nullptr);
        SetRendererLink(nullptr);
        SetWindowSystemFactory(TWindowSystemFactory{});
        gCommandLine = nullptr;
        gPortalHostWindow = nullptr;
        gPortalHostFullScreen = false;
        ClearSettings();
        SetCurrentDirectoryA(mOldFolder.c_str());
        standin::UseBuiltVersionBlock();
        standin::ResetPumpState();
        standin::UseRealTime();
    }

    // The record and TPlatform, without a window.
    TWin32Platform& MakePlatform(const char* commandLine = "") {
        mCommandLine = commandLine;
        auto* record = new TWin32Platform(GetModuleHandleA(nullptr), nullptr, mCommandLine.data(),
                                          SW_SHOWNORMAL, true);
        mPlatform = new TPlatform(record);
        return *record;
    }

    // The record, TPlatform and the shown main window, with the events of its opening consumed.
    TWin32Platform& Open(HWND host = nullptr) {
        TWin32Platform& record = MakePlatform();
        if (host != nullptr) {
            record.mEmbedded = true;
            record.mExternalWindowParent = host;
        }
        mPlatform->CreateMainWindow();
        mMain = record.mMainWindow;
        EXPECT_NE(mMain, nullptr);
        if (host == nullptr) {
            // The display handler shows the window when it sets the display up.
            ShowWindow(mMain, SW_SHOWNORMAL);
        }
        UntilIdle();
        return record;
    }

    // A recording handler of the real game state, made now if need be; the game state owns the
    // handler and deletes it with the platform.
    TFakeGameState& AddGameStateHandler() {
        auto* handler = new TFakeGameState;
        TGameState::Get();
        TGameState::AddHandler(handler);
        return *handler;
    }

    TEvent Next() {
        TEvent event;
        mPlatform->GetEvent(&event);
        return event;
    }

    // Every event up to, not including, the first idle event.
    std::vector<TEvent> UntilIdle() {
        std::vector<TEvent> events;
        for (int i = 0; i < 200; ++i) {
            TEvent event = Next();
            if (event.type == kEventIdle) {
                return events;
            }
            events.push_back(event);
        }
        ADD_FAILURE() << "no idle event";
        return events;
    }

    // Events up to and with the first idle or quit event, skipping activation changes.
    std::vector<TEvent> UntilIdleOrQuit() {
        std::vector<TEvent> events;
        for (int i = 0; i < 200; ++i) {
            TEvent event = Next();
            if (event.type == kEventActivation) {
                continue;
            }
            events.push_back(event);
            if (event.type == kEventIdle || event.type == kEventQuit) {
                break;
            }
        }
        return events;
    }

    // Waits until `done` holds, checking every millisecond; false after ten seconds.
    template <class Done>
    static bool WaitUntil(Done done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    static std::vector<int> Types(const std::vector<TEvent>& events) {
        std::vector<int> types;
        for (const TEvent& event : events) {
            types.push_back(event.type);
        }
        return types;
    }

    // A plain visible top-level window, destroyed after the test.
    HWND MakeWindow(int width, int height, DWORD style = WS_POPUP | WS_VISIBLE) {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = DefWindowProcA;
            windowClass.lpszClassName = "PlatformTestOther";
            RegisterClassA(&windowClass);
            registered = true;
        }
        HWND window = CreateWindowExA(0, "PlatformTestOther", "other", style, 600, 400, width,
                                      height, nullptr, nullptr, nullptr, nullptr);
        mExtraWindows.push_back(window);
        return window;
    }

    TPlatform* mPlatform = nullptr;
    HWND mMain = nullptr;
    std::string mCommandLine;
    std::string mOldFolder;
    std::vector<HWND> mExtraWindows;
};

} // namespace platform_test
