#include "engine/media/soundmanager.h"

#include "engine/core/log.h"
#include "engine/media/dxerror.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "platform/win32/processthreadsapi.h"
#include "platform/win32/synchapi.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <vector>

namespace {

const char kSource[] = ".\\soundmanager";

// Destroys the streams one at a time, oldest first, each taken out of the list before it goes:
// a listener told of one may stop another, which then finds the list as it stands.
void DestroyInOrder(std::vector<TSoundStreamPtr>& streams) {
    while (!streams.empty()) {
        TSoundStreamPtr stream = std::move(streams.front());
        streams.erase(streams.begin());
        stream.reset();
    }
}

void Erase(std::vector<TSoundStreamPtr>& streams, const TSoundStreamPtr& stream) {
    streams.erase(std::remove(streams.begin(), streams.end(), stream), streams.end());
}

} // namespace

// What the manager owns: DirectSound, the stream lists, the volumes, the thread and the mutex.
class TSoundManagerImpl {
public:
    explicit TSoundManagerImpl(TSoundManager* owner)
        : mOwner(owner), mMutex(CreateMutexA(nullptr, FALSE, "TSoundManagerMutex")) {
        if (mMutex == nullptr) {
            Log("TSoundManager: the sound mutex could not be created");
        }
    }
    // Releases DirectSound (which frees the primary buffer) and closes the handles.
    ~TSoundManagerImpl() {
        ReleaseDirectSound();
        if (mThread != nullptr) {
            CloseHandle(mThread);
        }
        if (mMutex != nullptr) {
            CloseHandle(mMutex);
        }
    }
    TSoundManagerImpl(const TSoundManagerImpl&) = delete;
    TSoundManagerImpl& operator=(const TSoundManagerImpl&) = delete;

    void Lock() {
        if (mMutex != nullptr) {
            WaitForSingleObject(mMutex, INFINITE);
        }
    }
    void Unlock() {
        if (mMutex != nullptr) {
            ReleaseMutex(mMutex);
        }
    }
    void ReleaseDirectSound() {
        if (mSound != nullptr) {
            mSound->Release();
        }
        mSound = nullptr;
        mPrimary = nullptr;
    }

    TSoundManager* mOwner;
    IDirectSound* mSound = nullptr;
    // Belongs to mSound.
    IDirectSoundBuffer* mPrimary = nullptr;
    // The live streams, oldest first.
    std::vector<TSoundStreamPtr> mStreams;
    float mMaster = 1.0f;
    std::map<int32_t, float> mCategories;
    DWORD mThreadId = 0;
    HANDLE mThread = nullptr;
    // Set under the mutex by the destructor; the thread reads it between passes.
    std::atomic<bool> mStop{false};
    // Retired by the sound thread, freed by Update.
    std::vector<TSoundStreamPtr> mFinished;
    HANDLE mMutex;
};

TSoundManager::TSoundManager() : mImpl(new TSoundManagerImpl(this)) {}

TSoundManager::~TSoundManager() {
    mImpl->Lock();
    mImpl->mStop = true;
    mImpl->Unlock();
    // Waits on the thread's handle, which is signalled when it has ended; there is nothing to
    // wait for when it never started.
    if (mImpl->mThread != nullptr) {
        WaitForSingleObject(mImpl->mThread, INFINITE);
    }
    mShuttingDown = true;
    Lock();
    DestroyInOrder(mImpl->mFinished);
    DestroyInOrder(mImpl->mStreams);
    Unlock();
    delete mImpl;
    mImpl = nullptr;
}

TSoundManager* TSoundManager::Get() {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? dynamic_cast<TSoundManager*>(platform->GetSoundManager())
                               : nullptr;
}

void TSoundManager::Lock() {
    if (mImpl != nullptr) {
        mImpl->Lock();
    }
}

void TSoundManager::Unlock() {
    if (mImpl != nullptr) {
        mImpl->Unlock();
    }
}

DWORD TSoundManager::ThreadMain(LPVOID record) {
    auto* impl = static_cast<TSoundManagerImpl*>(record);
    while (!impl->mStop) {
        impl->Lock();
        if (!impl->mStop) {
            impl->mOwner->ServiceStreams(true);
        }
        impl->Unlock();
        Sleep(50);
    }
    return 0;
}

