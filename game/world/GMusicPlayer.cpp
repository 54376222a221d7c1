#include "game/world/GMusicPlayer.h"

#include "engine/media/soundmanager.h"
#include "engine/system/platform.h"
#include "engine/ui/window.h"

#include <memory>

namespace {

constexpr int kMusicCategory = 1001;
constexpr int kFadePeriodMs = 100;
// Of full volume per fade step.
constexpr float kFadeStepVolume = 0.05f;

const char* const kTracks[GMusicPlayer::kTrackCount] = {
    "audio/music/gamemusic01.ogg", "audio/music/gamemusic02.ogg", "audio/music/gamemusic03.ogg",
    "audio/music/gamemusic04.ogg", "audio/music/gamemusic05.ogg", "audio/music/interface.ogg",
};

std::unique_ptr<GMusicPlayer>& HeldPlayer() {
    static std::unique_ptr<GMusicPlayer> instance;
    return instance;
}

float MusicVolume() {
    TSoundManager* manager = TSoundManager::Get();
    return manager != nullptr ? manager->GetVolume(kMusicCategory) : 0.0f;
}

} // namespace

GMusicPlayer* GMusicPlayer::Instance() {
    // The channels' sounds must go while the sound manager and the asset manager are there, not
    // at the process's exit after them.
    [[maybe_unused]] static const bool kReleasedAtShutdown = [] {
        AddShutdownHook([] { HeldPlayer().reset(); });
        return true;
    }();
    if (!HeldPlayer()) {
        HeldPlayer() = std::make_unique<GMusicPlayer>();
    }
    return HeldPlayer().get();
}

GMusicPlayer::GMusicPlayer() {
    auto* timer = new GMusicTimer(this, &GMusicPlayer::FadeStep, &mTimer);
    timer->Start(kFadePeriodMs, true, true, false);
    if (!timer->PlaceIn(nullptr)) {
        delete timer;
    }
}

GMusicPlayer::~GMusicPlayer() {
    if (mTimer != nullptr) {
        mTimer->Detach();
    }
}

bool GMusicPlayer::Play(int track, bool crossfade, bool loop) {
    if (track < 0 || track >= kTrackCount || track == mCurrentTrack) {
        return false;
    }
    if (!crossfade) {
        Stop();
    }
    mCurrentTrack = track;
    return StartChannel(kTracks[track], crossfade, loop);
}

void GMusicPlayer::Stop() {
    for (GChannel& channel : mChannels) {
        if (channel.sound) {
            StopChannel(channel);
        }
    }
    mCurrentTrack = -1;
}

bool GMusicPlayer::StartChannel(const str& file, bool crossfade, bool loop) {
    GChannel& channel = mChannels[mNextChannel];
    if (channel.sound && crossfade) {
        if (mChannels[1 - mNextChannel].file == file) {
            return false;
        }
        StopChannel(channel);
    }
    channel.sound = TSound::Get(file, false, kMusicCategory);
    if (!channel.sound) {
        channel.instance.reset();
        return false;
    }
    channel.instance = channel.sound->Play(loop);
    channel.file = file;

    mMusicVolume = MusicVolume();
    mFading = crossfade;
    if (channel.instance) {
        channel.instance->SetVolume(crossfade ? 0.0f : mMusicVolume);
    }
    mFadeStep = 0;
    mNextChannel = 1 - mNextChannel;
    return true;
}

void GMusicPlayer::FadeStep() {
    if (!mFading) {
        return;
    }
    ++mFadeStep;
    const float done = static_cast<float>(mFadeStep) * kFadeStepVolume;

    GChannel& older = mChannels[mNextChannel];
    if (older.sound) {
        if (done < mMusicVolume) {
            if (older.instance) {
                older.instance->SetVolume(mMusicVolume - done);
            }
        } else {
            if (older.instance) {
                older.instance->SetVolume(0.0f);
            }
            StopChannel(older);
        }
    }
    GChannel& newer = mChannels[1 - mNextChannel];
    if (newer.sound) {
        if (done > mMusicVolume) {
            if (newer.instance) {
                newer.instance->SetVolume(mMusicVolume);
            }
            mFading = false;
        } else if (newer.instance) {
            newer.instance->SetVolume(done);
        }
    }
}

void GMusicPlayer::StopChannel(GChannel& channel) {
    channel.sound->Pause(true);
    channel.sound->Stop();
    channel.file = str();
}
