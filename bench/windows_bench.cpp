// A window tree of 200 windows on the headless 800x600 display: a full-screen dialog over the root
// screen holding 5 panels, each with 3 sub-panels of 4 tiles, each tile with 2 marks. Every
// window is placed from a Lua definition with coded coordinates (centred, from the far edge,
// relative sizes) through Init and PostCreate, and fills its rectangle with a colour.
// - one frame: BeginDraw, the modal stack drawn (DrawModalStack), EndDraw with the present and
//   the message pump, as the window manager draws a frame;
// - one mouse move routed by the window manager to the deepest window under the mouse, whose
//   ancestors decline it up to the dialog.
#include "bench/benchscreen.h"

#include "engine/core/event.h"
#include "engine/script/luawrapper.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowstyle.h"
#include "engine/ui/windowsystem.h"

#include <memory>
#include <stdexcept>

namespace {

// Fills its client rectangle with its colour.
class TPanel final : public TWindow {
public:
    explicit TPanel(const TColor& color) : mColor(color) {}
    void Draw() override {
        TRenderer::Existing()->FillRect(GetClientRect(), mColor, TTexturePtr());
    }

private:
    TColor mColor;
};

// Definitions by level: 5 panels side by side, centred vertically and 40 short of the height;
// sub-panels centred across, stacked; tiles counted from the far edge; marks in the tiles.
const char kDefinitions[] = "kCenter = 80000; kMax = 160000\n"
                            "function Panel(i) return { x = 10 + i * 158, y = kCenter,"
                            " w = 150, h = kMax - 40 } end\n"
                            "function SubPanel(i) return { x = kCenter, y = 10 + i * 180,"
                            " w = kMax - 10, h = 170 } end\n"
                            "function Tile(i) return { x = -(i + 1) * 34, y = kCenter,"
                            " w = 30, h = kMax - 20 } end\n"
                            "function Mark(i) return { x = kCenter, y = kMax - 10 - i * 40,"
                            " w = kMax - 6, h = 30, align = 8 } end\n";

constexpr int kChildren[] = {5, 3, 4, 2};
const char* const kMakers[] = {"Panel", "SubPanel", "Tile", "Mark"};

class TWindowTree {
public:
    TWindowTree() {
        RegisterWindowSystem();
        mScreen = std::make_unique<bench_screen::TScreen>();
        TWindowManager* manager = GetWindowManager();
        if (manager == nullptr || manager->GetRootWindow() == nullptr) {
            throw std::runtime_error("no window manager with a root screen");
        }
        mDialog = new TModalWindow;
        manager->PushModal(mDialog);
        TWindowScript* script = manager->GetWindowScript();
        script->DoLuaString(kDefinitions);
        AddLevel(*script, mDialog, 0);
        if (mCount != 200) {
            throw std::runtime_error("the tree does not hold 200 windows");
        }
    }

    TModalWindow* Dialog() const { return mDialog; }

private:
    // Created as the window script creates windows: linked to the parent, Init, the children,
    // PostCreate.
    void AddLevel(TScript& script, TWindow* parent, int level) {
        if (level == 4) {
            return;
        }
        lua_State* state = script.GetState();
        for (int i = 0; i < kChildren[level]; ++i) {
            lua_pushstring(state, kMakers[level]);
            lua_gettable(state, LUA_GLOBALSINDEX);
            lua_pushnumber(state, i);
            lua_call(state, 1, 1);
            TLuaTable definition(state);
            TWindowStyle style(script, definition);
            const float shade = 0.2f + 0.2f * static_cast<float>(level);
            auto* window = new TPanel(TColor{shade, 1.0f - shade, 0.1f * static_cast<float>(i), 1});
            parent->AddChild(window, true);
            window->Init(style);
            AddLevel(script, window, level + 1);
            window->PostCreate(style);
            ++mCount;
        }
    }

    std::unique_ptr<bench_screen::TScreen> mScreen;
    TModalWindow* mDialog = nullptr;
    int mCount = 0;
};

void BM_WindowTreeFrame(benchmark::State& state) {
    TWindowTree tree;
    TRenderer& renderer = *TRenderer::Existing();
    TWindowManager& manager = *GetWindowManager();
    for (auto _ : state) {
        if (!renderer.BeginDraw(0)) {
            state.SkipWithError("BeginDraw refused the frame");
            break;
        }
        manager.DrawModalStack();
        renderer.EndDraw(1);
        bench_screen::Pump();
    }
    bench_screen::ReportPresents(state);
}
BENCHMARK(BM_WindowTreeFrame)->Unit(benchmark::kMillisecond);

void BM_WindowTreeMouseMove(benchmark::State& state) {
    TWindowTree tree;
    TWindowManager& manager = *GetWindowManager();
    // Over a mark in the last panel, and over a tile between two marks, in turn.
    TEvent moves[2];
    moves[0].type = kEventMouseMove;
    moves[0].x = 770;
    moves[0].y = 500;
    moves[1] = moves[0];
    moves[1].x = 700;
    moves[1].y = 295;
    int turn = 0;
    for (auto _ : state) {
        manager.HandleEvent(moves[turn]);
        turn ^= 1;
    }
}
BENCHMARK(BM_WindowTreeMouseMove)->Unit(benchmark::kMicrosecond);

} // namespace
