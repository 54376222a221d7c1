// The desktop description (desktop.h) and the Win32 calls that answer from it: the system
// metrics, the screen's device context and caps, the work area and the monitors.
#include "platform/win32/desktop.h"

#include "platform/win32/userstate.h"
#include "platform/win32/windowbackend.h"
#include "platform/win32/wingdi.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

using namespace standin::detail;
using standin::TDesktop;
using standin::TMonitorDesc;

// Monitor handles stand for monitor indexes; they are never dereferenced.
constexpr std::uintptr_t kMonitorHandleBase = 0x7D0000;
constexpr std::uintptr_t kMonitorHandleStep = 0x10;

bool RectEmpty(const RECT& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

RECT RectIntersection(const RECT& a, const RECT& b) {
    const RECT cut{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
    return RectEmpty(cut) ? RECT{} : cut;
}

std::int64_t RectArea(const RECT& rect) {
    return RectEmpty(rect) ? 0 : std::int64_t{rect.right - rect.left} * (rect.bottom - rect.top);
}

// Squared distance between the closest points of two rectangles; 0 when they touch or overlap.
std::int64_t RectDistance(const RECT& a, const RECT& b) {
    const std::int64_t dx =
        std::max<std::int64_t>({0, std::int64_t{b.left} - a.right, std::int64_t{a.left} - b.right});
    const std::int64_t dy =
        std::max<std::int64_t>({0, std::int64_t{b.top} - a.bottom, std::int64_t{a.top} - b.bottom});
    return dx * dx + dy * dy;
}

// A work area inside its monitor; an empty one, or one wholly outside it, is the whole monitor.
RECT WorkAreaOn(const RECT& monitor, const RECT& workArea) {
    if (RectEmpty(workArea)) {
        return monitor;
    }
    const RECT cut = RectIntersection(monitor, workArea);
    return RectEmpty(cut) ? monitor : cut;
}

TDesktop NormalisedDesktop(TDesktop desktop) {
    desktop.width = std::max(desktop.width, 0);
    desktop.height = std::max(desktop.height, 0);
    const RECT primary{0, 0, desktop.width, desktop.height};
    if (desktop.monitors.empty()) {
        desktop.monitors.push_back(TMonitorDesc{primary, RECT{}});
    }
    desktop.monitors.front().rect = primary;
    desktop.monitors.front().workArea = desktop.workArea;
    for (TMonitorDesc& monitor : desktop.monitors) {
        monitor.workArea = WorkAreaOn(monitor.rect, monitor.workArea);
    }
    desktop.workArea = desktop.monitors.front().workArea;
    return desktop;
}

TDesktop SystemDesktop(const TDesktopState& state) {
    TDesktop desktop;
    desktop.width = state.systemWidth;
    desktop.height = state.systemHeight;
    desktop.bitsPerPixel = 32;
    desktop.refreshRate = state.systemRefresh;
    return NormalisedDesktop(desktop);
}

// SDL's desktop is known once its video runs: starts it when the description in use is the
// system's. Not with SyncLock held.
void KnowSystemDesktop() {
    bool system = false;
    {
        auto hold = Hold();
        system = !User().desktop.set.has_value();
    }
    if (system) {
        StartBackend();
    }
}

TDesktop ReadDesktop() {
    KnowSystemDesktop();
    auto hold = Hold();
    return DesktopLocked();
}

HMONITOR MonitorHandle(std::size_t index) {
    return reinterpret_cast<HMONITOR>(kMonitorHandleBase + index * kMonitorHandleStep);
}

std::optional<std::size_t> MonitorIndex(HMONITOR monitor, const TDesktop& desktop) {
    const auto value = reinterpret_cast<std::uintptr_t>(monitor);
    if (value < kMonitorHandleBase || (value - kMonitorHandleBase) % kMonitorHandleStep != 0) {
        return std::nullopt;
    }
    const std::size_t index = (value - kMonitorHandleBase) / kMonitorHandleStep;
    if (index >= desktop.monitors.size()) {
        return std::nullopt;
    }
    return index;
}

// The monitor sharing the most of `rect`; none when it shares nothing with any. An empty rect
// stands for the pixel at its top-left corner.
std::optional<std::size_t> MonitorSharingMost(const TDesktop& desktop, RECT rect) {
    if (RectEmpty(rect)) {
        rect = RECT{rect.left, rect.top, rect.left + 1, rect.top + 1};
    }
    std::optional<std::size_t> best;
    std::int64_t bestArea = 0;
    for (std::size_t i = 0; i < desktop.monitors.size(); ++i) {
        const std::int64_t area = RectArea(RectIntersection(desktop.monitors[i].rect, rect));
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return best;
}

std::size_t MonitorNearest(const TDesktop& desktop, const RECT& rect) {
    if (const auto sharing = MonitorSharingMost(desktop, rect)) {
        return *sharing;
    }
    std::size_t best = 0;
    std::int64_t bestDistance = INT64_MAX;
    for (std::size_t i = 0; i < desktop.monitors.size(); ++i) {
        const std::int64_t distance = RectDistance(desktop.monitors[i].rect, rect);
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

RECT VirtualScreen(const TDesktop& desktop) {
    RECT box = desktop.monitors.front().rect;
    for (const TMonitorDesc& monitor : desktop.monitors) {
        box.left = std::min(box.left, monitor.rect.left);
        box.top = std::min(box.top, monitor.rect.top);
        box.right = std::max(box.right, monitor.rect.right);
        box.bottom = std::max(box.bottom, monitor.rect.bottom);
    }
    return box;
}

// The device context GetDC answers for the screen.
HDC ScreenDc() {
    static BYTE screen;
    return reinterpret_cast<HDC>(&screen);
}

} // namespace

namespace standin::detail {

TDesktop DesktopLocked() {
    const TDesktopState& state = User().desktop;
    return state.set ? *state.set : SystemDesktop(state);
}

void NoteSystemDesktop(int width, int height, int refreshRate) {
    if (width <= 0 || height <= 0) {
        return;
    }
    TDesktopState& state = User().desktop;
    state.systemWidth = width;
    state.systemHeight = height;
    state.systemRefresh = refreshRate > 0 ? refreshRate : 60;
}

namespace {

// The mode's size over the real screen's, when a mode set over SDL's own desktop differs from it.
bool ModeStretch(SIZE* mode, SIZE* screen) {
    const TDesktopState& state = User().desktop;
    if (!state.modeChanged || state.beforeMode.has_value() || !state.set.has_value()) {
        return false;
    }
    *mode = SIZE{state.set->width, state.set->height};
    *screen = SIZE{state.systemWidth, state.systemHeight};
    return mode->cx > 0 && mode->cy > 0 && screen->cx > 0 && screen->cy > 0 &&
           (mode->cx != screen->cx || mode->cy != screen->cy);
}

LONG ScaleLength(LONG value, LONG to, LONG from) {
    return static_cast<LONG>(static_cast<std::int64_t>(value) * to / from);
}

} // namespace

POINT NativeToDesktopLocked(POINT native) {
    SIZE mode{};
    SIZE screen{};
    if (!ModeStretch(&mode, &screen)) {
        return native;
    }
    return POINT{ScaleLength(native.x, mode.cx, screen.cx),
                 ScaleLength(native.y, mode.cy, screen.cy)};
}

POINT DesktopToNativeLocked(POINT desktop) {
    SIZE mode{};
    SIZE screen{};
    if (!ModeStretch(&mode, &screen)) {
        return desktop;
    }
    return POINT{ScaleLength(desktop.x, screen.cx, mode.cx),
                 ScaleLength(desktop.y, screen.cy, mode.cy)};
}

RECT PictureRect(SIZE picture, SIZE screen) {
    if (picture.cx <= 0 || picture.cy <= 0 || screen.cx <= 0 || screen.cy <= 0) {
        return RECT{0, 0, std::max<LONG>(screen.cx, 0), std::max<LONG>(screen.cy, 0)};
    }
    const std::int64_t wide = static_cast<std::int64_t>(screen.cx) * picture.cy;
    const std::int64_t tall = static_cast<std::int64_t>(screen.cy) * picture.cx;
    LONG width = screen.cx;
    LONG height = screen.cy;
    if (wide > tall) {
        width = ScaleLength(screen.cy, picture.cx, picture.cy);
    } else if (wide < tall) {
        height = ScaleLength(screen.cx, picture.cy, picture.cx);
    }
    const LONG left = (screen.cx - width) / 2;
    const LONG top = (screen.cy - height) / 2;
    return RECT{left, top, left + width, top + height};
}

namespace {

// value * to / from, rounded down also below zero, so that a bar's pixels all fall outside.
LONG ScaleDown(LONG value, LONG to, LONG from) {
    const std::int64_t product = static_cast<std::int64_t>(value) * to;
    std::int64_t quotient = product / from;
    if (product % from != 0 && product < 0) {
        --quotient;
    }
    return static_cast<LONG>(quotient);
}

} // namespace

bool StretchedModeLocked() {
    SIZE mode{};
    SIZE screen{};
    return ModeStretch(&mode, &screen);
}

POINT NativePointerToDesktopLocked(POINT native) {
    SIZE mode{};
    SIZE screen{};
    if (!ModeStretch(&mode, &screen)) {
        return native;
    }
    const RECT picture = PictureRect(mode, screen);
    return POINT{ScaleDown(native.x - picture.left, mode.cx, picture.right - picture.left),
                 ScaleDown(native.y - picture.top, mode.cy, picture.bottom - picture.top)};
}

POINT DesktopPointerToNativeLocked(POINT desktop) {
    SIZE mode{};
    SIZE screen{};
    if (!ModeStretch(&mode, &screen)) {
        return desktop;
    }
    const RECT picture = PictureRect(mode, screen);
    // To the middle of the screen pixels that show the mode's pixel.
    const auto place = [](LONG value, LONG start, LONG length, LONG modeLength) {
        return start + ScaleDown(2 * value + 1, length, 2 * modeLength);
    };
    return POINT{place(desktop.x, picture.left, picture.right - picture.left, mode.cx),
                 place(desktop.y, picture.top, picture.bottom - picture.top, mode.cy)};
}

namespace {

void ChangeDesktopMode(int width, int height, int bitsPerPixel, int refreshRate) {
    auto hold = Hold();
    TDesktopState& state = User().desktop;
    TDesktop desktop = DesktopLocked();
    if (!state.modeChanged) {
        state.modeChanged = true;
        state.beforeMode = state.set;
    }
    const RECT work = desktop.workArea;
    const int rightInset = desktop.width - work.right;
    const int bottomInset = desktop.height - work.bottom;
    desktop.width = width;
    desktop.height = height;
    desktop.bitsPerPixel = bitsPerPixel;
    if (refreshRate > 0) {
        desktop.refreshRate = refreshRate;
    }
    desktop.workArea = RECT{std::min(work.left, width), std::min(work.top, height),
                            std::max(width - rightInset, 0), std::max(height - bottomInset, 0)};
    state.set = NormalisedDesktop(desktop);
}

bool RestoreSavedMode() {
    auto hold = Hold();
    TDesktopState& state = User().desktop;
    if (!state.modeChanged) {
        return false;
    }
    state.set = state.beforeMode;
    state.beforeMode.reset();
    state.modeChanged = false;
    return true;
}

// Tells every top-level window the display's new mode, as Windows does after a mode change.
// Posted, so that a window of a thread that is not pumping holds nobody up.
void AnnounceDisplayMode() {
    std::vector<HWND> windows;
    TDesktop desktop;
    {
        auto hold = Hold();
        windows = User().zOrder;
        desktop = DesktopLocked();
    }
    for (HWND window : windows) {
        PostTo(window, WM_DISPLAYCHANGE, static_cast<WPARAM>(desktop.bitsPerPixel),
               MAKELPARAM(desktop.width, desktop.height));
    }
}

} // namespace

void SetDesktopMode(int width, int height, int bitsPerPixel, int refreshRate) {
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0) {
        return;
    }
    KnowSystemDesktop();
    ChangeDesktopMode(width, height, bitsPerPixel, refreshRate);
    AnnounceDisplayMode();
}

void RestoreDesktopMode() {
    if (RestoreSavedMode()) {
        AnnounceDisplayMode();
    }
}

RECT MaximizedArea(const RECT& rect, bool caption) {
    const TDesktop desktop = DesktopLocked();
    const TMonitorDesc& monitor = desktop.monitors[MonitorNearest(desktop, rect)];
    return caption ? monitor.workArea : monitor.rect;
}

} // namespace standin::detail

namespace standin {

void SetDesktop(const TDesktop& desktop) {
    TDesktop normalised = NormalisedDesktop(desktop);
    auto hold = detail::Hold();
    detail::TDesktopState& state = detail::User().desktop;
    state.set = std::move(normalised);
    state.modeChanged = false;
    state.beforeMode.reset();
}

void UseSystemDesktop() {
    auto hold = detail::Hold();
    detail::TDesktopState& state = detail::User().desktop;
    state.set.reset();
    state.modeChanged = false;
    state.beforeMode.reset();
}

TDesktop CurrentDesktop() {
    return ReadDesktop();
}

} // namespace standin

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
    case SM_CYSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CYFULLSCREEN:
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN:
    case SM_CXVIRTUALSCREEN:
    case SM_CYVIRTUALSCREEN:
    case SM_CMONITORS:
        break;
    case SM_CYCAPTION:
    case SM_CYMENU:
    case SM_CXSIZE:
    case SM_CYSIZE:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXFIXEDFRAME:
    case SM_CYFIXEDFRAME:
        return 3;
    case SM_CXSIZEFRAME:
    case SM_CYSIZEFRAME:
        return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CMOUSEBUTTONS:
        return 5;
    case SM_CXMINIMIZED:
        return 160;
    case SM_CYMINIMIZED:
        return 28;
    case SM_MOUSEWHEELPRESENT:
        return 1;
    default:
        return 0;
    }
    const TDesktop desktop = ReadDesktop();
    const RECT virtualScreen = VirtualScreen(desktop);
    switch (index) {
    case SM_CXSCREEN:
        return desktop.width;
    case SM_CYSCREEN:
        return desktop.height;
    // The client area of a maximised window: the work area less the caption.
    case SM_CXFULLSCREEN:
        return desktop.workArea.right - desktop.workArea.left;
    case SM_CYFULLSCREEN:
        return desktop.workArea.bottom - desktop.workArea.top - 19;
    case SM_XVIRTUALSCREEN:
        return virtualScreen.left;
    case SM_YVIRTUALSCREEN:
        return virtualScreen.top;
    case SM_CXVIRTUALSCREEN:
        return virtualScreen.right - virtualScreen.left;
    case SM_CYVIRTUALSCREEN:
        return virtualScreen.bottom - virtualScreen.top;
    default: // SM_CMONITORS
        return static_cast<int>(desktop.monitors.size());
    }
}

HDC GetDC(HWND window) {
    if (window != nullptr) {
        // Nothing is drawn through GDI here: only the screen's context, for its caps.
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return ScreenDc();
}

int ReleaseDC(HWND, HDC dc) {
    return dc == ScreenDc() ? 1 : 0;
}

int GetDeviceCaps(HDC dc, int index) {
    if (dc != ScreenDc()) {
        return 0;
    }
    switch (index) {
    case HORZRES:
    case VERTRES:
    case BITSPIXEL:
    case PLANES:
    case NUMCOLORS:
    case VREFRESH:
        break;
    default:
        return 0;
    }
    const TDesktop desktop = ReadDesktop();
    switch (index) {
    case HORZRES:
        return desktop.width;
    case VERTRES:
        return desktop.height;
    case BITSPIXEL:
        return desktop.bitsPerPixel;
    case PLANES:
        return 1;
    case NUMCOLORS:
        // A palette's entries; no palette above 8 bits.
        return desktop.bitsPerPixel >= 1 && desktop.bitsPerPixel <= 8 ? 1 << desktop.bitsPerPixel
                                                                      : -1;
    default: // VREFRESH
        return desktop.refreshRate;
    }
}

BOOL SystemParametersInfoA(UINT action, UINT, void* pvParam, UINT) {
    if (action != SPI_GETWORKAREA || pvParam == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *static_cast<RECT*>(pvParam) = ReadDesktop().workArea;
    return TRUE;
}

HMONITOR MonitorFromRect(const RECT* rect, DWORD flags) {
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (flags > MONITOR_DEFAULTTONEAREST) {
        SetLastError(ERROR_INVALID_FLAGS);
        return nullptr;
    }
    const TDesktop desktop = ReadDesktop();
    if (const auto sharing = MonitorSharingMost(desktop, *rect)) {
        return MonitorHandle(*sharing);
    }
    switch (flags) {
    case MONITOR_DEFAULTTOPRIMARY:
        return MonitorHandle(0);
    case MONITOR_DEFAULTTONEAREST:
        return MonitorHandle(MonitorNearest(desktop, *rect));
    default:
        return nullptr;
    }
}

BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info) {
    if (info == nullptr || info->cbSize < sizeof(MONITORINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const TDesktop desktop = ReadDesktop();
    const auto index = MonitorIndex(monitor, desktop);
    if (!index) {
        SetLastError(ERROR_INVALID_MONITOR_HANDLE);
        return FALSE;
    }
    info->rcMonitor = desktop.monitors[*index].rect;
    info->rcWork = desktop.monitors[*index].workArea;
    info->dwFlags = *index == 0 ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
}
