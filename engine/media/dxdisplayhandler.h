// The display handler: the one object between the render facade and DirectDraw 7 / Direct3D 7.
// It owns the display record TPlatformData (the context's interfaces, viewport, clip and target
// rectangles, the lost-device flags, device capabilities, blend mode and display options) and
// turns every state change and draw of the engine into device calls. One per process, made and
// deleted by the renderer. Main thread only, except UpdateCursor, which the cursor thread calls.
#pragma once

#include "engine/core/color.h"
#include "engine/core/matrix.h"
#include "engine/core/rect.h"
#include "engine/core/str.h"
#include "engine/media/vertexset.h"
#include "engine/system/medialink.h"
#include "platform/directx/d3d.h"

#include <cstdint>
#include <list>

class TDXContext;
class TRenderer;
class TTexture;
class TTextureData;

// The display state. The three interfaces are borrowed from the context, which owns them.
struct TPlatformData {
    // Builds the context and reads "common:display.xml" (not in hosted mode).
    TPlatformData();
    ~TPlatformData();
    TPlatformData(const TPlatformData&) = delete;
    TPlatformData& operator=(const TPlatformData&) = delete;

    IDirectDraw7* mDirectDraw = nullptr;
    IDirect3D7* mDirect3D = nullptr;
    IDirect3DDevice7* mDevice = nullptr;
    // Owned.
    TDXContext* mContext = nullptr;
    IDirectDrawSurface7* mRenderTarget = nullptr;
    // Most recent first.
    std::list<TRect> mViewportStack;
    TRect mViewport{0, 0, 0, 0};
    // {0, 0, width, height} of the current render target.
    TRect mTargetRect{0, 0, 0, 0};
    // The device viewport is mViewport cut by this.
    TRect mClipRect{0, 0, 0, 0};
    // Kept while drawing into a texture.
    TRect mSavedViewport{0, 0, 0, 0};
    // The back buffer: the screen's render target.
    IDirectDrawSurface7* mScreenTarget = nullptr;
    bool mFullscreen = false;
    int32_t mBlendMode = -1;
    // Frames are refused until a restore clears it.
    bool mLost = false;
    bool mReconfigure = false;
    bool mZWrite = false;
    bool mZEnable = false;
    // Mode 0-4 of the texture being drawn into.
    int32_t mTargetMode = 0;
    // The texture being drawn into; empty while drawing to the screen.
    TTexturePtr mPendingTarget;
    bool mFallbackTried = false;
    bool mFatal = false;
    bool mSeparateTextureMemory = false;
    bool mNoSpecular = false;
    bool mSquareTextures = false;
    uint32_t mWorkingCount = 0;
    uint32_t mLostTime = 0;
    bool mWasFullscreen = false;
    // 16-bit surfaces and full screen only.
    bool mLowMemoryVideo = false;
    bool mInSetDisplay = false;
    // The default cursor is installed once, after the first display came up.
    bool mDefaultCursorSet = false;
    bool mRestoring = false;
    bool mInScene = false;
    // The 2-D projection is rebuilt before the next 2-D draw.
    bool mProjectionDirty = true;
    TMat4 mProjection;
    float mNear = 0.1f;
    float mFar = 1000.0f;
    bool mAntialias = false;
    bool mHintAntialias = false;
    bool mNewSubtractive = false;
    bool mNewRenderBlend = false;
    bool mTexelCalibrated = false;
    // Sub-pixel offset of 2-D geometry.
    float mTexelOffset = -0.5f;
    // The pixel format chosen for alpha texture surfaces; every display set-up chooses again.
    struct TAlphaFormat {
        DDPIXELFORMAT format{};
        bool found = false;
    } mAlphaFormat;
};

// Moves the window into the nearest monitor's area (flags bit 1: the work area): centred with bit
// 0, else only as far as needed to lie inside it. Neither resized, activated nor reordered.
void CenterWindowOnMonitor(HWND window, unsigned flags);

class TDxDisplayHandler {
public:
    // Starts the Direct3D utility library and builds the record.
    TDxDisplayHandler();
    ~TDxDisplayHandler();
    TDxDisplayHandler(const TDxDisplayHandler&) = delete;
    TDxDisplayHandler& operator=(const TDxDisplayHandler&) = delete;

    // The handler, or null.
    static TDxDisplayHandler* Instance() { return sInstance; }
    TPlatformData& GetData() { return *mData; }

    // False while lost; a half-built display (an interface missing) is marked lost.
    bool IsReady();
    void MarkLost();
    // MarkLost, at most once in 250 ms.
    void MarkLostThrottled();
    void GetScreenInfo(int* width, int* height, bool* fullscreen) const;
    bool IsFullscreen() const { return mData->mFullscreen; }
    void GetViewport(int* left, int* top, int* right, int* bottom) const;
    void ResetWorkingCount() { mData->mWorkingCount = 0; }
    void SetVSync(bool on);
    // "antialias", "hint_antialias", "new_subtractive", "new_render_blend": on when the value
    // reads as an integer above 0. Other keys are ignored.
    void SetOption(const str& key, const str& value);
    void FlipToGdi();
    // Gives the context the desktop's colours and size as they are now (the mode changed while
    // the window was inactive).
    void UpdateDesktopMode();
    // A new, empty texture surface record owned by the caller.
    TTextureData* CreateTextureData();

    // Display modes. force rebuilds even when nothing changed and ignores an inactive window;
    // quiet keeps the fall-back boxes from showing; child says the game window is a host's child.
    void SetDisplay(int width, int height, bool fullscreen, bool force, bool quiet, bool child);
    // False, changing nothing, when the desktop cannot take a window of the current size.
    bool SetFullscreen(bool fullscreen);

