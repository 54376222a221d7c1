#include "engine/core/memoryfile.h"

#include <cstdlib>
#include <cstring>

int ReadFromBlock(const unsigned char* start, uint32_t size, uint32_t* position, int mode,
                  void* buffer, int count, bool* pastEnd) {
    *pastEnd = false;
    if (start == nullptr || buffer == nullptr || count <= 0 || *position > size) {
        return 0;
    }
    uint32_t want = static_cast<uint32_t>(count);
    if (static_cast<uint64_t>(*position) + want > size) {
        want = size - *position;
        *pastEnd = true;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    if (mode != kModeReadText) {
        std::memcpy(out, start + *position, want);
        *position += want;
        return static_cast<int>(want);
    }
    uint32_t stored = 0;
    while (stored < want && *position < size) {
        const unsigned char c = start[(*position)++];
        out[stored] = c;
        if (c != '\r') {
            ++stored;
        }
    }
    return static_cast<int>(stored);
}

uint32_t SeekInBlock(uint32_t size, uint32_t position, int offset, int origin, bool* beyond) {
    int64_t target;
    switch (origin) {
    case kSeekCurrent:
        target = static_cast<int64_t>(position) + offset;
        break;
    case kSeekStart:
        target = offset;
        break;
    case kSeekEnd:
        target = static_cast<int64_t>(size) + offset;
        break;
    default:
        target = position;
        break;
    }
    *beyond = false;
    if (target < 0) {
        return position;
    }
    if (target > static_cast<int64_t>(size)) {
        *beyond = true;
        return size;
    }
    return static_cast<uint32_t>(target);
}

bool TMemoryFile::Open(const str& name, int mode) {
    Close();
    mMode = mode;
    if (mode >= kModeWriteBinary || name[0] != '&') {
        return false;
    }
    const char* text = name.CStr();
    const unsigned long long address = std::strtoull(text + 1, nullptr, 10);
    if (address == 0) {
        return false;
    }
    const char* comma = std::strchr(text, ',');
    if (comma == nullptr) {
        Close();
        return false;
    }
    mStart = reinterpret_cast<const unsigned char*>(static_cast<uintptr_t>(address));
    mSize = static_cast<uint32_t>(std::strtoul(comma + 1, nullptr, 10));
    mPosition = 0;
    return true;
}

void TMemoryFile::Close() {
    mStart = nullptr;
    mSize = 0;
    mPosition = 0;
}

void TMemoryFile::UngetByte() {
    if (mPosition > 0) {
        Seek(-1, kSeekCurrent);
    }
}

void TMemoryFile::Seek(int offset, int origin) {
    bool beyond = false;
    mPosition = SeekInBlock(mSize, mPosition, offset, origin, &beyond);
}

int TMemoryFile::GetSize() {
    return static_cast<int>(mSize);
}

int TMemoryFile::Tell() {
    return static_cast<int>(mPosition);
}

int TMemoryFile::Read(void* buffer, int count) {
    bool pastEnd = false;
    return ReadFromBlock(mStart, mSize, &mPosition, mMode, buffer, count, &pastEnd);
}

int TMemoryFile::Write(const void* /*buffer*/, int /*count*/) {
    return 0;
}

bool TMemoryFile::IsEof() {
    return mPosition == mSize;
}
