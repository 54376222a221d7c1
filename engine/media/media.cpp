#include "engine/media/media.h"

#include "engine/media/renderer.h"
#include "engine/media/soundmanager.h"
#include "engine/system/medialink.h"

void RegisterMedia() {
    SetRendererHooks([] { TRenderer::Instance(); }, [] { TRenderer::Destroy(); });
    SetSoundManagerFactory([]() -> TSoundManagerLink* { return new TSoundManager; });
}
