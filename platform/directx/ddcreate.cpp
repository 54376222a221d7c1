// Making DirectDraw objects: the devices and their enumeration, and clippers.
#include "platform/directx/ddstate.h"
#include "platform/win32/standin.h"
#include "platform/win32/winuser.h"

#include <string>

using namespace standin::detail;
using standin::TAdapter;

// Clippers.

IDirectDrawClipper::IDirectDrawClipper(std::shared_ptr<TClipper> state)
    : mState(std::move(state)) {}

IDirectDrawClipper::~IDirectDrawClipper() = default;

ULONG IDirectDrawClipper::AddRef() {
    return ++mRefs;
}

ULONG IDirectDrawClipper::Release() {
    const ULONG left = --mRefs;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT IDirectDrawClipper::SetHWnd(DWORD flags, HWND window) {
    if (flags != 0 || (window != nullptr && !IsWindow(window))) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDrawClipper::SetHWnd")) {
        return *fault;
    }
    std::lock_guard<std::mutex> hold(System().mutex);
    mState->window = window;
    return DD_OK;
}

HRESULT IDirectDrawClipper::GetHWnd(HWND* window) {
    if (window == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    std::lock_guard<std::mutex> hold(System().mutex);
    *window = mState->window;
    return DD_OK;
}

// Devices.

HRESULT DirectDrawCreateEx(GUID* guid, void** directDraw, const GUID& iid, IUnknown* outer) {
    if (directDraw == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *directDraw = nullptr;
    if (outer != nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (!IsSameGuid(iid, IID_IDirectDraw7)) {
        return E_NOINTERFACE;
    }
    if (auto fault = TakeFault(nullptr, "DirectDrawCreateEx")) {
        return *fault;
    }
    EnsurePumpHook();
    auto state = std::make_shared<TDirectDraw>();
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        auto& adapters = AdaptersLocked();
        if (adapters.empty()) {
            return DDERR_INVALIDDIRECTDRAWGUID;
        }
        const auto pseudo = reinterpret_cast<std::uintptr_t>(guid);
        if (guid == nullptr || pseudo == DDCREATE_HARDWAREONLY ||
            pseudo == DDCREATE_EMULATIONONLY) {
            state->adapter = adapters.front();
        } else {
            for (const auto& adapter : adapters) {
                if (IsSameGuid(adapter->desc.guid, *guid)) {
                    state->adapter = adapter;
                }
            }
            if (!state->adapter) {
                return DDERR_INVALIDDIRECTDRAWGUID;
            }
        }
        state->generation = System().modeGeneration;
        System().objects.push_back(state);
    }
    *directDraw = new IDirectDraw7(std::move(state));
    return DD_OK;
}

HRESULT DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, void* context, DWORD flags) {
    if (callback == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(nullptr, "DirectDrawEnumerateExA")) {
        return *fault;
    }
    std::vector<TAdapter> adapters = standin::Adapters();
    const standin::TDesktop desktop = standin::CurrentDesktop();
    auto monitorOf = [&desktop](std::size_t index) {
        const std::size_t at = index < desktop.monitors.size() ? index : 0;
        RECT rect = desktop.monitors.empty() ? RECT{0, 0, desktop.width, desktop.height}
                                             : desktop.monitors[at].rect;
        return MonitorFromRect(&rect, MONITOR_DEFAULTTOPRIMARY);
    };
    char primaryDescription[] = "Primary Display Driver";
    char primaryName[] = "display";
    if (!callback(nullptr, primaryDescription, primaryName, context, monitorOf(0))) {
        return DD_OK;
    }
    if ((flags & DDENUM_ATTACHEDSECONDARYDEVICES) == 0) {
        return DD_OK;
    }
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        std::string description = adapters[i].description;
        std::string name = "\\\\.\\DISPLAY" + std::to_string(i + 1);
        if (!callback(&adapters[i].guid, description.data(), name.data(), context, monitorOf(i))) {
            break;
        }
    }
    return DD_OK;
}
