#include "engine/media/memspooler.h"

#include "engine/media/sounddata.h"
#include "engine/media/soundmanager.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

// Holds the platform's sound mutex, when there is one, for a scope.
class TSpoolerLock {
public:
    TSpoolerLock() { LockSoundMutex(); }
    ~TSpoolerLock() { UnlockSoundMutex(); }
    TSpoolerLock(const TSpoolerLock&) = delete;
    TSpoolerLock& operator=(const TSpoolerLock&) = delete;
};

int32_t ToPosition(ogg_int64_t position) {
    return static_cast<int32_t>(std::clamp<ogg_int64_t>(position, 0, INT32_MAX));
}

// A seek outside the data (OV_EINVAL) leaves the decoder as it was; any other failure is the
// decoder's own.
void MarkIfBroken(TSoundData& data, int result) {
    if (result != 0 && result != OV_EINVAL) {
        data.SetDecoderBroken();
    }
}

} // namespace

TMemSpooler::~TMemSpooler() = default;

bool TMemSpooler::Read(int bytes, void* buffer, int* bytesRead, bool loop) {
    bytes = std::max(bytes, 0);
    auto* out = static_cast<uint8_t*>(buffer);
    if (bytes > 0) {
        std::memset(out, 0, static_cast<size_t>(bytes));
    }
    *bytesRead = 0;
    const boost::shared_ptr<TSoundData> data = mData.lock();
    if (!data) {
        return false;
    }
    int total = 0;
    bool startedOver = false;
    for (;;) {
        bool ended = false;
        const int got = ReadPass(*data, out + total, bytes - total, &ended);
        total += got;
        *bytesRead = total;
        if (!ended) {
            return true;
        }
        if (!loop) {
            return false;
        }
        if (startedOver && got == 0) {
            // Nothing to repeat: the loop goes on, silently.
            return true;
        }
        // The next pass seeks the decoder to sample 0.
        mPosition = 0;
        startedOver = true;
    }
}

int TMemSpooler::ReadPass(TSoundData& data, uint8_t* out, int bytes, bool* ended) {
    *ended = false;
    if (const uint8_t* pcm = data.GetPcm()) {
        const int64_t decoded = data.GetDecoded();
        const int64_t position = std::clamp<int64_t>(mPosition, 0, decoded);
        int64_t count = bytes;
        if (decoded < bytes + position) {
            count = decoded - position;
            *ended = true;
        }
        if (count > 0) {
            std::memcpy(out, pcm + position, static_cast<size_t>(count));
        }
        mPosition = static_cast<int32_t>(position + count);
        return static_cast<int>(count);
    }
    OggVorbis_File* decoder = data.GetDecoder();
    if (decoder == nullptr || data.IsDecoderBroken()) {
        *ended = true;
        return 0;
    }
    // Copies of one sound share the decoder: it is moved only when another copy left it elsewhere.
    if (ov_pcm_tell(decoder) != mPosition) {
        const int sought = ov_pcm_seek(decoder, mPosition);
        if (sought != 0) {
            MarkIfBroken(data, sought);
            *ended = true;
            return 0;
        }
    }
    int total = 0;
    int section = -1;
    while (total < bytes) {
        // Whole frames of the current logical stream: ov_read refuses less than one.
        const vorbis_info* info = ov_info(decoder, -1);
        const int frame = info != nullptr && info->channels > 0 ? info->channels * 2 : 2;
        const int wanted = (bytes - total) / frame * frame;
        if (wanted == 0) {
            break;
        }
        const long got =
            ov_read(decoder, reinterpret_cast<char*>(out + total), wanted, 0, 2, 1, &section);
        if (got == OV_HOLE) {
            continue;
        }
        // 0 is the end; any other error ends the data where it broke, keeping what came before.
        if (got <= 0) {
            if (got < 0) {
                data.SetDecoderBroken();
            }
            *ended = true;
            break;
        }
        total += static_cast<int>(got);
    }
    mPosition = ToPosition(ov_pcm_tell(decoder));
    return total;
}

void TMemSpooler::Seek(float seconds) {
    const TSpoolerLock hold;
    const boost::shared_ptr<TSoundData> data = mData.lock();
    if (!data) {
        return;
    }
    if (OggVorbis_File* decoder = data->GetDecoder()) {
        if (data->IsDecoderBroken()) {
            return;
        }
        const int sought = ov_time_seek(decoder, seconds);
        if (sought == 0) {
            mPosition = ToPosition(ov_pcm_tell(decoder));
        }
        MarkIfBroken(*data, sought);
        return;
    }
    const int64_t frameBytes = std::max(data->GetChannels(), 1) * 2;
    const double lastFrame = static_cast<double>(data->GetDecoded() / frameBytes);
    double frame = std::round(static_cast<double>(seconds) * data->GetRate());
    if (!(frame > 0.0)) {
        frame = 0.0;
    }
    frame = std::min(frame, lastFrame);
    mPosition = static_cast<int32_t>(static_cast<int64_t>(frame) * frameBytes);
}

double TMemSpooler::GetLength() {
    const boost::shared_ptr<TSoundData> data = mData.lock();
    return data ? data->GetLength() : 0.0;
}

void TMemSpooler::Release() {
    delete this;
}

void TMemSpooler::Rewind() {
    const TSpoolerLock hold;
    const boost::shared_ptr<TSoundData> data = mData.lock();
    if (!data) {
        return;
    }
    OggVorbis_File* decoder = data->GetDecoder();
    if (decoder != nullptr && !data->IsDecoderBroken()) {
        MarkIfBroken(*data, ov_pcm_seek(decoder, 0));
    }
    mPosition = 0;
}
