#include "engine/media/soundstream.h"

#include "engine/media/dxerror.h"
#include "engine/media/soundinstance.h"
#include "engine/media/soundmanager.h"
#include "platform/win32/synchapi.h"

#include <cmath>
#include <cstring>

namespace {

const char kStreamSource[] = ".\\soundstream";

// Secondary buffers as the streams make them.
constexpr DWORD kBufferFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS |
                               DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLVOLUME;

// bytesPerSecond x seconds rounded to the nearest byte, then up to a multiple of 8, within the
// sizes DirectSound takes.
uint32_t BufferBytes(DWORD bytesPerSecond, float seconds) {
    const double wanted = static_cast<double>(bytesPerSecond) * static_cast<double>(seconds);
    uint32_t bytes = 0;
    if (wanted >= static_cast<double>(DSBSIZE_MAX)) {
        bytes = DSBSIZE_MAX + 1;
    } else if (wanted >= 0.5) {
        bytes = static_cast<uint32_t>(std::lround(wanted));
        bytes = (bytes + 7) & ~7u;
    }
    if (bytes == 0) {
        return DSBSIZE_MIN;
    }
    return bytes > DSBSIZE_MAX ? DSBSIZE_MAX : bytes;
}

} // namespace

TStreamSpooler::~TStreamSpooler() = default;

TStreamNotify::~TStreamNotify() = default;

TSoundStreamBuffer::~TSoundStreamBuffer() {
    if (mNotify != nullptr) {
        mNotify->Release();
    }
    if (mBuffer != nullptr) {
        const HRESULT result = mBuffer->Stop();
        if (FAILED(result)) {
            ReportDxError(result, kStreamSource, 83);
        }
        mBuffer->Release();
    }
    for (HANDLE event : mEvents) {
        if (event != nullptr) {
            CloseHandle(event);
        }
    }
}

TSoundStream::TSoundStream(TSoundManager* manager, TStreamSpooler* spooler, bool loop, int category,
                           const boost::shared_ptr<TStreamNotify>& listener)
    : mManager(manager), mSpooler(spooler), mListener(listener),
      mBuffer(std::make_unique<TSoundStreamBuffer>()), mCategory(category), mLoop(loop) {}

TSoundStream* TSoundStream::Create(TSoundManager* manager, TStreamSpooler* spooler, bool loop,
                                   int category, const boost::shared_ptr<TStreamNotify>& listener) {
    if (manager == nullptr || manager->IsShuttingDown()) {
        if (spooler != nullptr) {
            spooler->Release();
        }
        return nullptr;
    }
    TSoundStreamPtr stream(new TSoundStream(manager, spooler, loop, category, listener));
    manager->AddStream(stream);
    return stream.get();
}

TSoundStream::~TSoundStream() {
    if (mSpooler != nullptr) {
        mSpooler->Release();
        mSpooler = nullptr;
    }
    if (boost::shared_ptr<TStreamNotify> listener = mListener.lock()) {
        listener->OnStreamEnd(this);
    }
    if (boost::shared_ptr<TSoundInstance> instance = mInstance.lock()) {
        instance->ForgetStream(this);
    }
    mBuffer.reset();
}

