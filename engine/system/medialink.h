// What the platform layer uses of media: the display handler (display and software cursor), the
// renderer (fills, clipping, statistics, the glyph rasteriser and simple textures) and the sound
// manager. The platform layer cannot link media, so media installs its display and renderer links
// when its renderer exists and registers how a sound manager is made; until then the links' own
// bodies answer (they do nothing) and there is no sound. A link overrides only what it does.
// Main thread, except UpdateCursor, which the cursor thread calls through TDisplayLinkUse.
#pragma once

#include "engine/core/rect.h"
#include "engine/core/str.h"

#include <boost/shared_ptr.hpp>

#include <functional>
#include <mutex>

class TTexture;
using TTexturePtr = boost::shared_ptr<TTexture>;

// The vector-glyph renderer as the platform record owns it.
class TGlyphRendererLink {
public:
    virtual ~TGlyphRendererLink() = default;
};

// The display handler: device state, display modes, frames and the software cursor. The bodies
// here are the behaviour while there is no display handler: never ready to be restored (IsReady
// answers true), no cursor drawn, the cursor at 0, 0.
class TDisplayLink {
public:
    virtual ~TDisplayLink() = default;

    // False while there is no display handler.
    virtual bool Exists() const { return false; }

    // Device state.
    virtual bool IsReady() { return true; }
    virtual void Restore() {}
    virtual void ResetWorkingCount() {}
    virtual void SetDisplay(int /*width*/, int /*height*/, bool /*fullScreen*/,
                            bool /*hostPresent*/) {}
    // Answers whether the switch succeeded.
    virtual bool SetFullscreen(bool /*fullScreen*/) { return false; }
    virtual bool IsFullscreen() const { return false; }
    virtual void CalibrateTexelOffset() {}
    // The desktop mode changed while the window was inactive.
    virtual void ReadDesktopMode() {}
    virtual TPoint GetViewportSize() const { return TPoint{0, 0}; }

    // The software cursor. UpdateCursor answers x = -1 when nothing was drawn. The cursor thread
    // calls it while the main thread may be in any other method (mouse moves, a new cursor
    // image): an implementation guards its cursor state with a lock of its own, never drops the
    // last reference to a texture on the cursor thread, and never waits for the main thread.
    virtual TPoint GetCursorPosition() { return TPoint{0, 0}; }
    virtual TPoint UpdateCursor(int /*x*/, int /*y*/) { return TPoint{-1, -1}; }
    virtual void CheckClientRect() {}
    virtual void RemoveCursorImage() {}
    // True when the handler set the cursor over the client area itself.
    virtual bool ApplyCursor() { return false; }
    virtual bool SetCursorImage(const TTexturePtr& /*texture*/, int /*hotX*/, int /*hotY*/,
                                bool /*system*/) {
        return false;
    }
    // Shows or hides the cursor; answers the handler's result.
    virtual bool ShowCursor(bool /*visible*/) { return false; }

    // Frames and video memory.
    virtual void SetVSync(bool /*on*/) {}
    // False while the last flip is still being drawn.
    virtual bool IsFlipDone() { return true; }
    virtual void OnOutOfVideoMemory() {}
};

// The installed link, or the one that does nothing. Main thread.
TDisplayLink& Display();
// Not owned; null goes back to the one that does nothing. Main thread. Waits while another thread
// holds a TDisplayLinkUse, so once it returns the old link is no longer in use and may be deleted;
// the caller must not hold a lock that the link's UpdateCursor takes.
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

// The renderer as the platform layer uses it. The bodies draw nothing and load nothing.
class TRendererLink {
public:
    virtual ~TRendererLink() = default;

    virtual void ToggleStats() {}
    virtual void FillRect(const TRect& /*rect*/, float /*red*/, float /*green*/, float /*blue*/,
                          float /*alpha*/) {}
    virtual void PopClipRect() {}
    virtual void PushClipRect(const TRect& /*rect*/) {}
    // A new glyph renderer that passed its self-test, owned by the caller; null when none.
    virtual TGlyphRendererLink* CreateGlyphRenderer() { return nullptr; }
    // TTexture::GetSimple: an empty reference when the image cannot be loaded.
    virtual TTexturePtr GetSimpleTexture(const str& /*name*/) { return TTexturePtr(); }
};

// The installed link, or the one that does nothing. Main thread.
TRendererLink& Renderer();
// Not owned; null goes back to the one that does nothing. Main thread.
void SetRendererLink(TRendererLink* link);

// The sound manager as the platform record owns it. The bodies are those of a device that plays
// nothing.
class TSoundManagerLink {
public:
    virtual ~TSoundManagerLink() = default;
    // Opens the sound device; false when there is no sound.
    virtual bool Init() { return true; }
    // The main thread's share of the sound service: frees finished streams.
    virtual void Update() {}
    virtual void SetActive(bool /*active*/) {}
    // Volume of a sound category from 0 to 1; category -1 is the master volume.
    virtual float GetVolume(int /*category*/) { return 0.0f; }
    virtual void SetVolume(int /*category*/, float /*volume*/) {}
};

// Media registers how the renderer is made and destroyed: start-up makes it right after the sound,
// and the platform destroys it right after the glyph renderer. Empty functions take them back.
void SetRendererHooks(std::function<void()> create, std::function<void()> destroy);
// Each does nothing while no hook is registered.
void CreateRenderer();
void DestroyRenderer();

// Media registers how the sound manager is made; an empty function takes it back.
using TCreateSoundManagerProc = std::function<TSoundManagerLink*()>;
void SetSoundManagerFactory(TCreateSoundManagerProc create);
// A new sound manager owned by the caller; null while none is registered.
TSoundManagerLink* CreateSoundManager();
