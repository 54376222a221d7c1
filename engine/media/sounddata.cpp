#include "engine/media/sounddata.h"

#include "engine/core/file.h"
#include "engine/core/log.h"
#include "engine/media/oggmemsource.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace {

// The decoder's callbacks over an engine file; offsets are 32-bit, as the file layer's are.
size_t OggFileRead(void* ptr, size_t size, size_t count, void* source) {
    auto* file = static_cast<TFile*>(source);
    if (size == 0 || count == 0) {
        return 0;
    }
    // vorbisfile asks for a few kilobytes at a time; a larger request is cut to whole items.
    const size_t items = std::min(count, static_cast<size_t>(INT_MAX) / size);
    const int got = FileRead(file, ptr, static_cast<int>(items * size));
    if (got <= 0) {
        return 0;
    }
    const int partial = got % static_cast<int>(size);
    if (partial != 0) {
        FileSeek(file, -partial, kSeekCurrent);
    }
    return static_cast<size_t>(got) / size;
}

int OggFileSeek(void* source, ogg_int64_t offset, int whence) {
    const int origin = whence == SEEK_CUR   ? kSeekCurrent
                       : whence == SEEK_END ? kSeekEnd
                                            : kSeekStart;
    FileSeek(static_cast<TFile*>(source), static_cast<int32_t>(offset), origin);
    return 0;
}

int OggFileClose(void* source) {
    FileClose(static_cast<TFile*>(source));
    return 0;
}

long OggFileTell(void* source) {
    return FileTell(static_cast<TFile*>(source));
}

ov_callbacks FileCallbacks() {
    ov_callbacks callbacks{};
    callbacks.read_func = &OggFileRead;
    callbacks.seek_func = &OggFileSeek;
    callbacks.close_func = &OggFileClose;
    callbacks.tell_func = &OggFileTell;
    return callbacks;
}

// The whole file, read into memory; the file is closed.
TOggMemSource* ReadWhole(TFile* file) {
    FileSeek(file, 0, kSeekEnd);
    const long size = FileTell(file);
    FileSeek(file, 0, kSeekStart);
    const auto wanted = static_cast<uint32_t>(std::clamp<long>(size, 0, INT_MAX));
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[wanted]);
    const int got = FileRead(file, bytes.get(), static_cast<int>(wanted));
    FileClose(file);
    return new TOggMemSource(std::move(bytes), static_cast<uint32_t>(got > 0 ? got : 0));
}

} // namespace

void TSoundData::TDecoderDeleter::operator()(OggVorbis_File* decoder) const {
    ov_clear(decoder);
    delete decoder;
}

TSoundData::~TSoundData() = default;

bool TSoundData::Load(TFile* file, bool fromFile) {
    auto* decoder = new OggVorbis_File{};
    int opened = 0;
    if (fromFile) {
        opened = ov_open_callbacks(file, decoder, nullptr, 0, FileCallbacks());
    } else {
        TOggMemSource* source = ReadWhole(file);
        opened = ov_open_callbacks(source, decoder, nullptr, 0, TOggMemSource::Callbacks());
        if (opened < 0) {
            // A decoder that failed to open leaves its source to the caller.
            delete source;
        }
    }
    if (opened < 0) {
        delete decoder;
        Log("OGG file could not be opened");
        return false;
    }
    mDecoder.reset(decoder);
    if (const vorbis_info* info = ov_info(decoder, -1)) {
        mRate = static_cast<int32_t>(std::min<long>(info->rate, INT32_MAX));
        mChannels = info->channels;
    }
    mLength = ov_time_total(decoder, -1);
    if (mLength > 2.0 || fromFile) {
        return true;
    }
    if (!DecodeAll()) {
        mDecoder.reset();
        Log("OGG file could not be opened");
        return false;
    }
    return true;
}

bool TSoundData::DecodeAll() {
    // The length and the rate come from the file's header: the size is worked out in doubles
    // and checked before anything is allocated. The 0.1 s of slack is a float's 0.1.
    const double wanted = (mLength + static_cast<double>(0.1f)) * mChannels * mRate * 2.0;
    if (std::isnan(wanted) || wanted > static_cast<double>(kMaxDecodedBytes)) {
        return false;
    }
    mCapacity = wanted > 0.0 ? static_cast<uint32_t>(wanted) : 0;
    mPcm.reset(new uint8_t[mCapacity + 4]());
    int section = -1;
    uint32_t total = 0;
    while (total < mCapacity) {
        const long got = ov_read(mDecoder.get(), reinterpret_cast<char*>(mPcm.get() + total),
                                 static_cast<int>(mCapacity - total), 0, 2, 1, &section);
        if (got == OV_HOLE) {
            continue;
        }
        // 0 is the end; any other error ends the data where it broke, keeping what came before.
        if (got <= 0) {
            break;
        }
        total += static_cast<uint32_t>(got);
    }
    mDecoded = total;
    mDecoder.reset();
    return true;
}

void TSoundData::OnStreamEnd(TSoundStream* stream) {
    if (TSoundInstancePtr instance = stream->GetInstance()) {
        // The set's reference may be the last one.
        mInstances.erase(instance);
    }
}
