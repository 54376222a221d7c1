// What the platform layer uses of the window system (window manager, window script, string table,
// font list). The platform layer cannot link the window system, so the window system registers
// its factory at start-up; until it does, the links' own bodies answer (they do nothing). A link
// overrides only what it does. Main thread, except IsDrawingSuspended, which the cursor thread
// also reads.
#pragma once

#include "engine/core/color.h"
#include "engine/core/rect.h"
#include "engine/core/str.h"

#include <boost/shared_ptr.hpp>

#include <functional>

class TScript;
class TTexture;

class TWindowManagerLink {
public:
    TWindowManagerLink() = default;
    // Deletes the window script only when it never reached the platform's main task list.
    virtual ~TWindowManagerLink();
    TWindowManagerLink(const TWindowManagerLink&) = delete;
    TWindowManagerLink& operator=(const TWindowManagerLink&) = delete;

    // Set while a movie plays: the cursor is not drawn and input is dropped. Only the movie player
    // sets and clears them.
    virtual bool IsDrawingSuspended() const { return false; }
    virtual bool IsInputBlocked() const { return false; }
    virtual void SetDrawingSuspended(bool /*suspended*/) {}
    virtual void SetInputBlocked(bool /*blocked*/) {}
    // The next idle event draws a frame.
    virtual void Invalidate() {}
    // Stops the movie the window script holds, if any, and resumes the script waiting for it.
    virtual void AbortMovie() {}
    // False while there is no root window.
    virtual bool GetRootRect(TRect* /*rect*/) const { return false; }
    // The root window's background colour; false while there is no root window.
    virtual bool GetRootBackground(TColor* /*color*/) const { return false; }

    // Installs the window script. The platform's main task list runs it and owns it from then on
    // (it is deleted when that list is cleared, after the window manager is gone); without a
    // platform the manager keeps it and deletes it itself. Every window manager, the stand-in
    // included, keeps the script, so the scripts' globals can be published without a window
    // system.
    virtual void SetScript(TScript* script);
    // The window script, or null until one is installed.
    virtual TScript* GetScript() const { return mScript; }
    // Switches the lookup of window labels in the string table; answers the previous value.
    virtual bool SetTranslateLabels(bool on);
    // Makes a new root screen of the given size the root and bottom modal window.
    virtual void CreateRootScreen(int width, int height);

private:
    TScript* mScript = nullptr;
    bool mOwnsScript = false;
    bool mTranslateLabels = false;
};

class TStringTableLink {
public:
    virtual ~TStringTableLink() = default;
    // Empties the table, then reads the file; false when it cannot be read.
    virtual bool Load(const str& path);
    // Adds the rows of one file; false when it cannot be read.
    virtual bool LoadFile(const str& path);
    virtual void Clear() {}
    // The localized text of a label with its %1% to %5% filled; "#####" when it is missing.
    virtual str GetString(const str& label, const str& a1 = str(), const str& a2 = str(),
                          const str& a3 = str(), const str& a4 = str(), const str& a5 = str());
};

// A laid-out markup text block (the window system's text sprite), as the renderer's statistics
// overlay uses it. Deleting it frees it.
class TTextSpriteLink {
public:
    virtual ~TTextSpriteLink() = default;
    // Lays the text out again when it changed.
    virtual void SetText(const str& text) = 0;
    // The block's top-left at the rectangle's, lines past its bottom not drawn; an empty target
    // draws on the screen, relative to the current viewport.
    virtual void DrawInRect(const TRect& rect, float scale, int lineSpacing, float alpha,
                            const boost::shared_ptr<TTexture>& target) = 0;
};

struct TWindowSystemFactory {
    std::function<TWindowManagerLink*()> createWindowManager;
    std::function<TStringTableLink*()> createStringTable;
    // A new window script with a Lua state of its own.
    std::function<TScript*()> createWindowScript;
    // Releases and deletes every loaded font.
    std::function<void()> clearFontList;
    // A new text block (text, width, height, alignment flags, font name or empty for the default
    // font, font size, colour).
    std::function<TTextSpriteLink*(const str&, int, int, int, const str&, int, const TColor&)>
        createTextSprite;
};

// A member left empty keeps the link that does nothing.
void SetWindowSystemFactory(const TWindowSystemFactory& factory);
// New objects owned by the caller; never null.
TWindowManagerLink* CreateWindowManager();
TStringTableLink* CreateStringTable();
// Without a window system the window script is a plain script with the engine libraries, so the
// globals other parts publish still have a state to live in.
TScript* CreateWindowScript();
void ClearFontList();
// A new text block owned by the caller; null while no window system is registered.
TTextSpriteLink* CreateTextSprite(const str& text, int width, int height, int alignment,
                                  const str& fontName, int fontSize, const TColor& color);
