// The registry of vector fonts by name: the text layout asks it for a font by file name and gets a
// loaded TMiniVecFont. A name that cannot be opened falls back to "fonts/default.mvec", then to the
// font built into the program ("__DEFAULT"). One process-wide list owns every font it built; the
// Win32 record's destructor clears it at platform shutdown. Main thread only.
#pragma once

#include "engine/core/str.h"

#include <map>
#include <memory>

class TMiniVecFont;

class TFontList {
public:
    static TFontList& Instance();

    TFontList() = default;
    ~TFontList();
    TFontList(const TFontList&) = delete;
    TFontList& operator=(const TFontList&) = delete;

    // The font of that name, loaded on first use; null (once logged) when it failed to build. A
    // name asked again answers what it answered the first time, without opening any file.
    TMiniVecFont* Get(const str& name);
    // Deletes every font. The glyph rasteriser knows outlines by address, so its cache is emptied
    // first: a font loaded later may reuse the memory.
    void Clear();

    // Fonts and failures held.
    size_t GetCount() const { return mFonts.size(); }

private:
    std::map<str, std::unique_ptr<TMiniVecFont>> mFonts;
};
