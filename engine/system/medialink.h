// What the engine core uses of media: the display handler, the renderer, the vector-glyph
// renderer, texture loading and the sound manager. The core cannot link media, so media installs
// its display link when its renderer exists and registers how a sound manager is made; until
// then an object that does nothing answers and there is no sound. Main thread, except
// UpdateCursor, which the cursor thread calls through TDisplayLinkUse.
#pragma once

#include "engine/core/rect.h"
#include "engine/core/str.h"

#include <boost/shared_ptr.hpp>

#include <mutex>

class TTexture;
using TTexturePtr = boost::shared_ptr<TTexture>;

// The vector-glyph renderer as the platform record owns it.
class TGlyphRendererLink {
public:
    virtual ~TGlyphRendererLink() = default;
};

class TDisplayLink {
public:
    virtual ~TDisplayLink() = default;

    // False for the stand-in used while there is no display handler.
    virtual bool Exists() const = 0;

    // Display handler: device state.
    virtual bool IsReady() = 0;
    virtual void Restore() = 0;
    virtual void ResetWorkingCount() = 0;
    virtual void SetDisplay(int width, int height, bool fullScreen, bool hostPresent) = 0;
    // Answers whether the switch succeeded.
    virtual bool SetFullscreen(bool fullScreen) = 0;
    virtual bool IsFullscreen() const = 0;
    virtual void CalibrateTexelOffset() = 0;
    // The desktop mode changed while the window was inactive.
    virtual void ReadDesktopMode() = 0;
    virtual TPoint GetViewportSize() const = 0;

    // Display handler: the software cursor. UpdateCursor answers x = -1 when nothing was drawn.
    virtual TPoint GetCursorPosition() = 0;
    virtual TPoint UpdateCursor(int x, int y) = 0;
    virtual void CheckClientRect() = 0;
    virtual void RemoveCursorImage() = 0;
    // True when the handler set the cursor over the client area itself.
    virtual bool ApplyCursor() = 0;
    virtual bool SetCursorImage(const TTexturePtr& texture, int hotX, int hotY, bool system) = 0;
    // Shows or hides the cursor; answers the handler's result.
    virtual bool ShowCursor(bool /*visible*/) { return false; }

    // Display handler: frames and video memory.
    virtual void SetVSync(bool /*on*/) {}
    // False while the last flip is still being drawn.
    virtual bool IsFlipDone() { return true; }
    virtual void OnOutOfVideoMemory() {}

    // Renderer.
    virtual void ToggleStats() = 0;
    virtual void FillRect(const TRect& rect, float red, float green, float blue, float alpha) = 0;
    virtual void PopClipRect() {}
    virtual void PushClipRect(const TRect& /*rect*/) {}

    // A new glyph renderer that passed its self-test, owned by the caller; null when none.
    virtual TGlyphRendererLink* CreateGlyphRenderer() = 0;
    // TTexture::GetSimple: an empty reference when the image cannot be loaded.
    virtual TTexturePtr GetSimpleTexture(const str& name) = 0;
};

// The installed link, or the stand-in that does nothing: it is never ready to be restored
// (IsReady answers true), draws no cursor and reports the cursor at 0, 0. Main thread.
TDisplayLink& Display();
// Not owned; null goes back to the stand-in. Main thread. Waits while another thread holds a
// TDisplayLinkUse, so once it returns the old link is no longer in use and may be deleted; the
// caller must not hold a lock that the link's UpdateCursor takes.
void SetDisplayLink(TDisplayLink* link);

// How a thread other than the main one reaches the display link: the link it names stays
// installed (and alive) until the use ends. Keep it short; SetDisplayLink waits for it.
class TDisplayLinkUse {
public:
    TDisplayLinkUse();
    TDisplayLinkUse(const TDisplayLinkUse&) = delete;
    TDisplayLinkUse& operator=(const TDisplayLinkUse&) = delete;

    TDisplayLink& operator*() const { return *mLink; }
    TDisplayLink* operator->() const { return mLink; }

private:
    std::unique_lock<std::mutex> mHold;
    TDisplayLink* mLink;
};

// The sound manager as the platform record owns it.
class TSoundManagerLink {
public:
    virtual ~TSoundManagerLink() = default;
    // Opens the sound device; false when there is no sound.
    virtual bool Init() { return true; }
    // The main thread's share of the sound service: frees finished streams.
    virtual void Update() = 0;
    virtual void SetActive(bool active) = 0;
    // Volume of a sound category from 0 to 1; category -1 is the master volume.
    virtual float GetVolume(int category) = 0;
    virtual void SetVolume(int category, float volume) = 0;
};

// Media registers how the sound manager is made; null takes it back.
using TCreateSoundManagerProc = TSoundManagerLink* (*)();
void SetSoundManagerFactory(TCreateSoundManagerProc create);
// A new sound manager owned by the caller; null while none is registered.
TSoundManagerLink* CreateSoundManager();
