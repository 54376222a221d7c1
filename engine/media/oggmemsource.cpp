#include "engine/media/oggmemsource.h"

#include <algorithm>
#include <cstring>

ov_callbacks TOggMemSource::Callbacks() {
    ov_callbacks callbacks{};
    callbacks.read_func = &OggMemRead;
    callbacks.seek_func = &OggMemSeek;
    callbacks.close_func = &OggMemClose;
    callbacks.tell_func = &OggMemTell;
    return callbacks;
}

size_t OggMemRead(void* ptr, size_t size, size_t count, void* source) {
    auto* memory = static_cast<TOggMemSource*>(source);
    if (size == 0 || memory->mPosition >= memory->mSize) {
        return 0;
    }
    const size_t left = memory->mSize - memory->mPosition;
    const size_t items = std::min(count, left / size);
    const size_t bytes = items * size;
    std::memcpy(ptr, memory->mBytes.get() + memory->mPosition, bytes);
    memory->mPosition += static_cast<uint32_t>(bytes);
    return items;
}

int OggMemSeek(void* source, ogg_int64_t offset, int whence) {
    auto* memory = static_cast<TOggMemSource*>(source);
    const auto delta = static_cast<int64_t>(static_cast<int32_t>(offset));
    int64_t target = 0;
    switch (whence) {
    case SEEK_SET:
        target = delta;
        break;
    case SEEK_CUR:
        target = memory->mPosition + delta;
        break;
    case SEEK_END:
        target = memory->mSize + delta;
        break;
    default:
        return -1;
    }
    memory->mPosition = static_cast<uint32_t>(std::clamp<int64_t>(target, 0, memory->mSize));
    return 0;
}

int OggMemClose(void* source) {
    delete static_cast<TOggMemSource*>(source);
    return 0;
}

long OggMemTell(void* source) {
    return static_cast<long>(static_cast<TOggMemSource*>(source)->mPosition);
}
