#include "engine/core/diriterator.h"

#include "platform/win32/fileapi.h"

#include <cstring>

struct TDirIterator::TEntry {
    WIN32_FIND_DATAA mFound;
};

TDirIterator::TDirIterator(const char* folder) : mData(new TEntry{}) {
    Open(folder);
}

TDirIterator::~TDirIterator() {
    Close();
    delete mData;
}

void TDirIterator::Open(const char* folder) {
    Close();
    if (folder == nullptr) {
        return;
    }
    const size_t length = strnlen(folder, 255);
    str pattern(folder, static_cast<int>(length));
    const char last = length == 0 ? '\0' : folder[length - 1];
    pattern += str((last == '/' || last == '\\') ? "*" : "/*");
    mFind = FindFirstFileA(pattern.CStr(), &mData->mFound);
    if (mFind == INVALID_HANDLE_VALUE) {
        mFind = nullptr;
        return;
    }
    mPending = true;
}

void TDirIterator::Close() {
    if (mFind != nullptr) {
        FindClose(mFind);
        mFind = nullptr;
    }
    mPending = false;
}

bool TDirIterator::Next(str* name, bool* isFolder) {
    while (mFind != nullptr && mPending) {
        const WIN32_FIND_DATAA& found = mData->mFound;
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool dots =
            std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0;
        const bool take = !dots && !(folder && isFolder == nullptr);
        if (take && name != nullptr) {
            *name = str(found.cFileName);
        }
        if (take && isFolder != nullptr) {
            *isFolder = folder;
        }
        mPending = FindNextFileA(mFind, &mData->mFound) != 0;
        if (!mPending) {
            Close();
        }
        if (take) {
            return true;
        }
    }
    Close();
    return false;
}
