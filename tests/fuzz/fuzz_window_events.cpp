// Feeds event sequences decoded from the input to a window manager and a fixture tree on a
// headless 160 x 120 display: every event type at points inside, on the edges of and outside the
// windows, pushes and pops of dialogs, messages of every kind, time passing for the frame limiter
// and the layers' tasks. The windows' handlers read what they do from the input too: track the
// mouse, delete themselves or their children, push, pop, post, move, resize, reorder, enable,
// cover, focus, animate. Each input runs on a new window manager, which is then destroyed with
// whatever is still open.
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/media.h"
#include "engine/media/renderer.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/message.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowsystem.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
// Bounds that keep one input short: windows alive at once, and handlers running inside handlers.
constexpr size_t kMaxWindows = 120;
constexpr int kMaxDepth = 6;

class TInput {
public:
    void Reset(const uint8_t* data, size_t size) {
        mData = data;
        mSize = size;
        mPos = 0;
    }
    bool Empty() const { return mPos >= mSize; }
    // 0 once the input is used up, so every handler then does nothing.
    uint8_t Byte() { return mPos < mSize ? mData[mPos++] : 0; }
    int Small(int range) { return Byte() % range; }

private:
    const uint8_t* mData = nullptr;
    size_t mSize = 0;
    size_t mPos = 0;
};

TInput gInput;
// The fixture windows alive now, to pick targets from.
std::vector<TWindow*> gLive;
int gDepth = 0;
TWin32Platform* gRecord = nullptr;

TWindowManager* Manager() {
    return GetWindowManager();
}

TWindow* PickWindow() {
    const int pick = gInput.Byte();
    if (gLive.empty() || pick == 255) {
        return nullptr;
    }
    return gLive[static_cast<size_t>(pick) % gLive.size()];
}

// A name some window may have: the root's, a dialog's, a window's or an id text.
str PickName() {
    static const char* const kNames[] = {"_screen_", "d0", "d1", "d2", "w0", "w1", "", "none"};
    const int pick = gInput.Small(10);
    if (pick < 8) {
        return kNames[pick];
    }
    TWindow* window = PickWindow();
    return window != nullptr ? window->GetIdText() : str("       0");
}

TPoint PickPoint() {
    const int mode = gInput.Small(4);
    TWindow* window = PickWindow();
    if (mode == 0 || window == nullptr) {
        return TPoint{static_cast<int8_t>(gInput.Byte()) * 2,
                      static_cast<int8_t>(gInput.Byte()) * 2};
    }
    const TRect rect = window->GetScreenRect();
    // Inside, on each edge (the right and bottom ones are outside), or just outside.
    const int xs[] = {rect.left, rect.right - 1, rect.right, rect.left - 1,
                      rect.left + (rect.right - rect.left) / 2};
    const int ys[] = {rect.top, rect.bottom - 1, rect.bottom, rect.top - 1,
                      rect.top + (rect.bottom - rect.top) / 2};
    return TPoint{xs[gInput.Small(5)], ys[gInput.Small(5)]};
}

TRect PickRect() {
    static const int kCoords[] = {0, 1, 10, 40, 80, -10, 159, 160, 119, 120, 400, -400};
    const int left = kCoords[gInput.Small(12)];
    const int top = kCoords[gInput.Small(12)];
    return TRect{left, top, left + kCoords[gInput.Small(12)], top + kCoords[gInput.Small(12)]};
}

void Place(TWindow* window, const TRect& rect) {
    window->MoveTo(rect.left, rect.top);
    window->SetSize(rect.right - rect.left, rect.bottom - rect.top);
}

void AddChildren(TWindow* parent, int count, int depth);
void PushDialog();

