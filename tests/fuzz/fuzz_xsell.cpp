// Serves the input as "xsell/xsell.xml", plain on even first bytes and behind a "ZXML" header
// (deflated, so the inflater reaches the reader) on odd ones, and sets it up into a cross-sell
// window with a child tree like the asset scripts': the description texts, the buttons, the
// centre texts and the logos. Then every game link is launched; web links are only recorded.
#include "engine/core/knownfiles.h"
#include "engine/script/script.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/text.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowsystem.h"
#include "engine/ui/xsellwindow.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

TWin32Platform* gRecord = nullptr;
TPlatform* gPlatform = nullptr;
// One for the run: each input's panel publishes its globals and withdraws them.
TWindowScript* gScript = nullptr;

void PutLe32(std::vector<unsigned char>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// The panel's children; a few missing or of another class, as damaged scripts leave them.
void BuildPanel(TXSellWindow& panel, uint8_t shape) {
    for (int n = 1; n <= 9; ++n) {
        TWindow* description = (shape >> (n % 8)) & 1 ? new TWindow : new TText;
        description->SetName(str::FromFormat("descrip%d", n));
        panel.AddChild(description, false);
        if (description->IsKindOf(TText::ClassId())) {
            static_cast<TText*>(description)
                ->CreateSprite("", 100, 12, 0, "__DEFAULT", 10, TColor{1, 1, 1, 1});
        }
        auto* button = new TWindow;
        button->SetName(str::FromFormat("xsellbutton%d", n));
        button->SetSize(n * 3, n);
        panel.AddChild(button, false);
    }
    for (const char* name : {"centertext1", "centertext2"}) {
        auto* text = new TText;
        text->SetName(name);
        text->CreateSprite("", 80, 12, 0, "__DEFAULT", 10, TColor{1, 1, 1, 1});
        panel.AddChild(text, false);
    }
    for (const char* name : {"sitelogo", "kelvanelogo", "gamesite"}) {
        auto* window = new TWindow;
        window->SetName(name);
        window->SetSize(7, 5);
        panel.AddChild(window, false);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    standin::SetFakeTime(1000);
    standin::RecordShellExecute(true);
    RegisterWindowSystem();
    static char commandLine[1] = "";
    gRecord =
        new TWin32Platform(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL, true);
    gRecord->StopCursorThread();
    gPlatform = new TPlatform(gRecord);
    gRecord->mWindowManager = new TWindowManager;
    gScript = new TWindowScript(nullptr);
    GetWindowManager()->SetScript(gScript);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    std::vector<unsigned char> file;
    const uint8_t shape = data[0];
    if ((shape & 1) == 0) {
        file.assign(data + 1, data + size);
    } else {
        uLongf packed = compressBound(static_cast<uLong>(size - 1));
        file.resize(12 + packed);
        if (compress(file.data() + 12, &packed, data + 1, static_cast<uLong>(size - 1)) != Z_OK) {
            return 0;
        }
        file.resize(12 + packed);
        std::memcpy(file.data(), "ZXML", 4);
        PutLe32(file, 4, static_cast<uint32_t>(packed));
        PutLe32(file, 8, static_cast<uint32_t>(size - 1));
    }
    RegisterMemoryFile("xsell/xsell.xml", file.data(), static_cast<unsigned>(file.size()));

    TWindowScript* script = gScript;
    {
        TWindow root;
        auto* panel = new TXSellWindow;
        root.AddChild(panel, false);
        BuildPanel(*panel, shape);
        script->DoLuaString("SetupXSell() SetupXSell()");
        for (int n = -1; n <= 9; ++n) {
            panel->LaunchGameLink(n);
        }
    }
    // The window withdrew its globals: a call is a script error, not a use of freed memory.
    script->DoLuaString("pcall(SetupXSell) pcall(LaunchGameLink, 1)");
    RegisterMemoryFile("xsell/xsell.xml", nullptr, 0);
    standin::TakeShellExecutes();
    return 0;
}
