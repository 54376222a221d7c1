#include "engine/media/soundinstance.h"

#include "engine/media/soundstream.h"

TSoundInstance::~TSoundInstance() = default;

void TSoundInstance::SetVolume(float volume) {
    if (mStream != nullptr) {
        mStream->SetVolume(volume);
    }
}

void TSoundInstance::ForgetStream(const TSoundStream* stream) {
    if (mStream == stream) {
        mStream = nullptr;
    }
}