// One action a handler takes, read from the input; the answer is the handler's result.
bool Act(TWindow* self) {
    const uint8_t code = gInput.Byte();
    const bool answer = (code & 0x80) != 0;
    if (gDepth >= kMaxDepth) {
        return answer;
    }
    ++gDepth;
    TWindowManager* manager = Manager();
    const bool modal = self->IsKindOf(TModalWindow::ClassId());
    switch (code & 0x1F) {
    case 1:
        manager->StartTracking(self);
        break;
    case 2:
        manager->StopTracking(self);
        break;
    case 3:
        if (!modal && self->GetParent() != nullptr) {
            self->GetParent()->RemoveChild(self);
            manager->DeleteWindowLater(self);
        }
        break;
    case 4:
        if (!modal || self == manager->GetTopModal()) {
            self->DeleteChildren();
        }
        break;
    case 5:
        PushDialog();
        break;
    case 6:
        manager->PopModal();
        break;
    case 7:
        manager->DoPopModal(PickName());
        break;
    case 8: {
        static const int32_t kKinds[] = {0, 1, 2, 3, 4, 5, 6, 8, 1000};
        const int32_t kind = kKinds[gInput.Small(9)];
        manager->PostMessage(new TMessage(kind, PickName(), PickWindow()));
        break;
    }
    case 9:
        manager->SetFocus(PickWindow());
        break;
    case 10:
        self->SetFlags(self->GetFlags() ^
                       (gInput.Byte() & 1 ? TWindow::kEnabled : TWindow::kCovering));
        break;
    case 11:
        Place(self, PickRect());
        break;
    case 12:
        if (self->GetParent() != nullptr) {
            self->Reorder(gInput.Small(5), PickWindow());
        }
        break;
    case 13:
        if (TModalWindow* parent = self->GetModalParent()) {
            parent->SetDefaultFocus(self);
        }
        break;
    case 14:
        manager->SetTopModalOnly(!manager->IsTopModalOnly());
        break;
    case 15:
        if (self->GetModalParent() != nullptr || modal) {
            self->StartAnimation(gInput.Small(40), gInput.Byte() & 1, true, gInput.Byte() & 1);
        }
        break;
    case 16:
        TWindow::SendMessage(self, new TMessage(gInput.Small(9), PickName(), nullptr));
        break;
    case 17:
        manager->SetDrawingSuspended(!manager->IsDrawingSuspended());
        break;
    case 18:
        if (!modal) {
            AddChildren(self, 1, 1);
        }
        break;
    case 19:
        if (modal) {
            static_cast<TModalWindow*>(self)->SetHotKey(PickName(), PickName());
        }
        break;
    case 20:
        manager->Invalidate();
        break;
    default:
        break;
    }
    --gDepth;
    return answer;
}

class TFuzzWindow : public TWindow {
public:
    TFuzzWindow() { gLive.push_back(this); }
    ~TFuzzWindow() override { gLive.erase(std::find(gLive.begin(), gLive.end(), this)); }
    TFuzzWindow(const TFuzzWindow&) = delete;
    TFuzzWindow& operator=(const TFuzzWindow&) = delete;

    void Draw() override { Act(this); }
    bool OnMessage(TMessage*) override { return Act(this); }
    bool OnAnimate() override { return Act(this); }
    bool OnMouseDown(const TPoint&) override { return Act(this); }
    bool OnMouseButton(const TPoint&, int) override { return Act(this); }
    bool OnMouseUp(const TPoint&) override { return Act(this); }
    bool OnMouseMove(const TPoint&) override { return Act(this); }
    bool OnMouseLeave() override { return Act(this); }
    bool OnChar(uint8_t) override { return Act(this); }
    bool OnTextInput(const str&) override { return Act(this); }
    bool OnKeyDown(uint8_t, int) override { return Act(this); }
    bool OnKeyUp(uint8_t) override { return Act(this); }
    bool OnMouseHover(const TPoint&) override { return Act(this); }
};

class TFuzzDialog : public TModalWindow {
public:
    TFuzzDialog() { gLive.push_back(this); }
    ~TFuzzDialog() override { gLive.erase(std::find(gLive.begin(), gLive.end(), this)); }
    TFuzzDialog(const TFuzzDialog&) = delete;
    TFuzzDialog& operator=(const TFuzzDialog&) = delete;

