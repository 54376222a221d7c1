// The render facade on a real X server (Xvfb): a game run by the engine's start-up sets an 800 x
// 600 window and draws solid frames through the facade, and the window as the server shows it
// takes each frame's colour, every pixel of it. Skipped when no X server can be started.
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/media.h"
#include "engine/media/renderer.h"
#include "engine/system/enginemain.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/tempdir.h"
#include "tests/fixtures/xpixels.h"
#include "tests/fixtures/xserver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using testing_fixtures::FinishChild;
using testing_fixtures::kChildPassed;

enum : int {
    kRendererGameNotRun = 70,
    kRendererWrongDriver = 71,
    kRendererNoXWindow = 72,
    kRendererNotReady = 73,
    kRendererColourNotShown = 74,
};

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
// Every channel differs within and between them: a swapped or dropped channel, or a frame that
// never replaced the one before, shows.
constexpr D3DCOLOR kFrameColours[] = {0xFF2080E0, 0xFFE06020};

// What the game main found, the child's exit code.
int gRendererGameResult = kRendererGameNotRun;

// One frame of `colour` through the facade: an opaque pre-lit quad over the whole window.
bool DrawSolidFrame(D3DCOLOR colour) {
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr || !renderer->BeginDraw(0)) {
        return false;
    }
    renderer->Begin2d();
    renderer->SetBlendMode(1);
    constexpr float kRight = kScreenWidth;
    constexpr float kBottom = kScreenHeight;
    D3DLVERTEX quad[4] = {{0, 0, 0.1f, 0, colour, 0xFF000000, 0, 0},
                          {kRight, 0, 0.1f, 0, colour, 0xFF000000, 1, 0},
                          {kRight, kBottom, 0.1f, 0, colour, 0xFF000000, 1, 1},
                          {0, kBottom, 0.1f, 0, colour, 0xFF000000, 0, 1}};
    renderer->DrawVertices(D3DPT_TRIANGLEFAN, TVertexSet::FromLitVertices(quad, 4));
    renderer->End2d();
    renderer->EndDraw(1);
    return true;
}

// Whether the server shows the window at 800 x 600 in `colour` throughout; says what it saw
// instead when `report`.
bool ShowsColour(const testing_fixtures::TServerWindow& window, D3DCOLOR colour, bool report) {
    const std::vector<std::uint32_t> pixels = window.Pixels(kScreenWidth, kScreenHeight);
    if (pixels.empty()) {
        if (report) {
            std::fprintf(stderr, "the window is not viewable at 800 x 600\n");
        }
        return false;
    }
    std::size_t wrong = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (pixels[i] != colour && wrong++ == 0) {
            first = i;
        }
    }
    if (wrong != 0 && report) {
        std::fprintf(stderr, "%zu pixels differ from %08X; the first, (%zu, %zu), is %08X\n", wrong,
                     colour, first % kScreenWidth, first / kScreenWidth, pixels[first]);
    }
    return wrong == 0;
}

// The game: a windowed display, then each colour drawn and the events pumped until the server
// shows it, for ten seconds at most each.
int SolidColourGame(TPlatform* platform, const char* /*commandLine*/) {
    platform->SetDisplay(kScreenWidth, kScreenHeight, false);
    // The server's pointer may lie over the window: the game's cursor would be in every frame.
    platform->SetCursorVisible(false);
    HWND main = platform->GetWin32()->mMainWindow;
    if (main == nullptr || standin::CurrentVideoDriver() != "x11") {
        gRendererGameResult = kRendererWrongDriver;
        return 0;
    }
    const testing_fixtures::TServerWindow window(main);
    if (!window.IsOpen()) {
        gRendererGameResult = kRendererNoXWindow;
        return 0;
    }
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr || !renderer->GetDisplayHandler().IsReady()) {
        gRendererGameResult = kRendererNotReady;
        return 0;
    }
    for (const D3DCOLOR colour : kFrameColours) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int drawn = 0;
        bool shown = false;
        while (!shown && std::chrono::steady_clock::now() < end) {
            TEvent event;
            platform->GetEvent(&event);
            drawn += DrawSolidFrame(colour) ? 1 : 0;
            shown = ShowsColour(window, colour, false);
        }
        if (!shown) {
            std::fprintf(stderr, "%d frames of %08X drawn\n", drawn, colour);
            ShowsColour(window, colour, true);
            gRendererGameResult = kRendererColourNotShown;
            return 0;
        }
    }
    gRendererGameResult = kChildPassed;
    return 0;
}

CHILD_ENTRY(RendererXServerChild) {
    RegisterMedia();
    char commandLine[] = "";
    EngineMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL, &SolidColourGame,
               true);
    FinishChild(gRendererGameResult);
}

// The engine's log from the child's data folders, to show with a failure.
std::string EngineLog(const testing_fixtures::TempDir& home) {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Path(), error)) {
        if (entry.path().filename() == "logfile.txt") {
            return home.Read(entry.path().lexically_relative(home.Path()).string());
        }
    }
    return "(no log)";
}

TEST(RendererXServer, SolidFramesThroughTheFacadeFillTheWindow) {
    testing_fixtures::TXvfb server;
    if (!server.Start()) {
        GTEST_SKIP() << server.Why();
    }
    // HOME points into a folder of the test's own: the child's data folders and log land there.
    testing_fixtures::TempDir home(true);
    testing_fixtures::TempDir runtime;
    const int code =
        server.RunChild("RendererXServerChild", {"XDG_RUNTIME_DIR=" + runtime.Path().string()});
    EXPECT_NE(code, kRendererGameNotRun) << "the engine never ran the game main";
    EXPECT_NE(code, kRendererWrongDriver) << "no main window on the X server";
    EXPECT_NE(code, kRendererNoXWindow) << "no X11 window behind the main window";
    EXPECT_NE(code, kRendererNotReady) << "the 800 x 600 windowed display did not come up";
    EXPECT_NE(code, kRendererColourNotShown)
        << "the server never showed a frame's colour in the window (see the child's output)";
    EXPECT_EQ(code, kChildPassed) << EngineLog(home);
}

} // namespace
