#include "game/common/GUserManager.h"

#include "engine/core/prefs.h"
#include "engine/core/qzhiscores.h"
#include "engine/core/random.h"
#include "engine/script/lua/luanumber.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "game/common/GUserManagerScript.h"
#include "game/common/WindowScriptState.h"

#include <utility>

namespace {

// Indexed by the game mode; the hiscore client files scores under the mode's name.
const char* const kGameModeNames[] = {"vorlanemarivell_storymode", ""};

// The sound categories the game sets: effects, sounds without a category, music.
constexpr int kEffectsCategory = 1000;
constexpr int kUncategorised = 0;
constexpr int kMusicCategory = 1001;
constexpr int kMasterVolume = -1;

constexpr int kGlobalRecord = -1;
constexpr int kNoPlayer = -1;
constexpr int kDefaultLevel = 500;
constexpr bool kSave = true;

GUserManager* gUserManager = nullptr;

TSoundManagerLink* SoundManager() {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? platform->GetSoundManager() : nullptr;
}

} // namespace

GUserManager::GUserManager(std::function<TRandom&()> random) : mRandom(std::move(random)) {
    mScriptState = PublishUserManager(this);
    mPrefs = std::make_unique<TPrefs>(true);
    mHiscores = std::make_unique<TQzHiscores>(true);
    mHiscores->SetUserField(2, kGameModeNames[0]);
    SetCurrentUser(GetCurrentUser());
}

GUserManager::~GUserManager() {
    mPrefs->Save();
    mPrefs.reset();
    mHiscores.reset();
    WithdrawFromWindowScript(this, mScriptState);
}

bool GUserManager::IsFullScreen() const {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr && platform->IsFullScreen();
}

void GUserManager::StoreFullScreen() {
    mPrefs->SetInt("fullscreen", IsFullScreen() ? 1 : 0, kGlobalRecord, kSave);
}

void GUserManager::ApplyVideoMode() {
    const bool fullScreen = mPrefs->GetInt("fullscreen", 1, kGlobalRecord) == 1;
    if (TPlatform* platform = TPlatform::GetInstance()) {
        platform->SetDisplay(800, 600, fullScreen);
    }
    ApplyVolumes();
}

void GUserManager::ApplyVolumes() {
    const int user = GetCurrentUser();
    const int soundLevel = mPrefs->GetInt("soundlevel", kDefaultLevel, user);
    const int musicLevel = mPrefs->GetInt("musiclevel", kDefaultLevel, user);
    const int soundOff = mPrefs->GetInt("soundoff", 0, user);
    TSoundManagerLink* sound = SoundManager();
    if (sound == nullptr) {
        return;
    }
    sound->SetVolume(kEffectsCategory, static_cast<float>(soundLevel) / 1000.0f);
    sound->SetVolume(kUncategorised, static_cast<float>(soundLevel) / 1000.0f);
    sound->SetVolume(kMusicCategory, static_cast<float>(musicLevel) / 1000.0f);
    sound->SetVolume(kMasterVolume, soundOff != 0 ? 0.0f : 1.0f);
}

int GUserManager::GetCurrentUser() const {
    return mPrefs->GetInt("curuser", kNoPlayer, kGlobalRecord);
}

str GUserManager::GetCurrentUserName() const {
    return mPrefs->GetString("name", "", GetCurrentUser());
}

str GUserManager::GetUserName(int index) const {
    return mPrefs->GetString("name", "", index);
}

bool GUserManager::ToggleFullScreen() {
    TPlatform* platform = TPlatform::GetInstance();
    if (platform == nullptr) {
        return false;
    }
    const bool fullScreen = !platform->IsFullScreen();
    if (!platform->SetFullScreen(fullScreen)) {
        return false;
    }
    mPrefs->SetInt("fullscreen", fullScreen ? 1 : 0, kGlobalRecord, kSave);
    return true;
}

void GUserManager::ToggleSoundMute() {
    const int user = GetCurrentUser();
    // Wider than int, so that a stored INT_MAX wraps to 0 like every odd value.
    const auto soundOff =
        static_cast<int>((static_cast<int64_t>(mPrefs->GetInt("soundoff", 0, user)) + 1) % 2);
    mPrefs->SetInt("soundoff", soundOff, user, kSave);
    if (TSoundManagerLink* sound = SoundManager()) {
        sound->SetVolume(kMasterVolume, soundOff == 0 ? 1.0f : 0.0f);
    }
}

void GUserManager::SetCurrentGameMode(int mode) {
    if (mode != 0 && mode != 1) {
        return;
    }
    mGameMode = mode;
    mHiscores->SetUserField(2, kGameModeNames[mode]);
}

int GUserManager::GetNumUsers() {
    return mPrefs->GetUserCount();
}

void GUserManager::CreateNewUser(str name) {
    const int added = mPrefs->GetUserCount();
    mPrefs->SetString("name", name, added, kSave);
    const int selected = GetCurrentUser();
    const int soundLevel = mPrefs->GetInt("soundlevel", kDefaultLevel, selected);
    const int musicLevel = mPrefs->GetInt("musiclevel", kDefaultLevel, selected);
    const int soundOff = mPrefs->GetInt("soundoff", 0, selected);
    mPrefs->SetInt("soundlevel", soundLevel, added, kSave);
    mPrefs->SetInt("musiclevel", musicLevel, added, kSave);
    mPrefs->SetInt("soundoff", soundOff, added, kSave);
    // 1 to 2147483646: never 0, which reads as "no id".
    const double draw = RandomUnitReal(mRandom());
    mPrefs->SetInt("uniq_id", 1 + LuaNumberToInt(draw * 2147483646.0), added, kSave);
    SetCurrentUser(added);
}

void GUserManager::SetCurrentUser(int index) {
    if (index < kNoPlayer || index >= mPrefs->GetUserCount()) {
        return;
    }
    mPrefs->SetInt("curuser", index, kGlobalRecord, kSave);
    if (index == kNoPlayer) {
        return;
    }
    mHiscores->SetUserField(1, GetUserName(index));
    ApplyVolumes();
}

void GUserManager::ChangeCurrentUserName(str name) {
    mPrefs->SetString("name", name, GetCurrentUser(), kSave);
}

void GUserManager::DeleteUser(int index) {
    if (index < 0 || index >= mPrefs->GetUserCount()) {
        return;
    }
    mPrefs->DeleteUser(index);
    int next = index - 1;
    if (next < 0) {
        next = mPrefs->GetUserCount() - 1;
    }
    SetCurrentUser(next);
}

bool GUserManager::IsNameInUse(str name) {
    for (int user = 0; user < mPrefs->GetUserCount(); ++user) {
        if (GetUserName(user) == name) {
            return true;
        }
    }
    return false;
}

void GUserManager::QuitToMainMenu() {
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr) {
        return;
    }
    while (TWindow* top = manager->GetTopModal()) {
        if (top->GetParent() == nullptr) {
            return;
        }
        manager->DoPopModal(top->GetIdText());
        if (manager->GetTopModal() == top) {
            return;
        }
    }
}

void CreateUserManager(std::function<TRandom&()> random) {
    DestroyUserManager();
    gUserManager = new GUserManager(std::move(random));
}

void CreateUserManager(TRandom& random) {
    CreateUserManager([&random]() -> TRandom& { return random; });
}

GUserManager* GetUserManager() {
    return gUserManager;
}

void DestroyUserManager() {
    GUserManager* manager = gUserManager;
    gUserManager = nullptr;
    delete manager;
}
