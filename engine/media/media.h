// How media joins the engine: the platform layer cannot link media, so start-up calls this once,
// before the platform is built, and media registers what the platform creates through its links.
// Main thread.
#pragma once

// Registers how the renderer is made and destroyed, the sound manager's factory
// (TPlatform::InitSound then makes a TSoundManager) and the asset map's loaders.
void RegisterMedia();
