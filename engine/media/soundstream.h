// A sound playing through a DirectSound secondary buffer of about two seconds, fed with 16-bit PCM
// by a spooler. A sound that fits and does not loop plays once from the buffer; any other plays
// the buffer as a looping ring whose halves the sound thread refills one half ahead of the play
// cursor. Without a buffer (no DirectSound) a stream runs silently on its clock for its length.
// The sound manager's lists own the streams. Every operation holds the sound mutex; Refill runs on
// the sound thread, the rest on the main thread.
#pragma once

#include "engine/core/clock.h"
#include "platform/dsound/dsound.h"

#include <boost/enable_shared_from_this.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>

#include <cstdint>
#include <memory>

class TSoundInstance;
class TSoundManager;
class TSoundStream;

// A source of 16-bit PCM. Read by the sound thread under the sound mutex.
class TStreamSpooler {
public:
    virtual ~TStreamSpooler();
    // Fills `bytes` bytes at `buffer`, zero-filling what it cannot supply; *bytesRead is what it
    // supplied. With `loop` the source starts over at its end. True while more data follows.
    virtual bool Read(int bytes, void* buffer, int* bytesRead, bool loop) = 0;
    virtual void Seek(float seconds) = 0;
    // The source's length in seconds.
    virtual double GetLength() = 0;
    // The stream gives the spooler up, once: a spooler handed over to its stream frees itself.
    virtual void Release() {}
    virtual void Rewind() {}
};

// Told on the thread that destroys a stream: the main thread, unless a caller's Stop or the
// manager's destructor destroyed it.
class TStreamNotify {
public:
    virtual ~TStreamNotify();
    virtual void OnStreamEnd(TSoundStream* stream) = 0;
};

// The DirectSound side of a stream: the buffer, its notification positions and their events.
// Nothing waits on the events; the sound thread polls the cursors.
class TSoundStreamBuffer {
public:
    TSoundStreamBuffer() = default;
    // Releases the notify interface, stops and releases the buffer, closes the events.
    ~TSoundStreamBuffer();
    TSoundStreamBuffer(const TSoundStreamBuffer&) = delete;
    TSoundStreamBuffer& operator=(const TSoundStreamBuffer&) = delete;

    IDirectSoundBuffer* mBuffer = nullptr;
    // The start, the middle and the stop position.
    DSBPOSITIONNOTIFY mPositions[3]{};
    HANDLE mEvents[3]{};
    IDirectSoundNotify* mNotify = nullptr;
};

class TSoundStream : public boost::enable_shared_from_this<TSoundStream> {
public:
    // A new stream, owned by `manager`'s live list. The stream owns `spooler` and gives it up
    // (TStreamSpooler::Release) when its data has run out or when it dies; it holds `listener`
    // weakly. Null, with the spooler given up at once, when there is no manager or it is shutting
    // down. Main thread.
    static TSoundStream* Create(TSoundManager* manager, TStreamSpooler* spooler, bool loop,
                                int category, const boost::shared_ptr<TStreamNotify>& listener);
    // Gives the spooler up, tells the listener, lets the instance go, frees the buffer.
    ~TSoundStream();
    TSoundStream(const TSoundStream&) = delete;
    TSoundStream& operator=(const TSoundStream&) = delete;

    // A buffer of `seconds` of PCM, its first half filled; false when the manager has no
    // DirectSound or the buffer cannot be made, and the stream runs on its clock. One buffer per
    // stream: a second call answers false.
    bool CreateBuffer(int rate, int channels, int bits, float seconds);
    // Starts at the current volume of the stream's category; `once` (kept once given) plays the
    // buffer a single time instead of as a ring. While the application is inactive the stream is
    // only marked suspended, and starts when it becomes active. Restarts the stream's clock.
    void Play(bool once);
    void Pause(bool pause);
    // Pauses for the application's inactivity; a stream paused already stays as it is, and
    // resuming wakes only a stream this suspended.
    void SetSuspended(bool suspend);
    // 0 to 1, on a scale of -50 dB to 0 dB; 0 is silence. Restores a lost buffer first.
    void SetVolume(float volume);
    // Stops the buffer and retires the stream (or, without `retire`, removes it); the stream is
    // destroyed within this call unless another reference holds it.
    void Stop(bool retire);
    // Sound thread (and CreateBuffer for the first half): refills the half ahead of the play
    // cursor; false once the stream has ended.
    bool Refill(bool first);

    int GetCategory() const { return mCategory; }
    // The playing copy of a sound this stream plays, held weakly; the destructor clears its
    // stream pointer.
    void SetInstance(const boost::shared_ptr<TSoundInstance>& instance) { mInstance = instance; }
    boost::shared_ptr<TSoundInstance> GetInstance() const { return mInstance.lock(); }
    boost::shared_ptr<TStreamNotify> GetListener() const { return mListener.lock(); }
    // The buffer's length in seconds; 0 without a buffer.
    float GetBufferSeconds() const { return mBufferSeconds; }

private:
    TSoundStream(TSoundManager* manager, TStreamSpooler* spooler, bool loop, int category,
                 const boost::shared_ptr<TStreamNotify>& listener);
    // The half to fill next (1 the first, 2 the second), or 0 when the cursors straddle the middle.
    int ChooseHalf(bool first, DWORD play, DWORD write) const;

    TSoundManager* mManager;
    TStreamSpooler* mSpooler;
    boost::weak_ptr<TStreamNotify> mListener;
    boost::weak_ptr<TSoundInstance> mInstance;
    std::unique_ptr<TSoundStreamBuffer> mBuffer;
    // The spooler reported the end of its data; true until the buffer exists.
    bool mEnded = true;
    bool mOnce = false;
    uint32_t mBufferBytes = 0;
    float mBufferSeconds = 0.0f;
    // Buffered bytes still to play after the end of the data.
    int32_t mRemaining = 0;
    int mCategory;
    bool mLoop;
    bool mPaused = false;
    // Paused by the application's inactivity.
    bool mSuspended = false;
    // Restarted whenever the stream starts: the play time of a stream without a buffer.
    TClock mClock;
    // The half refilled last: 0 none, 1 the first, 2 the second.
    int mLastFilled = 0;
};

using TSoundStreamPtr = boost::shared_ptr<TSoundStream>;
