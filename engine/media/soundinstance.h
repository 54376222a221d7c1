// One playing copy of a sound: what TSound::Play hands out, held by the caller and by the sound's
// set of playing copies. The stream that plays it (owned by the sound manager) holds it weakly and
// clears the stream pointer when it dies. Main thread.
#pragma once

#include <boost/enable_shared_from_this.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>

class TSound;
class TSoundStream;

class TSoundInstance : public boost::enable_shared_from_this<TSoundInstance> {
public:
    TSoundInstance(TSoundStream* stream, const boost::shared_ptr<TSound>& sound)
        : mStream(stream), mSound(sound) {}
    virtual ~TSoundInstance();
    TSoundInstance(const TSoundInstance&) = delete;
    TSoundInstance& operator=(const TSoundInstance&) = delete;

    // This copy's own volume, 0 to 1, without the master and category factors (callers that fade
    // compute those themselves); nothing once the stream is gone.
    void SetVolume(float volume);

    // Null once the stream has ended or was stopped.
    TSoundStream* GetStream() const { return mStream; }
    boost::shared_ptr<TSound> GetSound() const { return mSound.lock(); }
    // Called by the stream's destructor.
    void ForgetStream(const TSoundStream* stream);

private:
    // Owned by the sound manager's lists.
    TSoundStream* mStream;
    boost::weak_ptr<TSound> mSound;
};

using TSoundInstancePtr = boost::shared_ptr<TSoundInstance>;
