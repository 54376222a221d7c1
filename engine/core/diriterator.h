// Lists a folder's entries (files and subfolders, never "." and ".."). Main thread.
#pragma once

#include "engine/core/str.h"
#include "platform/win32/wintypes.h"

class TDirIterator {
public:
    explicit TDirIterator(const char* folder = nullptr);
    ~TDirIterator();
    TDirIterator(const TDirIterator&) = delete;
    TDirIterator& operator=(const TDirIterator&) = delete;

    // Closes an open listing; a null folder leaves it closed.
    void Open(const char* folder);
    // The next entry; with isFolder null, folders are passed over. False at the end.
    bool Next(str* name, bool* isFolder);

private:
    void Close();

    HANDLE mFind = nullptr;
    bool mPending = false; // mData holds an entry not handed out yet
    struct TEntry;
    TEntry* mData = nullptr;
};
