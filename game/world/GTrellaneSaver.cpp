#include "game/world/GTrellaneSaver.h"

#include "platform/win32/libloader.h"

GTrellaneSaver::~GTrellaneSaver() {
    Unload();
}

void GTrellaneSaver::Load() {
    if (mState != kNotLoaded) {
        return;
    }
    mModule = LoadLibraryA("Trellane.dll");
    if (mModule != nullptr) {
        mFactory = reinterpret_cast<GCreateTrellane>(GetProcAddress(mModule, "_CreateTrellane@0"));
    }
    mState = kClosed;
}

void GTrellaneSaver::Unload() {
    // Its code goes with the library: a saver still held is let go first, unwritten.
    ReleaseSaver();
    if (mModule != nullptr) {
        FreeLibrary(mModule);
    }
    mModule = nullptr;
    mFactory = nullptr;
    mState = kNotLoaded;
}

void GTrellaneSaver::ReleaseSaver() {
    if (mSaver != nullptr) {
        mSaver->Release();
        mSaver = nullptr;
    }
}

bool GTrellaneSaver::Open(const char* levelFile, const char* variablesFile) {
    ReleaseSaver();
    if (mState == kOpen) {
        mState = kClosed;
    }
    mSaver = mFactory != nullptr ? mFactory() : nullptr;
    // Without a saver nothing moved could be kept: the editor must not claim to save.
    if (mSaver == nullptr) {
        return false;
    }
    if (mSaver->Open(levelFile, variablesFile) == 0) {
        ReleaseSaver();
        return false;
    }
    mState = kOpen;
    return true;
}

int GTrellaneSaver::WriteObject(const char* name, int x, int y) {
    if (mState != kOpen || mSaver == nullptr) {
        return 0;
    }
    return mSaver->Write(name, x, y);
}

int GTrellaneSaver::Close(const char* levelFile) {
    int result = 0;
    if (mSaver != nullptr) {
        result = mSaver->Close(levelFile);
        ReleaseSaver();
    }
    mState = kClosed;
    return result;
}

int GTrellaneSaver::Abort() {
    ReleaseSaver();
    mState = kClosed;
    return 1;
}

GTrellaneSaver* GetTrellaneSaver() {
    static GTrellaneSaver saver;
    saver.Load();
    return &saver;
}