    void Draw() override { Act(this); }
    bool OnMessage(TMessage* message) override {
        return Act(this) || TModalWindow::OnMessage(message);
    }
    bool OnMouseDown(const TPoint&) override { return Act(this); }
    bool OnMouseLeave() override { return Act(this); }
    bool OnKeyDown(uint8_t key, int modifiers) override {
        return Act(this) || TModalWindow::OnKeyDown(key, modifiers);
    }
};

void AddChildren(TWindow* parent, int count, int depth) {
    for (int i = 0; i < count && gLive.size() < kMaxWindows; ++i) {
        auto* child = new TFuzzWindow;
        child->SetName(str::FromFormat("w%d", gInput.Small(3)));
        parent->AddChild(child, true);
        Place(child, PickRect());
        if (depth > 0) {
            AddChildren(child, gInput.Small(3), depth - 1);
        }
    }
}

// The fixed part of the tree: two overlapping windows on the root, one with nested children.
void BuildFixture(TWindow* root) {
    const struct {
        int parent;
        const char* name;
        TRect rect;
    } kWindows[] = {
        {-1, "w0", {0, 0, 100, 80}},    {0, "w1", {10, 10, 60, 50}}, {1, "w2", {5, 5, 25, 25}},
        {-1, "w1", {60, 40, 160, 120}}, {3, "w0", {0, 0, 100, 80}},
    };
    std::vector<TWindow*> made;
    for (const auto& w : kWindows) {
        auto* window = new TFuzzWindow;
        window->SetName(w.name);
        (w.parent < 0 ? root : made[static_cast<size_t>(w.parent)])->AddChild(window, true);
        Place(window, w.rect);
        made.push_back(window);
    }
}

void PushDialog() {
    if (gLive.size() >= kMaxWindows) {
        return;
    }
    auto* dialog = new TFuzzDialog;
    dialog->SetName(str::FromFormat("d%d", gInput.Small(3)));
    if (gInput.Byte() & 1) {
        Place(dialog, PickRect());
    }
    Manager()->PushModal(dialog);
    if (Manager()->GetTopModal() != dialog) {
        // Refused (no modal window can go over it): nobody owns it.
        delete dialog;
        return;
    }
    AddChildren(dialog, gInput.Small(4), 2);
}

void SendEvent(int32_t type) {
    TEvent event;
    event.type = type;
    const TPoint point = PickPoint();
    event.x = point.x;
    event.y = point.y;
    static const int32_t kParams[] = {0,  1,  2,   3,    4,     5,    6,     7,
                                      13, 27, 'A', 0x70, 0x141, 0xE9, 0x20AC};
    event.param = kParams[gInput.Small(15)];
    event.modifiers = gInput.Small(16);
    Manager()->HandleEvent(event);
}

void Pump() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    standin::TDesktop desktop;
    desktop.width = 1024;
    desktop.height = 768;
    standin::SetDesktop(desktop);
    standin::SetFakeTime(1000);
    RegisterMedia();
    RegisterWindowSystem();
    static char commandLine[1] = "";
    gRecord =
        new TWin32Platform(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL, true);
    // The cursor thread reads the window manager, which each input replaces.
    gRecord->StopCursorThread();
    auto* platform = new TPlatform(gRecord);
    platform->CreateMainWindow();
    CreateRenderer();
    platform->SetDisplay(kWidth, kHeight, false);
    Pump();
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr || !renderer->GetDisplayHandler().IsReady()) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gInput.Reset(data, size);
    delete gRecord->mWindowManager;
    gRecord->mWindowManager = new TWindowManager;
    Manager()->CreateRootScreen(kWidth, kHeight);
    BuildFixture(Manager()->GetRootWindow());
    for (int step = 0; step < 400 && !gInput.Empty(); ++step) {
        const uint8_t op = gInput.Byte();
        if (op < 20) {
            SendEvent(op);
        } else if (op < 28) {
            standin::AdvanceTime(static_cast<DWORD>(gInput.Byte()));
        } else if (op < 32) {
            PushDialog();
        } else if (TWindow* window = PickWindow()) {
            Act(window);
        }
    }
    delete gRecord->mWindowManager;
    gRecord->mWindowManager = new TWindowManager;
    if (!gLive.empty()) {
        std::abort();
    }
    Pump();
    return 0;
}