    // Frames. BeginDraw answers whether a scene is open; EndDraw ends it and presents when asked,
    // answering the frame's result.
    bool BeginDraw(bool prepareCursor);
    HRESULT EndDraw(bool present);
    // False while the last flip or blit is still being drawn.
    bool IsFlipDone();
    // Brings a lost device back, in place when it can, otherwise by a rebuild.
    void Restore();
    void RestoreAssets();
    // Switches to 16-bit full screen for good and remembers it in "common:display.xml".
    void OnOutOfVideoMemory();

    // The software cursor, drawn by the context (dxdisplaycursor.cpp). UpdateCursor is also the
    // cursor thread's: (-1, -1) asks the system where the mouse is; it answers x -1 while the
    // cursor is not placed. Positions passed in are the mouse's in client pixels.
    TPoint UpdateCursor(int x, int y);
    void CheckClientRect();
    // Sets the Win32 cursor over the client area; always true.
    bool ApplyCursor();
    TPoint GetCursorPosition();
    void RemoveCursorImage();
    // Answers true; nothing is to be learnt from it.
    bool ShowCursor(bool show);
    bool SetCursorImage(const TTexturePtr& texture, int hotX, int hotY, bool system);
    void ResetCursorState();
    TPoint GetClientOrigin() const;

    // Device states.
    void SetWorldTransform(const TMat4& matrix);
    void SetViewTransform(const TMat4& matrix);
    void SetProjectionTransform(const TMat4& matrix);
    void SetCullMode(int mode);
    void SetShadeMode(int mode);
    void SetAmbient(const TColor& color);
    void SetMaterial(const D3DMATERIAL7& material);
    void SetZWrite(bool on);
    void SetZEnable(bool on);
    void SetAddressMode(int u, int v);
    void SetFiltering(int mode);
    void SetPerspective(float nearZ, float farZ, float fovY, float aspect);

    // Passes; the render facade checks their nesting.
    bool Begin2d();
    void End2d();
    bool Begin3d();
    void End3d() {}

    DWORD SelectVertexFormat(int kind);
    void DrawVertices(D3DPRIMITIVETYPE type, const TVertexSet& vertices);
    void DrawIndexedVertices(D3DPRIMITIVETYPE type, const TVertexSet& vertices, WORD* indices,
                             int indexCount);
    void SetBlendMode(int mode);
    void SetTextureStages(int mode);
    // Binds the texture's surface to stage 0, or none for an empty reference.
    void SetTexture(const TTexturePtr& texture);

    // Viewports are in pixels of the render target.
    void SetViewport(int left, int top, int right, int bottom);
    void PushViewport(int left, int top, int right, int bottom);
    // Refused, with a log line, when nothing was pushed.
    HRESULT PopViewport();
    void SetClipRect(const TRect& rect);
    bool ApplyCurrentViewport();
    // Sets rect, cut to the target, as the device viewport (scaled when embedded).
    HRESULT ApplyViewport(const TRect& rect, const TRect& target);
    // Writes the scale viewports and fills use: the configured one on the screen, 1.0 while a
    // texture is drawn into. Answers whether the game is embedded (anything is scaled at all).
    bool GetEffectiveViewportScale(float* scale) const;

    // Drawing into a texture through the top-left corner of the back buffer: modes 0 and 1 start
    // from what the back buffer holds, 2 and 3 from the texture's pixels, 4 from transparent black
    // and keep the grey level drawn as the texture's alpha. Modes 0, 2 and 3 make the result
    // opaque. False, with nothing changed, without a device, while lost, for an empty texture or
    // one without a surface, and (logged) for another mode.
    bool BeginRenderTarget(const TTexturePtr& texture, int mode);
    // Copies the drawing into the texture; nothing when no target is open.
    void EndRenderTarget();
    // Fills a rectangle (pixels of the target texture, else of the back buffer): by a colour fill
    // of the surface into a target or outside a frame, by a drawn quad inside one.
    void FillRect(int left, int top, int right, int bottom, const TColor& color,
                  const TTexturePtr& target);
    // Measures once, by drawing a marked texture at ten offsets, the sub-pixel offset at which
    // texels land exactly on pixels; then clears the screen.
    void CalibrateTexelOffset();

private:
    // What a successful display creation sets up: window placement, capabilities, default
    // states, the restore of the assets.
    void OnDisplayCreated(HWND window, bool fullscreen, bool child);
    void SetDefaultStates();
    bool InTargetMode4() const;
    void Check(HRESULT result, int line);
    // These three do nothing without a device: before the first display set-up only the options
    // and the record change. A failure is reported with `line` (a transform's not when it is 0).
    void SetTransform(D3DTRANSFORMSTATETYPE state, const TMat4& matrix, int line);
    void RenderState(D3DRENDERSTATETYPE state, DWORD value, int line);
    void StageState(D3DTEXTURESTAGESTATETYPE state, DWORD value, int line);

    // The pieces of the render targets, fills and calibration; `area` lies inside the target.
    void CopyTargetToTexture(TTexture& texture, const TRect& area);
    void MakeOpaque(TTexture& texture);
    void CopyAlphaFromTarget(TTexture& texture, const TRect& area);
    void FillSurface(TRect rect, const TColor& color, const TTexturePtr& target,
                     TRenderer* renderer);
    void FillByQuad(const TRect& rect, const TColor& color, TRenderer& renderer);
    // Draws and reads the probe; leaves mTexelOffset at the offset found (-0.5 without one).
    void MeasureTexelOffset(TRenderer& renderer);

    TPlatformData* mData;
    // Between Begin2d and End2d: 2-D draws rebuild the projection. (The render facade, which
    // checks the pass nesting, is the one to answer this once it exists.)
    bool mIn2d = false;

    static TDxDisplayHandler* sInstance;
};
