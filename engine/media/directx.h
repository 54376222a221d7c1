// The Direct3D context: owns every DirectDraw and Direct3D object of the display (the CDisplay
// with its buffers, the Direct3D interface, the device and its depth buffer), builds a device for
// a window or full screen and refuses hardware the engine cannot use, and draws the software
// cursor. One per process, owned by the display handler's TPlatformData. Main thread, except
// DrawCursor, which the cursor thread calls; the cursor state and the surfaces the cursor thread
// uses change only under the mouse mutex.
#pragma once

#include "engine/core/color.h"
#include "engine/core/str.h"
#include "engine/media/cursorimage.h"
#include "engine/media/ddutil.h"
#include "engine/media/mouselock.h"
#include "engine/system/medialink.h"
#include "platform/directx/d3d.h"
#include "platform/win32/processthreadsapi.h"

#include <cstdint>

class TMouseTextureListener;

// Two upper-case hexadecimal digits a byte, high nibble first; "" for a count of 0 or less.
str HexEncode(const void* bytes, int count);

class TDXContext {
public:
    // Create flags.
    static constexpr int kAlways = 1;
    static constexpr int kHostChild = 2;
    static constexpr int kAntialias = 4;

    // Makes the mouse mutex and reads the desktop's size and colours.
    TDXContext();
    virtual ~TDXContext();
    TDXContext(const TDXContext&) = delete;
    TDXContext& operator=(const TDXContext&) = delete;

    // Releases what a previous Create built, then builds the display and its device. False on any
    // failure; the failure flags below tell the display set-up what to try next.
    bool Create(HWND window, bool fullscreen, int width, int height, int depth, int flags);
    void ReleaseObjects();
    void SetDesktopInfo(int colors, int width, int height);
    // Clears the whole viewport: colour 0, depth 1, stencil 0.
    HRESULT ClearDepth(DWORD flags);
    // Full screen: the back buffer starts as a copy of the front buffer without the cursor. False
    // when the copy fails; always true in a window.
    bool PrepareBackBuffer();
    // Draws the cursor into the back buffer and shows it, after the vertical blank in a window
    // with vsync on; the cursor stays on the screen only.
    HRESULT Present();

    // The software cursor (dxcursor.cpp). Positions passed in are the mouse's in client pixels;
    // (-1, -1) asks the system. DrawCursor answers the cursor's position in game coordinates, x
    // -1 while it was never read; an update (not before a present) without a position is the
    // cursor thread's and waits at most 5 ms for the mouse mutex.
    TPoint DrawCursor(int x, int y, bool beforePresent);
    TPoint GetCursorPosition();
    // The drawing area moved or changed size: the cursor is drawn anew.
    void CheckClientRect();
    // The Win32 cursor over the client area: the icon cursor when visible and windowed, else none.
    void ApplyIconCursor(bool visible);
    void RemoveCursorImage();
    void ShowCursor(bool show);
    // The game's image (magenta is transparent) or the system image (with alpha; in the "activex"
    // hosted mode an icon cursor); a system call without a texture switches the system image
    // off. False without a device or when the cursor surfaces cannot be made.
    bool SetCursorImage(const TTexturePtr& texture, int hotX, int hotY, bool system);
    // Forgets where the cursor was and that it is drawn.
    void ResetCursorState();
    // After a display restore: both images again, for the new display (MouseTextureListener).
    void RestoreMouseImage();

    // Cursor images (cursorimage.cpp). False when the texture cannot be read.
    bool BuildAlphaRuns(const TTexturePtr& texture, TCursorRuns* runs) const;
    bool BuildKeyedRuns(const TTexturePtr& texture, TCursorRuns* runs) const;
    static TRunPixel RunPixel(TColor32 pixel, const DDPIXELFORMAT& format);
    // Into the locked surface the description points at.
    static void BlendRuns(const TCursorRuns& runs, const DDSURFACEDESC2& surface);
    // The top-left 32 x 32 pixels of the texture as the Win32 cursor; false before Windows XP.
    bool MakeCursorIcon(const TTexturePtr& texture, int hotX, int hotY);
    HICON GetCursorIcon() const { return mCursorIcon; }

    CDisplay& GetDisplay() { return mDisplay; }
    IDirectDraw7* GetDirectDraw() const { return mDisplay.GetDirectDraw(); }
    IDirectDrawSurface7* GetFrontBuffer() const { return mDisplay.GetFrontBuffer(); }
    IDirectDrawSurface7* GetBackBuffer() const { return mDisplay.GetBackBuffer(); }
    IDirect3D7* GetDirect3D() const { return mDirect3D; }
    IDirect3DDevice7* GetDevice() const { return mDevice; }
    const D3DDEVICEDESC7& GetDeviceDesc() const { return mDeviceDesc; }
    const DDSURFACEDESC2& GetDisplayMode() const { return mDisplayMode; }
    const str& GetInfo() const { return mInfo; }
    HWND GetClipWindow() const { return mClipWindow; }
    void SetClipWindow(HWND window) { mClipWindow = window; }
    bool IsHardware() const { return mHardware; }
    bool IsPalettedFatal() const { return mPalettedFatal; }
    bool IsNoWindowMemory() const { return mNoWindowMemory; }
    bool IsBackBufferInVideoMemory() const { return mBackBufferInVideoMemory; }
    int GetDesktopColors() const { return mDesktopColors; }
    int GetDesktopWidth() const { return mDesktopWidth; }
    int GetDesktopHeight() const { return mDesktopHeight; }
    bool GetVSync() const { return mVSync; }
    void SetVSync(bool on) { mVSync = on; }
    HANDLE GetMouseMutex() const { return mMouseMutex; }

private:
    friend class TMouseTextureListener;

