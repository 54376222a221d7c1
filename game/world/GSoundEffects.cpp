#include "game/world/GSoundEffects.h"

#include "engine/media/sound.h"
#include "engine/media/soundmanager.h"
#include "engine/system/platform.h"

#include <memory>
#include <vector>

namespace {

constexpr int kEffectsCategory = 1000;

struct GEffectFile {
    const char* name;
    const char* file;
};

// Two names share one file.
const GEffectFile kEffects[] = {
    {"typing", "typing"},
    {"click", "click"},
    {"click_empty", "click_empty"},
    {"selection", "sliding"},
    {"done", "action_done"},
    {"grab", "grab"},
    {"door_open", "door_open"},
    {"cry", "cry"},
    {"fight", "fight"},
    {"sad", "judging_bad"},
    {"neutral", "judging_ok"},
    {"happy", "judging_great"},
    {"happy_xl", "judging_great"},
    {"drums", "drums"},
    {"winner", "winner"},
    {"slider_relief", "slider_relief"},
    {"girl_happy", "girl_happy"},
    {"girl_neutral", "girl_neutral"},
    {"girl_sad", "girl_sad"},
    {"bottle_open", "bottle_open"},
    {"speed_power", "speed_power"},
    {"hair_power", "hair_power"},
    {"makeup_power", "makeup_power"},
    {"poise_power", "poise_power"},
    {"goal_r", "goal_achieved"},
    {"expert_r", "expert_achieved"},
};

std::unique_ptr<GSoundEffects>& HeldEffects() {
    static std::unique_ptr<GSoundEffects> instance;
    return instance;
}

} // namespace

GSoundEffects* GSoundEffects::Instance() {
    // The sounds must go while the sound manager and the asset manager are there, not at the
    // process's exit after them.
    [[maybe_unused]] static const bool kReleasedAtShutdown = [] {
        AddShutdownHook([] { HeldEffects().reset(); });
        return true;
    }();
    if (!HeldEffects()) {
        HeldEffects() = std::make_unique<GSoundEffects>();
    }
    return HeldEffects().get();
}

GSoundEffects::GSoundEffects() {
    for (const GEffectFile& effect : kEffects) {
        const str file = str("audio/sfx/") + effect.file + ".ogg?group=1000";
        Register(effect.name, file.CStr());
    }
    // In the names' order; the shared file is listed twice and found loaded the second time.
    std::vector<const char*> files;
    files.reserve(mFiles.size() + 1);
    for (const auto& entry : mFiles) {
        files.push_back(entry.second.CStr());
    }
    files.push_back(nullptr);
    AddAssets(files.data());
    mAutoLoad = true;
}

GSoundEffects::~GSoundEffects() = default;

int GSoundEffects::Register(const char* name, const char* file) {
    if (name == nullptr || file == nullptr) {
        return 0;
    }
    mFiles[name] = file;
    return 1;
}

bool GSoundEffects::Play(const str& tag, const str& name, bool loop) {
    TSoundPtr sound;
    const auto loaded = mLoaded.find(name);
    if (loaded != mLoaded.end()) {
        sound = loaded->second;
    } else {
        const auto registered = mFiles.find(name);
        if (registered == mFiles.end()) {
            return false;
        }
        sound = GetSound(registered->second);
        mLoaded[name] = sound;
    }
    if (!sound) {
        return false;
    }
    const TSoundInstancePtr instance = sound->Play(loop);
    if (loop) {
        mLooping[tag] = instance;
    }
    if (instance) {
        instance->SetVolume(TSoundManager::Get()->GetVolume(kEffectsCategory));
    }
    return true;
}

void GSoundEffects::StopAll() {
    if (TSoundManager* manager = TSoundManager::Get()) {
        manager->PauseCategory(true, kEffectsCategory);
        manager->StopCategory(kEffectsCategory);
    }
    mLooping.clear();
}
