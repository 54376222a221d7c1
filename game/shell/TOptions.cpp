#include "game/shell/TOptions.h"

#include "engine/core/prefs.h"
#include "engine/system/platform.h"
#include "engine/ui/button.h"
#include "engine/ui/message.h"
#include "engine/ui/slider.h"
#include "game/common/GUserManager.h"
#include "game/common/WindowKind.h"
#include "game/common/WindowScriptState.h"
#include "game/world/GSoundEffects.h"

namespace {

const char kSoundSlider[] = "sfxlevelslider";
const char kMusicSlider[] = "musiclevelslider";

constexpr int kOptionsEffectsCategory = 1000;
constexpr int kOptionsUncategorised = 0;
constexpr int kOptionsMusicCategory = 1001;
constexpr int kDefaultVolumeLevel = 500;
constexpr float kLevelScale = 1000.0f;

void SetLiveVolume(int category, float volume) {
    TPlatform* platform = TPlatform::GetInstance();
    if (TSoundManagerLink* sound = platform != nullptr ? platform->GetSoundManager() : nullptr) {
        sound->SetVolume(category, volume);
    }
}

// The slider's value as a stored level; the value is held to 0 .. 1.
int Level(const TSlider& slider) {
    return static_cast<int>(slider.GetValue() * kLevelScale);
}

} // namespace

TWindow* TOptions::Create() {
    return new TOptions;
}

bool TOptions::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TOptions::TOptions() {
    mPublished = WindowScriptState();
    if (mPublished != nullptr) {
        LuaPublish(mPublished, "SaveVolumes", this, &TOptions::SaveVolumes);
    }
}

TOptions::~TOptions() {
    WithdrawFromWindowScript(this, mPublished);
}

TSlider* TOptions::FindSlider(const char* name) {
    return FindKind<TSlider>(this, name);
}

void TOptions::PostCreate(TWindowStyle& /*style*/) {
    GUserManager* users = GetUserManager();
    if (users == nullptr) {
        return;
    }
    TPrefs& prefs = *users->GetPrefs();
    const int user = users->GetCurrentUser();
    if (TButton* fullScreen = FindKind<TButton>(this, "fullscreen")) {
        fullScreen->SetToggleState(users->IsFullScreen());
    }
    if (TButton* mute = FindKind<TButton>(this, "mutebox")) {
        mute->SetToggleState(prefs.GetInt("soundoff", 0, user) == 1);
    }
    if (TSlider* sound = FindSlider(kSoundSlider)) {
        sound->SetValue(static_cast<float>(prefs.GetInt("soundlevel", kDefaultVolumeLevel, user)) /
                            kLevelScale,
                        false);
    }
    if (TSlider* music = FindSlider(kMusicSlider)) {
        music->SetValue(static_cast<float>(prefs.GetInt("musiclevel", kDefaultVolumeLevel, user)) /
                            kLevelScale,
                        false);
    }
}

bool TOptions::OnMessage(TMessage* message) {
    if (message == nullptr) {
        return false;
    }
    const int kind = message->GetKind();
    if (kind == TMessage::kSliderMouseUp && mClickPlaying != 0) {
        mClickPlaying = 0;
        GSoundEffects::Instance()->StopAll();
        return false;
    }
    if (kind != TMessage::kSliderValChanged) {
        return false;
    }
    if (message->GetName() == str(kSoundSlider)) {
        TSlider* slider = FindSlider(kSoundSlider);
        if (slider == nullptr) {
            return false;
        }
        // The first change is the one PostCreate made; the player's own ones sound a click.
        if (mFirstSoundChangeSeen == 0) {
            mFirstSoundChangeSeen = 1;
        } else if (mClickPlaying == 0) {
            mClickPlaying = 1;
            GSoundEffects::Instance()->Play("click");
        }
        SetLiveVolume(kOptionsEffectsCategory, slider->GetValue());
        SetLiveVolume(kOptionsUncategorised, slider->GetValue());
        return true;
    }
    if (message->GetName() == str(kMusicSlider)) {
        TSlider* slider = FindSlider(kMusicSlider);
        if (slider == nullptr) {
            return false;
        }
        SetLiveVolume(kOptionsMusicCategory, slider->GetValue());
        return true;
    }
    return false;
}

void TOptions::SaveVolumes() {
    GUserManager* users = GetUserManager();
    if (users == nullptr) {
        return;
    }
    TPrefs& prefs = *users->GetPrefs();
    const int user = users->GetCurrentUser();
    if (TSlider* sound = FindSlider(kSoundSlider)) {
        prefs.SetInt("soundlevel", Level(*sound), user, true);
    }
    if (TSlider* music = FindSlider(kMusicSlider)) {
        prefs.SetInt("musiclevel", Level(*music), user, true);
    }
}