    static HRESULT EnumDeviceCallback(char* description, char* name, D3DDEVICEDESC7* desc,
                                      void* context);
    static HRESULT EnumZBufferCallback(DDPIXELFORMAT* format, void* context);
    void ReadDesktop();
    bool CreateDepthBuffer(bool fullscreen, int width, int height);
    // The device on the back buffer, its checks and the identifier log.
    bool CreateDevice();
    void LogDeviceIdentifier(IDirectDraw7* directDraw);

    // Cursor steps (dxcursor.cpp); all need the mouse mutex.
    void ReadCursorPos();
    TPoint FromClient(int x, int y) const;
    int ToScreen(int value) const;
    // The cursor at `position` cut to `clip`: where it goes on the target and which part of the
    // image shows. False when nothing of it shows.
    bool ComputeCursorRects(TPoint position, const TRect& clip, TRect* screen, TRect* source) const;
    // The clip of the back buffer, or of the front buffer (the drawing area on the screen).
    TRect CursorClip(bool backBuffer) const;
    // `position`: the one passed in; the thread's update reads where the mouse is.
    bool ShouldDrawCursor(const TRect& window, bool positionPassed, TPoint position);
    bool CanDrawCursor();
    bool IconInWindow() const;
    bool RestoreCursorBackground();
    void EraseCursorFromBackBuffer();
    // Copies between the cursor's surfaces and the buffers; a lost surface ends the drawing.
    HRESULT CursorBlit(IDirectDrawSurface7* to, const TRect& toRect, IDirectDrawSurface7* from,
                       const TRect& fromRect);
    bool CursorLost(HRESULT result);
    // Blends the active image into the composite surface.
    void BlendComposite();
    bool CreateCursorSurfaces();
    void ReleaseCursorSurfaces();
    // The platform's viewport scale and inactive-in-full-screen flag, read on the main thread.
    void RefreshCursorFacts();
    // Destructor's share: the icon, the listener, surfaces, images.
    void ReleaseCursor();
    // The next frame draws the cursor with the screen.
    void InvalidateForCursor();

    // Device identifier and capability dumps of each successful Create.
    str mInfo;
    // Set by the display set-up to the game window when embedded.
    HWND mClipWindow = nullptr;
    CDisplay mDisplay;
    IDirect3D7* mDirect3D = nullptr;
    IDirect3DDevice7* mDevice = nullptr;
    D3DDEVICEDESC7 mDeviceDesc{};
    DDSURFACEDESC2 mDisplayMode{};
    DDPIXELFORMAT mZBufferFormat{};
    bool mHardware = false;
    // The desktop has 16 colours or fewer: DirectX cannot run at all.
    bool mPalettedFatal = false;
    // Too little video memory for a windowed display.
    bool mNoWindowMemory = false;
    // The windowed back buffer is asked for in video memory.
    bool mBackBufferInVideoMemory = false;
    // -1 above 256 colours.
    int mDesktopColors = -1;
    int mDesktopWidth = 0;
    int mDesktopHeight = 0;

    // Software cursor. Owned by TPlatform's restore task list; null until the first image.
    TMouseTextureListener* mMouseListener = nullptr;
    // Which background surface holds what the drawn cursor covers.
    int mSaveIndex = 0;
    // Platform time of the last draw.
    uint32_t mLastCursorDraw = 0;
    bool mCursorOnBackBuffer = false;
    // Backgrounds 0 and 1, then the composite; owned.
    TDDSurface* mCursorSurfaces[3] = {};
    bool mCursorDrawn = false;
    // The surfaces could not be had even after evicting textures: no software cursor.
    bool mNoCursorSurfaces = false;
    bool mCursorSurfacesLost = false;
    bool mVSync = false;
    // Game coordinates; (-1, -1) until read. Also read without the mutex when it is busy.
    TSharedPoint mCursorPos{TPoint{-1, -1}};
    TPoint mLastCursorPos{-1, -1};
    // The active image's hot spot, negated.
    TPoint mHotSpot{0, 0};
    // 0 x 0: no software cursor.
    TPoint mCursorSize{0, 0};
    bool mCursorPlaced = false;
    TTexturePtr mGameCursor;
    TTexturePtr mSystemCursor;
    // Each image keeps its own hot spot.
    TPoint mGameHotSpot{0, 0};
    TPoint mSystemHotSpot{0, 0};
    TCursorRuns mGameRuns;
    TCursorRuns mSystemRuns;
    bool mUseSystemCursor = false;
    bool mCursorShown = true;
    // Owned.
    HICON mCursorIcon = nullptr;
    TPoint mIconHotSpot{0, 0};
    // The platform's facts as the main thread last read them, for the cursor thread.
    float mCursorScale = 1.0f;
    bool mInactiveInFullScreen = false;
    bool mRestoringMouseImage = false;
    // The thread that made the context: the window manager's.
    DWORD mMainThread = GetCurrentThreadId();
    HANDLE mMouseMutex = nullptr;

    // Enumeration state of one Create.
    bool mEmbedded = false;
    bool mDeviceChosen = false;
};
