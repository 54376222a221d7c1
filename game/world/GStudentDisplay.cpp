// What the girl shows and scores: scene points with combos, the judges' points, the score pop-ups,
// the poise hearts, the numbers, her look, and the times of her tasks.
#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "game/common/StringTableText.h"
#include "game/visual/GVObject.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GSoundEffects.h"
#include "game/world/GStateNameTable.h"
#include "game/world/GStudent.h"
#include "game/world/GUpgradeData.h"
#include "game/world/ScriptCall.h"

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

// The words of the poise states, numbered once at start-up.
GStateKey Word(const char* word) {
    return GStateNameTable::Instance().Encode(word, false);
}
const GStateKey kPoise = Word("poise");
const GStateKey kDigits[] = {Word("0"), Word("1"), Word("2"), Word("3"), Word("4")};
const GStateKey kLast = Word("l");
const GStateKey kLow = Word("b");
const GStateKey kExplode = Word("expl");
const GStateKey kPoisePlus = Word("poise_plus");

// The words' numbers packed one byte each, as a name of those words encodes.
GStateKey Join(std::initializer_list<GStateKey> words) {
    uint64_t key = 0;
    for (const GStateKey word : words) {
        int shift = 0;
        while (shift < 64 && (key >> shift) != 0) {
            shift += 8;
        }
        if (shift < 64) {
            key |= word.GetValue() << shift;
        }
    }
    return GStateKey(key);
}

void PlaySound(const char* name) {
    GSoundEffects::Instance()->Play(str(name));
}

void SetObjectState(GVObject* visual, const str& name) {
    if (visual != nullptr) {
        visual->SetState(GStateKey::FromString(name), true);
    }
}

} // namespace