bool TSoundStream::CreateBuffer(int rate, int channels, int bits, float seconds) {
    if (!mManager->IsInitialised()) {
        return false;
    }
    TSoundLock hold(mManager);
    if (mBuffer->mBuffer != nullptr) {
        return false;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = static_cast<WORD>(bits);
    format.nBlockAlign = static_cast<WORD>(channels * (bits / 8));
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    const DWORD bytesPerSecond = format.nAvgBytesPerSec;
    mBufferBytes = BufferBytes(bytesPerSecond, seconds);
    mBufferSeconds = bytesPerSecond == 0
                         ? 0.0f
                         : static_cast<float>(mBufferBytes) / static_cast<float>(bytesPerSecond);

    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = kBufferFlags;
    desc.dwBufferBytes = mBufferBytes;
    desc.lpwfxFormat = &format;
    HRESULT result =
        mManager->GetDirectSound()->CreateSoundBuffer(&desc, &mBuffer->mBuffer, nullptr);
    if (FAILED(result)) {
        mBuffer->mBuffer = nullptr;
        mBufferSeconds = 0.0f;
        ReportDxError(result, kStreamSource, 232);
        return false;
    }
    for (HANDLE& event : mBuffer->mEvents) {
        event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (event == nullptr) {
            return false;
        }
    }
    mBuffer->mPositions[0] = DSBPOSITIONNOTIFY{0, mBuffer->mEvents[0]};
    mBuffer->mPositions[1] = DSBPOSITIONNOTIFY{mBufferBytes / 2, mBuffer->mEvents[1]};
    mBuffer->mPositions[2] = DSBPOSITIONNOTIFY{DSBPN_OFFSETSTOP, mBuffer->mEvents[2]};
    void* notify = nullptr;
    result = mBuffer->mBuffer->QueryInterface(IID_IDirectSoundNotify, &notify);
    if (FAILED(result)) {
        ReportDxError(result, kStreamSource, 251);
        return false;
    }
    mBuffer->mNotify = static_cast<IDirectSoundNotify*>(notify);
    result = mBuffer->mNotify->SetNotificationPositions(2, mBuffer->mPositions);
    if (FAILED(result)) {
        ReportDxError(result, kStreamSource, 258);
        return false;
    }
    mRemaining = static_cast<int32_t>(mBufferBytes);
    mEnded = false;
    Refill(true);
    return true;
}

int TSoundStream::ChooseHalf(bool first, DWORD play, DWORD write) const {
    const DWORD half = mBufferBytes / 2;
    if (first) {
        return 1;
    }
    if (write < half) {
        return 2;
    }
    return play <= half ? 0 : 1;
}

bool TSoundStream::Refill(bool first) {
    TSoundLock hold(mManager);
    IDirectSoundBuffer* buffer = mBuffer->mBuffer;
    if (buffer == nullptr) {
        // No buffer: the stream lasts as long as its data would play.
        return mSpooler == nullptr || mSpooler->GetLength() >= mClock.GetTime() / 1000.0;
    }
    DWORD play = 0xFFFFFFFFu;
    DWORD write = 0xFFFFFFFFu;
    HRESULT result = buffer->GetCurrentPosition(&play, &write);
    if (FAILED(result)) {
        ReportDxError(result, kStreamSource, 345);
    }
    const int half = ChooseHalf(first, play, write);
    if (half == 0) {
        return true;
    }
    if (half == mLastFilled) {
        // Refilled already; a one-shot buffer has played out once its cursors meet.
        return !(mOnce && play >= write);
    }
    mLastFilled = half;
    const DWORD halfBytes = mBufferBytes / 2;
    if (mEnded) {
        // After the data ran out: the half that holds its tail plays, then one silent half.
        mRemaining -= static_cast<int32_t>(halfBytes);
        if (mRemaining <= 0) {
            result = buffer->Stop();
            if (FAILED(result)) {
                ReportDxError(result, kStreamSource, 391);
            }
            if (mSpooler != nullptr) {
                mSpooler->Release();
                mSpooler = nullptr;
            }
            return false;
        }
    }
    void* audio1 = nullptr;
    DWORD bytes1 = 0;
    void* audio2 = nullptr;
    DWORD bytes2 = 0;
    result =
        buffer->Lock(half == 1 ? 0 : halfBytes, halfBytes, &audio1, &bytes1, &audio2, &bytes2, 0);
    if (FAILED(result)) {
        ReportDxError(result, kStreamSource, 408);
        return false;
    }
    if (mSpooler != nullptr) {
        int read = 0;
        mEnded = !mSpooler->Read(static_cast<int>(bytes1), audio1, &read, mLoop);
    } else {
        std::memset(audio1, 0, bytes1);
        mEnded = true;
    }
    result = buffer->Unlock(audio1, bytes1, audio2, bytes2);
    if (FAILED(result)) {
        ReportDxError(result, kStreamSource, 438);
    }
    return true;
}

void TSoundStream::Play(bool once) {
    TSoundLock hold(mManager);
    mOnce = mOnce || once;
    if (IDirectSoundBuffer* buffer = mBuffer->mBuffer) {
        SetVolume(mManager->GetVolume(mCategory));
        if (mManager->IsActive()) {
            const HRESULT result = buffer->Play(0, 0, mOnce ? 0 : DSBPLAY_LOOPING);
            if (FAILED(result)) {
                ReportDxError(result, kStreamSource, mOnce ? 558 : 560);
            }
        } else {
            // SetActive(true) starts it.
            mSuspended = true;
            mPaused = true;
        }
    }
    mClock.Stop();
    mClock.Resume();
}

void TSoundStream::Pause(bool pause) {
    TSoundLock hold(mManager);
    if (IDirectSoundBuffer* buffer = mBuffer->mBuffer) {
        if (pause) {
            mPaused = true;
            const HRESULT result = buffer->Stop();
            if (FAILED(result)) {
                ReportDxError(result, kStreamSource, 476);
            }
            mSuspended = false;
        } else {
            mPaused = false;
            Play(mOnce);
        }
    }
    if (pause) {
        mClock.Pause();
    } else {
        mClock.Resume();
    }
}

void TSoundStream::SetSuspended(bool suspend) {
    TSoundLock hold(mManager);
    if (suspend) {
        if (!mPaused) {
            Pause(true);
            mSuspended = true;
        }
    } else if (mSuspended) {
        Pause(false);
        mSuspended = false;
    }
}

void TSoundStream::SetVolume(float volume) {
    TSoundLock hold(mManager);
    if (!(volume > 0.0f)) {
        volume = 0.0f;
    } else if (volume > 1.0f) {
        volume = 1.0f;
    }
    // Hundredths of a decibel, truncated: -50 dB to 0 dB, and silence at 0.
    const LONG level =
        volume == 0.0f ? DSBVOLUME_MIN : static_cast<LONG>(-(1.0f - volume) * 5000.0f);
    IDirectSoundBuffer* buffer = mBuffer->mBuffer;
    if (buffer == nullptr) {
        return;
    }
    DWORD status = 0;
    HRESULT result = buffer->GetStatus(&status);
    if (FAILED(result)) {
        ReportDxError(result, kStreamSource, 631);
    }
    if (status == DSBSTATUS_BUFFERLOST) {
        result = buffer->Restore();
        if (FAILED(result)) {
            ReportDxError(result, kStreamSource, 635);
        }
    }
    result = buffer->SetVolume(level);
    if (FAILED(result)) {
        ReportDxError(result, kStreamSource, 637);
    }
}

void TSoundStream::Stop(bool retire) {
    TSoundLock hold(mManager);
    if (IDirectSoundBuffer* buffer = mBuffer->mBuffer) {
        const HRESULT result = buffer->Stop();
        if (FAILED(result)) {
            ReportDxError(result, kStreamSource, 583);
        }
    }
    // Released before `hold`: the stream may go with it, while the mutex is still held.
    const TSoundStreamPtr self = shared_from_this();
    if (retire) {
        mManager->RetireStream(self);
    } else {
        mManager->RemoveStream(self);
    }
}
