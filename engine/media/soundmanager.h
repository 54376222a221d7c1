// The sound manager: owns DirectSound, every stream and the sound thread. The thread wakes every
// 50 ms and, each time more than 500 ms of the manager's clock have passed, refills every live
// stream and retires the ones that ended; the main thread frees the retired streams in Update, so
// their listeners are told there. Volumes are a master volume times a per-category volume.
// Created by TPlatform::InitSound through the registered factory, deleted by the platform.
// Main thread, except ServiceStreams (the sound thread) and the mutex, which any thread may take.
#pragma once

#include "engine/core/clock.h"
#include "engine/media/soundstream.h"
#include "engine/system/medialink.h"

#include <cstdint>

class TSoundManagerImpl;

class TSoundManager final : public TSoundManagerLink {
public:
    // Creates the mutex; neither DirectSound nor the thread yet.
    TSoundManager();
    // Stops the thread and waits for it, destroys every stream (their listeners are told), then
    // releases DirectSound.
    ~TSoundManager() override;
    TSoundManager(const TSoundManager&) = delete;
    TSoundManager& operator=(const TSoundManager&) = delete;

    // The platform's sound manager; null when there is none.
    static TSoundManager* Get();

    // Starts the sound thread, once per manager, and opens DirectSound on the main window. True
    // at once after a success. A failure is logged and answers false; the thread keeps running,
    // so that streams without a buffer still end on their clocks, and a later call tries again.
    bool Init() override;
    // Frees the streams the sound thread retired; their listeners are told here.
    void Update() override;
    // Suspends every stream while the application is inactive and resumes them when it is back.
    void SetActive(bool active) override;
    // The master volume times the category's, or the master volume alone when the category has
    // no volume of its own.
    float GetVolume(int category) override;
    // Category -1 is the master volume.
    void SetVolume(int category, float volume) override;
    void SetVolume(float master);
    void SetCategoryVolume(int category, float volume);
    // Gives every live stream its category's volume.
    void ApplyVolumes();
    // Category -1 is every stream.
    void PauseCategory(bool pause, int category);
    void StopCategory(int category);

    // One pass of the sound thread: when more than 500 ms of the manager's clock have passed,
    // refills every live stream, last to first, and retires (without `retire`, removes) each one
    // that ended. Takes the mutex, so it may run at once from another thread too.
    void ServiceStreams(bool retire);

    // The mutex "TSoundManagerMutex", re-entrant for its owner; every stream operation holds it.
    void Lock();
    void Unlock();

private:
    friend class TSoundStream;

    static DWORD ThreadMain(LPVOID record);
    void RefillStreams(bool retire);

    // For the streams, under the mutex.
    bool IsInitialised() const { return mInitialised; }
    bool IsActive() const { return mActive; }
    bool IsShuttingDown() const { return mShuttingDown; }
    IDirectSound* GetDirectSound() const;
    void AddStream(const TSoundStreamPtr& stream);
    // Drops the stream from both lists.
    void RemoveStream(const TSoundStreamPtr& stream);
    // Moves the stream from the live list to the finished list.
    void RetireStream(const TSoundStreamPtr& stream);

    TSoundManagerImpl* mImpl;
    // The service clock: how long since the last refill.
    TClock mClock;
    bool mInitialised = false;
    bool mShuttingDown = false;
    bool mActive = true;
};

// Hold the sound mutex for a scope.
class TSoundLock {
public:
    explicit TSoundLock(TSoundManager* manager) : mManager(manager) { mManager->Lock(); }
    ~TSoundLock() { mManager->Unlock(); }
    TSoundLock(const TSoundLock&) = delete;
    TSoundLock& operator=(const TSoundLock&) = delete;

private:
    TSoundManager* mManager;
};

// Take and release the platform's sound mutex; nothing while there is no sound manager.
void LockSoundMutex();
void UnlockSoundMutex();
