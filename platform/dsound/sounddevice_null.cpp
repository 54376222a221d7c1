#include "platform/dsound/mixer.h"
#include "platform/dsound/sounddevice.h"

#include <utility>

namespace standin::detail {

namespace {

// Plays nothing by itself: each Advance mixes as many frames as a sound card would have pulled in
// that time, in the periods a sound card pulls them, and keeps them.
class TNullSoundDevice final : public TSoundDevice {
public:
    explicit TNullSoundDevice(TMixer& mixer) : mMixer(mixer) {}

    std::string Name() const override { return "null"; }

    bool Advance(DWORD frames) override {
        constexpr DWORD kPeriod = 1024;
        while (frames > 0) {
            const DWORD now = frames < kPeriod ? frames : kPeriod;
            const std::size_t at = mCapture.size();
            mCapture.resize(at + static_cast<std::size_t>(now) * TMixer::kChannels);
            mMixer.Mix(mCapture.data() + at, now);
            frames -= now;
        }
        return true;
    }

    std::vector<std::int16_t> TakeCapture() override { return std::exchange(mCapture, {}); }

private:
    TMixer& mMixer;
    std::vector<std::int16_t> mCapture;
};

} // namespace

std::unique_ptr<TSoundDevice> OpenNullSoundDevice(TMixer& mixer) {
    return std::make_unique<TNullSoundDevice>(mixer);
}

} // namespace standin::detail
