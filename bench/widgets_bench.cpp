// A dialog of 200 widget windows on the headless 800x600 display, from one Lua description: 25
// panels, each with an image, a translated text and a push button with three state images and a
// translated label (8 windows a panel). The images are a 4 x 4 PNG served from memory.
// - the build: the description run through GenericCreate (Init, children, PostCreate), as a
//   dialog file builds its windows, into a dialog layer that is then popped and deleted;
// - one frame: BeginDraw, the modal stack drawn (DrawModalStack), EndDraw with the present and
//   the message pump.
#include "bench/benchscreen.h"

#include "engine/core/knownfiles.h"
#include "engine/ui/stringtable.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowsystem.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace {

// 4 x 4 RGB: red on the left, dark on the right.
const unsigned char kImagePng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x08, 0x02, 0x00, 0x00, 0x00, 0x26, 0x93, 0x09,
    0x29, 0x00, 0x00, 0x00, 0x13, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0xf8, 0xcf, 0xc0, 0x00,
    0x44, 0x5c, 0x60, 0xc0, 0x40, 0x1c, 0x07, 0x00, 0x04, 0xe3, 0x08, 0xe9, 0x98, 0x0f, 0xcd, 0x20,
    0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

// One description; the panels are made by a loop inside it.
const char kDescription[] =
    "function BenchPanel(i, x, y)\n"
    "  return Window{ name = 'panel' .. i, x = x, y = y, w = 150, h = 110,\n"
    "    Bitmap{ name = 'image' .. i, x = 5, y = 5, image = 'bench/image.png', scale = 8 },\n"
    "    Text{ name = 'text' .. i, x = 40, y = 5, w = 105, h = 30, label = 'title' .. i,\n"
    "          font = { '__DEFAULT', 14, { 1, 1, 1, 1 } } },\n"
    "    Button{ name = 'button' .. i, x = 5, y = 50, scale = 10,\n"
    "      graphics = { 'bench/image.png', 'bench/image.png', 'bench/image.png' },\n"
    "      Text{ name = 'label', w = 40, h = 40, label = 'press', flags = 5 } } }\n"
    "end\n"
    "function BenchDialog()\n"
    "  local d = {}\n"
    "  for row = 0, 4 do\n"
    "    for column = 0, 4 do\n"
    "      table.insert(d, BenchPanel(row * 5 + column, column * 160, row * 120))\n"
    "    end\n"
    "  end\n"
    "  MakeDialog(d)\n"
    "end\n";

int CountWindows(const TWindow& window) {
    int count = 1;
    for (const TWindow* child : window.GetChildren()) {
        count += CountWindows(*child);
    }
    return count;
}

class TWidgetDialog {
public:
    TWidgetDialog() {
        RegisterWindowSystem();
        mScreen = std::make_unique<bench_screen::TScreen>();
        RegisterMemoryFile("bench/image.png", kImagePng, sizeof kImagePng);
        TWindowManager* manager = GetWindowManager();
        if (manager == nullptr || manager->GetRootWindow() == nullptr) {
            throw std::runtime_error("no window manager with a root screen");
        }
        std::string sheet = "<?xml version=\"1.0\"?><Workbook><Table>\n";
        for (int i = 0; i < 25; ++i) {
            sheet += "<Row><Cell><Data ss:Type=\"String\">title" + std::to_string(i) +
                     "</Data></Cell><Cell><Data ss:Type=\"String\">Title number " +
                     std::to_string(i) + "</Data></Cell></Row>\n";
        }
        sheet += "<Row><Cell><Data ss:Type=\"String\">press</Data></Cell><Cell><Data "
                 "ss:Type=\"String\">Go</Data></Cell></Row>\n</Table></Workbook>";
        static_cast<TStringTable*>(TPlatform::GetInstance()->GetStringTable())
            ->AddRows(sheet.data(), sheet.size());
        manager->SetTranslateLabels(true);
        Script().DoLuaString(kDescription);
    }

    ~TWidgetDialog() {
        RegisterMemoryFile("bench/image.png", nullptr, 0);
        mScreen.reset();
    }

    TWidgetDialog(const TWidgetDialog&) = delete;
    TWidgetDialog& operator=(const TWidgetDialog&) = delete;

    static TWindowScript& Script() { return *GetWindowManager()->GetWindowScript(); }

    // A new dialog layer on top with the 200 windows in it.
    static TModalWindow* Build() {
        TWindowManager* manager = GetWindowManager();
        auto* dialog = new TModalWindow;
        manager->PushModal(dialog);
        Script().ResetCreationStack(dialog);
        Script().DoLuaString("BenchDialog()");
        return dialog;
    }

    static void Pop() {
        TWindowManager* manager = GetWindowManager();
        manager->PopModal();
        manager->DeletePendingWindows();
    }

private:
    std::unique_ptr<bench_screen::TScreen> mScreen;
};

void BM_WidgetDialogBuild(benchmark::State& state) {
    TWidgetDialog bench;
    for (auto _ : state) {
        TModalWindow* dialog = TWidgetDialog::Build();
        state.PauseTiming();
        if (CountWindows(*dialog) != 201) {
            state.SkipWithError("the dialog does not hold 200 windows");
            break;
        }
        TWidgetDialog::Pop();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WidgetDialogBuild)->Unit(benchmark::kMillisecond);

void BM_WidgetDialogFrame(benchmark::State& state) {
    TWidgetDialog bench;
    TModalWindow* dialog = TWidgetDialog::Build();
    if (CountWindows(*dialog) != 201) {
        state.SkipWithError("the dialog does not hold 200 windows");
        return;
    }
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
BENCHMARK(BM_WidgetDialogFrame)->Unit(benchmark::kMillisecond);

} // namespace
