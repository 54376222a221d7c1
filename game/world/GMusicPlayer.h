// Plays one of the game's six music tracks and cross-fades from the track before on a second
// channel, in volume category 1001; its timer steps the fade. One instance for the program, built
// on first use and released at platform shutdown, while the sound and asset managers still exist.
// Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/media/sound.h"
#include "engine/media/soundinstance.h"
#include "game/world/GMusicTimer.h"

class GMusicPlayer {
public:
    static constexpr int kTrackCount = 6;

    // Built on first use, and again on a use after a platform shutdown released it.
    static GMusicPlayer* Instance();

    // Both channels idle; the fade timer runs in the platform's main task list (without a
    // platform there is none, and fades move only by FadeStep). The program goes through
    // Instance.
    GMusicPlayer();
    ~GMusicPlayer();
    GMusicPlayer(const GMusicPlayer&) = delete;
    GMusicPlayer& operator=(const GMusicPlayer&) = delete;

    // Starts track 0 to 5, faded in over the track before with `crossfade`, else after stopping
    // both channels. False, changing nothing, for a track out of range or the current one; false
    // also when the track's file cannot be loaded, which still becomes the current track.
    bool Play(int track, bool crossfade, bool loop);
    // Stops both channels; no current track.
    void Stop();
    // Starts the file on the channel the next track uses. With crossfade it starts silent and the
    // fade begins; false when the other channel plays that file already or it cannot be loaded.
    bool StartChannel(const str& file, bool crossfade, bool loop);
    // One 100 ms step of the cross-fade: the older track down by 0.05 of full volume, stopped at
    // silence, the newer one up by as much, up to the music volume, where the fade ends.
    void FadeStep();

    // -1 for none.
    int GetCurrentTrack() const { return mCurrentTrack; }
    bool IsFading() const { return mFading; }
    // The file channel 0 or 1 plays; empty while it is idle.
    const str& GetChannelFile(int channel) const { return mChannels[channel].file; }
    // Null once the timer is gone.
    GMusicTimer* GetTimer() const { return mTimer; }

private:
    struct GChannel {
        TSoundInstancePtr instance;
        TSoundPtr sound;
        // Empty while the channel is idle.
        str file;
    };

    // Stops the channel's sound at once; the sound stays with the channel.
    static void StopChannel(GChannel& channel);

    GChannel mChannels[2];
    bool mFading = false;
    // The channel the next track uses; the other one holds the newest track.
    int mNextChannel = 0;
    // Owned by the platform's task list; null once it is gone.
    GMusicTimer* mTimer = nullptr;
    // Of category 1001 when the newest track started.
    float mMusicVolume = 0.0f;
    // Timer steps since the newest track started.
    int mFadeStep = 0;
    int mCurrentTrack = -1;
};
