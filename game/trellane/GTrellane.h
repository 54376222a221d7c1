// The level-data saver as the game and the library "Trellane.dll" share it: the library's factory
// makes one saver, the game calls its four operations in this slot order and frees it through
// Release. The saver collects the positions written while it is open and writes them as the level
// file when it is closed. One thread at a time.
#pragma once

class GTrellane {
public:
    // Frees the saver.
    virtual void Release() = 0;
    // Keeps the object's position for the level file; 1, or 0 while the saver is not open.
    virtual int Write(const char* objectName, int x, int y) = 0;
    // Starts collecting for the level file; not 0 on success. The variables file is not written.
    virtual int Open(const char* levelFile, const char* variablesFile) = 0;
    // Writes the collected positions as the level file (it may name another than Open did); not
    // 0 on success.
    virtual int Close(const char* levelFile) = 0;

protected:
    ~GTrellane() = default;
};

// The factory the library exports as "CreateTrellane"; the game asks for it by its decorated
// name "_CreateTrellane@0". Null when it cannot make a saver.
using GCreateTrellane = GTrellane* (*)();
