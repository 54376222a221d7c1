// The binding of the optional level-data saver library "Trellane.dll", through which the position
// editor writes the level's object positions. The library is looked for once, at first use; a
// missing library or factory is no error, but nothing can then be saved. One instance, made on
// first use; the library is let go at exit. Main thread only.
#pragma once

#include "game/trellane/GTrellane.h"
#include "platform/win32/wintypes.h"

class GTrellaneSaver {
public:
    // The library not yet looked for; looked for and no saver open; a saver open.
    enum : int { kNotLoaded = 0, kClosed = 2, kOpen = 3 };

    GTrellaneSaver() = default;
    ~GTrellaneSaver();
    GTrellaneSaver(const GTrellaneSaver&) = delete;
    GTrellaneSaver& operator=(const GTrellaneSaver&) = delete;

    // A saver still held is released first. True (state 3) when the library made a saver and it
    // opened the files; false without the library or its factory, or when the saver refused.
    bool Open(const char* levelFile, const char* variablesFile);
    // The saver's answer while open, else 0.
    int WriteObject(const char* name, int x, int y);
    // The saver writes the level file and goes (state 2); its answer, 0 without a saver.
    int Close(const char* levelFile);
    // The saver goes without writing (state 2); 1.
    int Abort();
    int GetState() const { return mState; }

    // Looks for the library when that has not been done (state 0 becomes 2).
    void Load();
    // Lets the library go (state 0), and first a saver still held, without writing. Run at exit.
    void Unload();

private:
    void ReleaseSaver();

    GTrellane* mSaver = nullptr;
    int mState = kNotLoaded;
    HMODULE mModule = nullptr;
    GCreateTrellane mFactory = nullptr;
};

GTrellaneSaver* GetTrellaneSaver();
