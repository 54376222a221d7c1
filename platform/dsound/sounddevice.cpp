// The one place that chooses where the mix goes.
#include "platform/dsound/sounddevice.h"

namespace standin::detail {

std::unique_ptr<TSoundDevice> OpenSoundDevice(TMixer& mixer, bool useNull) {
    return useNull ? OpenNullSoundDevice(mixer) : OpenSdlSoundDevice(mixer);
}

} // namespace standin::detail