bool TSoundManager::Init() {
    if (mInitialised) {
        return true;
    }
    Lock();
    mClock.Stop();
    mClock.Resume();
    Unlock();
    // One thread per manager, started on the first call whatever DirectSound does: streams
    // without a buffer end only through its passes.
    if (mImpl->mThread == nullptr) {
        mImpl->mThread =
            CreateThread(nullptr, 0, &TSoundManager::ThreadMain, mImpl, 0, &mImpl->mThreadId);
        if (mImpl->mThread == nullptr) {
            Log("TSoundManager::Init: the sound thread could not be started");
        }
    }

    HRESULT result = DirectSoundCreate(nullptr, &mImpl->mSound, nullptr);
    if (FAILED(result)) {
        mImpl->mSound = nullptr;
        ReportDxError(result, kSource, 163);
        return false;
    }
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    mImpl->mSound->GetCaps(&caps);
    TPlatform* platform = TPlatform::GetInstance();
    HWND window = platform != nullptr ? platform->GetWin32()->mMainWindow : nullptr;
    result = mImpl->mSound->SetCooperativeLevel(window, DSSCL_PRIORITY);
    if (FAILED(result)) {
        // A later call starts over with a new DirectSound object.
        mImpl->ReleaseDirectSound();
        ReportDxError(result, kSource, 178);
        return false;
    }
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    result = mImpl->mSound->CreateSoundBuffer(&desc, &mImpl->mPrimary, nullptr);
    if (FAILED(result)) {
        mImpl->ReleaseDirectSound();
        ReportDxError(result, kSource, 183);
        return false;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.nAvgBytesPerSec = 176400;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    mImpl->mPrimary->SetFormat(&format);
    mInitialised = true;
    return true;
}

void TSoundManager::Update() {
    Lock();
    std::vector<TSoundStreamPtr> retired;
    retired.swap(mImpl->mFinished);
    DestroyInOrder(retired);
    Unlock();
}

void TSoundManager::SetActive(bool active) {
    Lock();
    mActive = active;
    std::vector<TSoundStreamPtr> streams = mImpl->mStreams;
    for (const TSoundStreamPtr& stream : streams) {
        stream->SetSuspended(!active);
        if (active) {
            ApplyVolumes();
        }
    }
    streams.clear();
    Unlock();
}

float TSoundManager::GetVolume(int category) {
    Lock();
    float volume = mImpl->mMaster;
    auto found = mImpl->mCategories.find(category);
    if (found != mImpl->mCategories.end()) {
        volume *= found->second;
    }
    Unlock();
    return volume;
}

void TSoundManager::SetVolume(int category, float volume) {
    if (category == -1) {
        SetVolume(volume);
    } else {
        SetCategoryVolume(category, volume);
    }
}

void TSoundManager::SetVolume(float master) {
    Lock();
    mImpl->mMaster = master;
    Unlock();
    ApplyVolumes();
}

void TSoundManager::SetCategoryVolume(int category, float volume) {
    Lock();
    mImpl->mCategories[category] = volume;
    Unlock();
    ApplyVolumes();
}

void TSoundManager::ApplyVolumes() {
    Lock();
    std::vector<TSoundStreamPtr> streams = mImpl->mStreams;
    for (const TSoundStreamPtr& stream : streams) {
        const float volume = GetVolume(stream->GetCategory());
        // First a step away from the volume, then the volume itself.
        stream->SetVolume(volume < 0.5f ? volume + 0.05f : volume - 0.05f);
        stream->SetVolume(volume);
    }
    streams.clear();
    Unlock();
}

void TSoundManager::PauseCategory(bool pause, int category) {
    Lock();
    std::vector<TSoundStreamPtr> streams = mImpl->mStreams;
    for (const TSoundStreamPtr& stream : streams) {
        if (category == -1 || stream->GetCategory() == category) {
            stream->Pause(pause);
        }
    }
    if (!pause) {
        ApplyVolumes();
    }
    streams.clear();
    Unlock();
}

void TSoundManager::StopCategory(int category) {
    Lock();
    std::vector<TSoundStreamPtr> streams = mImpl->mStreams;
    for (const TSoundStreamPtr& stream : streams) {
        if (category == -1 || stream->GetCategory() == category) {
            stream->Stop(false);
        }
    }
    // The stopped streams go with the last reference, here, under the mutex.
    DestroyInOrder(streams);
    Unlock();
}

void TSoundManager::ServiceStreams(bool retire) {
    Lock();
    RefillStreams(retire);
    Unlock();
}

void TSoundManager::RefillStreams(bool retire) {
    if (mClock.GetTime() <= 500) {
        return;
    }
    mClock.Reset(0);
    std::vector<TSoundStreamPtr>& streams = mImpl->mStreams;
    // From the last stream to the first; after each one that ended, the clock and the walk start
    // over (the streams refilled already find nothing to do).
    std::size_t next = streams.size();
    while (next > 0) {
        const TSoundStreamPtr stream = streams[--next];
        if (!stream->Refill(false)) {
            if (retire) {
                RetireStream(stream);
            } else {
                RemoveStream(stream);
            }
            mClock.Reset(0);
            next = streams.size();
        }
    }
}

IDirectSound* TSoundManager::GetDirectSound() const {
    return mImpl->mSound;
}

void TSoundManager::AddStream(const TSoundStreamPtr& stream) {
    Lock();
    mImpl->mStreams.push_back(stream);
    Unlock();
}

void TSoundManager::RemoveStream(const TSoundStreamPtr& stream) {
    Lock();
    Erase(mImpl->mStreams, stream);
    Erase(mImpl->mFinished, stream);
    Unlock();
}

void TSoundManager::RetireStream(const TSoundStreamPtr& stream) {
    Lock();
    Erase(mImpl->mStreams, stream);
    mImpl->mFinished.push_back(stream);
    Unlock();
}

void LockSoundMutex() {
    if (TSoundManager* manager = TSoundManager::Get()) {
        manager->Lock();
    }
}

void UnlockSoundMutex() {
    if (TSoundManager* manager = TSoundManager::Get()) {
        manager->Unlock();
    }
}