void GStudent::OnSceneEnd(const str& scene) {
    const int score = ScriptCallInt(&GetScript(), "OnSceneEnd", scene);
    if (mNextSceneTrigger.Length() > 0 && scene == mNextSceneTrigger) {
        if (mNextSceneTarget.Length() > 0) {
            const str target = mNextSceneTarget;
            ClearNextScene();
            GLogicalManager::Instance().GoToScene(target, this, GetHolder(), true);
        } else {
            mTriggerEnded = 1;
        }
    }
    if (score == 0) {
        return;
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    GLevel* level = manager.GetLevel();
    int bonus = 0;
    str text = mComboName;
    if (mComboCount >= 1) {
        bonus = Clamped(int64_t{score} * mComboCount);
        if (level != nullptr) {
            level->AddComboBonus(bonus);
        }
        text = StringTableText(str("combo_") + mComboName);
    }
    const int total = Clamped(int64_t{score} + bonus);
    ShowScorePopup(total, 0, mComboCount, text, false);
    mComboCount = 0;
    mComboName = str();
    manager.AddScore(total);
    mScoreTotal = Clamped(int64_t{mScoreTotal} + total);
    if (level != nullptr) {
        level->UpdateGirlScore(mScoreTotal, *this);
    }
    if (total > 0) {
        PlaySound("done");
    }
}

void GStudent::CPP_AddFlyScore(int points, int judges) {
    if (points == 0) {
        return;
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    GLevel* level = manager.GetLevel();
    int bonus = 0;
    int count = 0;
    str label;
    if (points > 0) {
        str key;
        bonus = manager.GetJudgingComboBonus(count, label, key);
        if (level != nullptr) {
            level->AddComboBonus(bonus);
        }
        if (judges > 0) {
            manager.ShowJudgesScore(this, Clamped(int64_t{points} + bonus));
        }
        if (bonus != 0) {
            manager.GetHooks().TutorialGameEvent(this, str("combo_") + label);
        }
        PlaySound("done");
    }
    const int total = Clamped(int64_t{points} + bonus);
    ShowScorePopup(points, bonus, count, label, judges != 0);
    mScoreTotal = Clamped(int64_t{mScoreTotal} + total);
    if (level != nullptr) {
        level->UpdateGirlScore(mScoreTotal, *this);
    }
    manager.AddScore(total);
}

void GStudent::ShowScorePopup(int points, int bonus, int count, const str& text, bool judges) {
    if (points == 0) {
        return;
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    GGameObject* holder = GetHolder();
    const bool atJudges = holder != nullptr && holder == manager.GetJudgingScene();
    const int anchorX = atJudges ? mOffsetSceneX : mOffsetX;
    int anchorY = atJudges ? mOffsetSceneY : mOffsetY;
    const int x = Clamped(int64_t{LuaNumberToInt(GetPosition().x)} + mDeltaScoreX + anchorX);
    const int total = Clamped(int64_t{points} + bonus);
    if (judges) {
        const int y = Clamped(int64_t{LuaNumberToInt(GetPosition().y)} + mDeltaScoreY + anchorY);
        const str line = count > 0 ? str::FromFormat("%s x %d = %d", text.CStr(), count, total)
                                   : str::FromFormat("%s: %d", text.CStr(), total);
        manager.GetHooks().FlyWhiteScoreText(line, Clamped(int64_t{x} - 25),
                                             Clamped(int64_t{y} - 107), points < 0 ? 1 : 0);
        return;
    }
    str description;
    int background = 1;
    if (count > 0) {
        description = str::FromFormat("<font size= \"20\"><b>%s x %d</b></font><br>%d", text.CStr(),
                                      Clamped(int64_t{count} + 1), total);
        background = 2;
        anchorY = Clamped(int64_t{anchorY} - 20);
    } else {
        description = str::FromFormat("%d", total);
        anchorY = Clamped(int64_t{anchorY} - 40);
    }
    const int y = Clamped(int64_t{LuaNumberToInt(GetPosition().y)} + mDeltaScoreY + anchorY);
    manager.GetHooks().FlyScoreLabel(description, background, x, y, points);
}

void GStudent::SetPoiseState(GStateKey key) {
    if (GVObject* visual = GetVisual()) {
        visual->SetState(key, false);
    }
}

void GStudent::CPP_PoiseChange(int value) {
    // Without a maximum there is nothing to divide by: the lowest level shows.
    int level = 1;
    if (mPoiseMaximum > 0) {
        const int64_t poise = std::clamp(value, 0, mPoiseMaximum);
        level = static_cast<int>(poise * 10 / mPoiseMaximum) + 1;
    }
    if (level == mPoiseLevel) {
        return;
    }
    const int full = std::min(level / 2, 5);
    const bool odd = level % 2 != 0;
    if (mPoiseLevel != -1 && !odd) {
        if (level < mPoiseLevel && full < 5) {
            SetPoiseState(Join({kPoise, kDigits[full], kDigits[0], kExplode}));
        } else if (level > mPoiseLevel) {
            SetPoiseState(kPoisePlus);
        }
    }
    mPoiseLevel = level;
    const bool low = level <= 4;
    for (int i = 0; i < full; ++i) {
        if (i == full - 1 && !odd) {
            SetPoiseState(low ? Join({kPoise, kDigits[i], kDigits[2], kLast, kLow})
                              : Join({kPoise, kDigits[i], kDigits[2], kLast}));
        } else {
            SetPoiseState(Join({kPoise, kDigits[i], kDigits[2]}));
        }
    }
    if (full < 5) {
        if (odd) {
            SetPoiseState(low ? Join({kPoise, kDigits[full], kDigits[1], kLast, kLow})
                              : Join({kPoise, kDigits[full], kDigits[1], kLast}));
        } else {
            SetPoiseState(Join({kPoise, kDigits[full], kDigits[0]}));
        }
        for (int j = full + 1; j < 5; ++j) {
            SetPoiseState(Join({kPoise, kDigits[j], kDigits[0]}));
        }
    }
}

int GStudent::ShowNumber(int number) {
    float x = 0.0f;
    float y = 0.0f;
    if (mCheckVisual != nullptr) {
        // Where the check mark shows now, in the draw list's coordinates.
        mCheckVisual->Update();
        x = mCheckVisual->GetWorldData().mDeltaX;
        y = mCheckVisual->GetWorldData().mDeltaY;
    }
    str first = "hide_number";
    str second = "hide_number";
    if (number >= 99) {
        first = "value_9";
        second = "value_9";
    } else if (number >= 10) {
        first = str::FromFormat("value_%d", number / 10);
        second = str::FromFormat("value_%d", number % 10);
    } else if (number >= 1) {
        second = str::FromFormat("value_%d", number);
    }
    const struct {
        GVObject* mVisual;
        float mX;
        const str& mState;
    } digits[] = {{mNumber1Visual, x, first}, {mNumber2Visual, x + 10.0f, second}};
    for (const auto& digit : digits) {
        if (digit.mVisual == nullptr) {
            continue;
        }
        digit.mVisual->mDeltaX = digit.mX;
        digit.mVisual->mDeltaY = y - 15.0f;
        digit.mVisual->mVisible = 1;
        digit.mVisual->MarkChanged();
        SetObjectState(digit.mVisual, digit.mState);
    }
    return 1;
}

void GStudent::ShowCountNumber(int number) {
    const str first = GetSceneName(0);
    if (number <= 0) {
        SetVisualState("hide_number");
        if (first.Length() > 0) {
            SetVisualState(first + "_icon");
        }
        return;
    }
    if (number >= 100) {
        SetVisualState("value1_9");
        SetVisualState("value2_9");
    } else {
        SetVisualState(str::FromFormat("value1_%d", number % 10));
        SetVisualState(number > 9 ? str::FromFormat("value2_%d", number / 10) : str("value2_hide"));
    }
    if (first.Length() > 0) {
        SetVisualState(str::FromFormat("highlight_%s_icon", first.CStr()));
    }
}

int GStudent::SetLookState(const str& name) {
    const int duration = GGameObject::SetLookState(name);
    SetVisualState(str::FromFormat("hair_%s_%d", name.CStr(), mLook.mHair));
    SetVisualState(str::FromFormat("dress_%s_%d", name.CStr(), mLook.mDress));
    SetVisualState(str::FromFormat("accesories_%d", mLook.mAccessories));
    if (!(name == str("girl_invisible")) && !(name == str("zoom_invisible"))) {
        SetVisualState(name);
    }
    return duration;
}

int GStudent::ScaleTaskTime(const str& task, float factor, int mode) {
    const str actual = ScriptCallStr(&GetScript(), "GetRealTaskName", task);
    const int base = mode == 1 ? ScriptCallInt(&GetScript(), "GetTaskBaseTime", actual) : 0;
    const int time = LuaNumberToInt(static_cast<double>(base) * factor);
    return time > 0 ? SetTaskTime(actual, time) : 0;
}

void GStudent::ApplyBaseType(const str& task) {
    std::unique_ptr<TLuaTable> baseType(GetScript().GetGlobalTable("BaseType"));
    if (baseType == nullptr) {
        return;
    }
    const str key = str("base_") + task + "_time";
    const int time = LuaNumberToInt(baseType->GetNumber(key.CStr()));
    if (time > 0) {
        SetTaskTime(task, time);
    }
}

void GStudent::ApplyUpgrades(const GUpgradeData* hair, const GUpgradeData* makeup,
                             const GUpgradeData* poise) {
    if (hair == nullptr && makeup == nullptr && poise == nullptr) {
        return;
    }
    std::unique_ptr<TLuaTable> baseType(GetScript().GetGlobalTable("BaseType"));
    auto scaled = [&baseType](const char* key, double factor) {
        const double base = baseType != nullptr ? baseType->GetNumber(key) : 0.0;
        return LuaNumberToInt(base * factor);
    };
    str text;
    if (poise != nullptr) {
        const int statPoise = std::max(1, scaled("base_stat_poise", poise->mValue));
        text += str::FromFormat("BaseType.base_stat_poise=%d;", statPoise);
    }
    const struct {
        const GUpgradeData* mRecord;
        const char* mKey;
        const char* mTask;
    } timed[] = {{hair, "base_hairstyle_time", "hairstyle"},
                 {makeup, "base_makeup_time", "makeup"}};
    for (const auto& upgrade : timed) {
        if (upgrade.mRecord == nullptr) {
            continue;
        }
        const int time = std::max(30, scaled(upgrade.mKey, upgrade.mRecord->mValue));
        SetTaskTime(upgrade.mTask, time);
        text += str::FromFormat("BaseType.%s=%d;", upgrade.mKey, time);
    }
    GetScript().DoLuaString(text);
}
