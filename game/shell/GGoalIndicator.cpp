#include "game/shell/GGoalIndicator.h"

#include "engine/script/lua/luanumber.h"
#include "engine/ui/text.h"
#include "engine/ui/window.h"
#include "game/common/StringTableText.h"
#include "game/shell/TProgressBar.h"
#include "game/visual/TPSimple.h"
#include "game/world/GSoundEffects.h"

#include <algorithm>

namespace {

template <class TKind>
TKind* FindKind(TWindow* parent, const char* name, TWindowClassId id) {
    TWindow* found = parent != nullptr ? parent->FindChild(name, -1) : nullptr;
    return found != nullptr && found->IsKindOf(id) ? static_cast<TKind*>(found) : nullptr;
}

TText* FindText(TWindow* parent, const char* name) {
    return FindKind<TText>(parent, name, TText::ClassId());
}

void Show(TWindow* window, bool show) {
    if (window != nullptr) {
        const uint32_t flags = window->GetFlags();
        window->SetFlags(show ? flags | TWindow::kEnabled : 0);
    }
}

void ShowNumber(TText* text, int number) {
    if (text != nullptr) {
        text->SetText(str::FromFormat("%d", number));
    }
}

void PlaySound(const char* name) {
    if (GSoundEffects* effects = GSoundEffects::Instance()) {
        effects->Play(name);
    }
}

} // namespace

void GGoalIndicator::Attach(TWindow* panel, GGoalListener* listener) {
    mBlinkCountdown = 0;
    mListener = listener;
    // Only a progress bar made by name can be one here.
    mScoreBar = FindKind<TCustomProgressBar>(panel, "score_progress", TProgressBar::ClassId());
    mGoalBar = FindKind<TCustomProgressBar>(panel, "goal_progress", TProgressBar::ClassId());
    mScoreText = FindText(panel, "score_number");
    mScoreUpText = FindText(panel, "score_number_up");
    mGoalCaption = FindKind<TWindow>(panel, "goal_reach_txt", TWindow::ClassId());
    mExpertCaption = FindKind<TWindow>(panel, "expert_reach_txt", TWindow::ClassId());
    TWindow* modal = panel != nullptr ? panel->GetModalParent() : nullptr;
    mGlow = FindKind<TPSimple>(modal, "score_glow", TPSimple::ClassId());
    mGoalText = FindText(panel, "goal_number");
    mDistanceText = FindText(panel, "bess_distance_number");
    mModeText = FindText(panel, "goal_mode_name");
    Show(mScoreUpText, false);
    Show(mGoalCaption, false);
    Show(mExpertCaption, false);
    SetGoals(50, 100);
    SetScore(0);
    mDistance = 0.0f;
    AddDistance(0.0f);
}

void GGoalIndicator::SetGoals(int goal, int expert) {
    mExpert = expert;
    mGoalReached = 0;
    mExpertReached = 0;
    ShowNumber(mGoalText, goal);
    if (mModeText != nullptr) {
        mModeText->SetText(StringTableText("goal_txt"));
    }
    if (mScoreBar != nullptr) {
        mScoreBar->SetRange(0.0f, static_cast<float>(expert));
    }
    if (mGoalBar != nullptr) {
        mGoalBar->SetRange(0.0f, static_cast<float>(expert));
        mGoalBar->SetValue(static_cast<float>(goal));
    }
    mGoal = goal;
}

float GGoalIndicator::Minimum() const {
    return mScoreBar != nullptr ? mScoreBar->GetMinimum() : 0.0f;
}

float GGoalIndicator::Maximum() const {
    return mScoreBar != nullptr ? mScoreBar->GetMaximum() : static_cast<float>(mExpert);
}

void GGoalIndicator::SetScore(int score) {
    if (mScoreText != nullptr) {
        ShowNumber(mScoreText, std::max(score, 0));
        ShowNumber(mScoreUpText, std::max(score, 0));
    }
    const auto value = static_cast<float>(score);
    if (value < Minimum()) {
        return;
    }
    if (value >= Maximum()) {
        if (mGoalReached == 0) {
            mGoalReached = 1;
            OnGoalReached();
        }
        if (mExpertReached == 0) {
            if (mScoreBar != nullptr) {
                mScoreBar->SetValue(mScoreBar->GetMaximum());
            }
            OnExpertReached();
            mExpertReached = 1;
        }
        return;
    }
    if (mScoreBar != nullptr) {
        mScoreBar->SetValue(value);
    }
    if (score >= mGoal && mGoalReached == 0) {
        mGoalReached = 1;
        OnGoalReached();
    }
}

void GGoalIndicator::AddDistance(float amount) {
    if (amount < 0.0f) {
        mDistance = 0.0f;
        return;
    }
    mDistance += amount;
    ShowNumber(mDistanceText, LuaNumberToInt(mDistance));
}

void GGoalIndicator::OnGoalReached() {
    mBlinkCountdown = kBlinkTicks;
    if (mListener != nullptr) {
        mListener->OnGoalReached();
    }
    ShowNumber(mGoalText, mExpert);
    if (mModeText != nullptr) {
        mModeText->SetText(StringTableText("expert_goal"));
    }
    Show(mExpertCaption, false);
    Show(mGoalCaption, true);
    SetGlow(true);
    PlaySound("goal_r");
}

void GGoalIndicator::OnExpertReached() {
    mBlinkCountdown = kBlinkTicks;
    if (mListener != nullptr) {
        mListener->OnExpertReached();
    }
    Show(mGoalCaption, false);
    Show(mExpertCaption, true);
    SetGlow(true);
    PlaySound("expert_r");
}

void GGoalIndicator::Tick() {
    if (mBlinkCountdown <= 0) {
        EndBlink();
        return;
    }
    if (mScoreUpText != nullptr && mBlinkCountdown % 5 == 0) {
        Show(mScoreUpText, (mBlinkCountdown / 5) % 2 == 0);
    }
    --mBlinkCountdown;
}

void GGoalIndicator::EndBlink() {
    Show(mGoalCaption, false);
    Show(mExpertCaption, false);
    SetGlow(false);
}

void GGoalIndicator::SetGlow(bool on) {
    if (mGlow != nullptr) {
        mGlow->DoLuaString(on ? "gActive = true;" : "gActive = false;");
    }
}
