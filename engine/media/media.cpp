#include "engine/media/media.h"

#include "engine/media/soundmanager.h"
#include "engine/system/medialink.h"

void RegisterMedia() {
    SetSoundManagerFactory([]() -> TSoundManagerLink* { return new TSoundManager; });
}
