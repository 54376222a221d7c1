// Inner state of the DirectDraw stand-in. Not part of the DirectDraw surface.
//
// Locks: the system lock (System().mutex) guards the adapters, the lists of live objects and every
// TDirectDraw field; each surface's own mutex guards its pixels and flags. A surface lock is never
// held while the system lock is taken, and several surface locks are taken in address order
// (TBlitLocks), so the cursor thread and the main thread can blit and lock different surfaces at
// the same time.
#pragma once

#include "platform/directx/ddraw.h"
#include "platform/directx/pixelformat.h"
#include "platform/directx/presenter.h"
#include "platform/directx/standin_directx.h"
#include "platform/win32/faulttable.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace standin::detail {

struct TAdapterState {
    TAdapter desc;
    DWORD usedVideoMemory = 0;
};

struct TSurface;

struct TDirectDraw {
    std::shared_ptr<TAdapterState> adapter;
    HWND window = nullptr;
    DWORD cooperativeLevel = 0;
    bool exclusive = false;
    // The mode this object set with SetDisplayMode; none while the desktop's mode stands.
    std::optional<TDisplayMode> mode;
    // The display-mode generation this object's surfaces were made for.
    unsigned generation = 0;
    std::weak_ptr<TSurface> primary;
    std::vector<std::weak_ptr<TSurface>> surfaces;
    bool released = false;
};

struct TClipper {
    HWND window = nullptr;
};

struct TSurface {
    // Fixed at creation.
    std::weak_ptr<TDirectDraw> owner;
    std::shared_ptr<TAdapterState> adapter;
    DDSCAPS2 caps{};
    DWORD width = 0;
    DWORD height = 0;
    LONG pitch = 0;
    TPixelLayout layout;
    DWORD backBufferCount = 0;
    DWORD mipCount = 1;    // levels from this one down, for a mip-mapped texture
    DWORD videoMemory = 0; // bytes charged to the adapter
    bool primary = false;  // the screen: a windowed primary or the front of a flip chain

    // Guarded by `mutex`.
    std::mutex mutex;
    std::condition_variable unlocked;
    std::vector<std::uint8_t> pixels;
    bool lost = false;
    bool dead = false; // its DirectDraw object is gone
    bool locked = false;
    std::thread::id lockedBy;
    bool dirty = false;
    std::uint32_t scramble = 0x9E3779B9u;

    // Main thread only (attachments and clippers are set up before other threads draw).
    std::vector<IDirectDrawSurface7*> attached; // one reference each
    IDirectDrawClipper* clipper = nullptr;      // one reference
    IDirectDrawSurface7* flipPartner = nullptr; // the front's back buffer, not referenced
    IDirectDrawSurface7* nextLevel = nullptr;   // the next mip level, referenced in `attached`

    ~TSurface();
    std::uint8_t* Row(DWORD y) { return pixels.data() + static_cast<std::size_t>(pitch) * y; }
    // Marks it lost and fills it with garbage. Needs `mutex`.
    void LoseLocked();
};

struct TSystem {
    std::mutex mutex;
    std::vector<std::shared_ptr<TAdapterState>> adapters;
    bool customAdapters = false;
    TFaultTable faults;
    std::vector<std::weak_ptr<TSurface>> surfaces;
    std::vector<std::weak_ptr<TDirectDraw>> objects;
    unsigned modeGeneration = 1;
    bool focusActive = true;
    bool pumpHookSet = false;
    // Made on the main thread when it first shows something.
    std::unique_ptr<TPresenter> presenter;
    int presentCount = 0;
    // D3DXInitialize calls not yet matched by D3DXUninitialize.
    int d3dxUsers = 0;
    // The rasteriser's fast paths (a test control) and the primitives each drew, read without
    // the system lock by drawing threads.
    std::atomic<bool> rasterFastPaths{true};
    std::atomic<std::uint64_t> fastTexturedTriangles{0};
    std::atomic<std::uint64_t> fastFills{0};
    std::atomic<std::uint64_t> fastLines{0};
};

TSystem& System();

inline bool IsSameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

// The scripted result for `method` of `object`, if a fault is set.
std::optional<HRESULT> TakeFault(const void* object, const char* method);
// The adapters as they stand now (the default one follows the desktop). Needs the system lock.
std::vector<std::shared_ptr<TAdapterState>>& AdaptersLocked();
// The display mode as a DirectDraw object sees it: the mode it set, else the desktop's.
TDisplayMode CurrentModeLocked(const TDirectDraw& directDraw);
// Fills a description of a display mode.
void DescribeMode(const TDisplayMode& mode, DDSURFACEDESC2* desc, bool withRefresh);
// Makes a surface as IDirectDraw7::CreateSurface does, once its arguments are checked.
HRESULT CreateSurfaceOn(const std::shared_ptr<TDirectDraw>& owner, const DDSURFACEDESC2& desc,
                        IDirectDrawSurface7** out);
// Marks every live surface lost; takes the system lock, then each surface's.
void LoseEverySurface();
// The result TestCooperativeLevel gives, without faults. Needs the system lock.
HRESULT CooperativeStateLocked(const TDirectDraw& directDraw);
// Shows the primary on the screen when it changed; main thread only, no locks held.
void UploadPrimaryIfDirty();
// The presenter, on the thread that runs SDL's video; null on other threads. Call it without
// the system lock.
TPresenter* MainThreadPresenter();
// Registers the pump hook once.
void EnsurePumpHook();

} // namespace standin::detail
