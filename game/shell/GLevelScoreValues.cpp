#include "game/shell/GLevelScoreValues.h"

#include "engine/ui/text.h"
#include "engine/ui/windowstyle.h"
#include "game/common/WindowKind.h"
#include "game/common/WindowScriptState.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GPlayerInfo.h"

#include <algorithm>
#include <cstdlib>

namespace {

// A twentieth of the target, at least 1 unless the target is 0, so that every counter ends and the
// next one starts.
int TwentiethStep(int target) {
    const int step = std::abs(target / GLevelScoreValues::kCountSteps);
    return step == 0 && target != 0 ? 1 : step;
}

// The whole amount in one step; the int range's lowest value has no positive counterpart.
int WholeStep(int target) {
    return SaturateToInt(std::llabs(static_cast<long long>(target)));
}

} // namespace

GLevelScoreValues::GLevelScoreValues() : mScript(WindowScript()) {
    mPublished = WindowScriptState();
    if (mPublished != nullptr) {
        LuaPublish(mPublished, "CPP_OnLevelScoreInitComplete", this,
                   &GLevelScoreValues::CPP_OnLevelScoreInitComplete);
    }
}

GLevelScoreValues::~GLevelScoreValues() {
    WithdrawFromWindowScript(this, mPublished);
}

bool GLevelScoreValues::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GLevelScoreValues::Create() {
    return new GLevelScoreValues;
}

void GLevelScoreValues::Init(TWindowStyle& style) {
    if (TModalWindow* modal = GetModalParent()) {
        modal->SetDefaultFocus(this);
    }
    StartAnimation(style.GetInt("anim_delay", kDefaultAnimDelayMs), true, true, false);
}

void GLevelScoreValues::AddCounter(const char* textName, int target, int start, int step) {
    TWindow* modal = GetModalParent();
    TText* text = FindKind<TText>(modal != nullptr ? modal : static_cast<TWindow*>(this), textName);
    mCounters.push_back(Counter{text, start, target, step});
}

void GLevelScoreValues::CPP_OnLevelScoreInitComplete() {
    // Without a level its values count from and to 0; the player's still count.
    GLevel* level = GLogicalManager::Instance().GetLevel();
    const int goal = level != nullptr ? level->GetGoal() : 0;
    const int expert = level != nullptr ? level->GetExpert() : 0;
    const int lost = level != nullptr ? level->GetGirlsLost() : 0;
    const int bonus = level != nullptr ? level->GetComboBonus() : 0;
    const int score = level != nullptr ? level->GetScore() : 0;
    GPlayerInfo* player = GPlayerInfo::Instance();
    const int total = player->GetTotalScore();
    const int money = player->GetMoney();
    AddCounter("beginner_goal_val", goal, goal, 0);
    AddCounter("expert_goal_val", expert, expert, 0);
    AddCounter("breakdowns_val", lost, 0, lost < 0 ? -1 : 1);
    AddCounter("order_bonus_val", bonus, 0, TwentiethStep(bonus));
    AddCounter("total_points_val", score, 0, TwentiethStep(score));
    AddCounter("new_score_val", total, 0, TwentiethStep(total));
    AddCounter("new_money_val", money, 0, WholeStep(money));
}

void GLevelScoreValues::AdvanceCounter(Counter& counter) {
    // Summed wide: a step near the int range's top must not wrap below the target.
    int64_t current = counter.mCurrent;
    if (current < counter.mTarget) {
        current += counter.mStep;
    }
    counter.mCurrent = static_cast<int32_t>(std::min<int64_t>(current, counter.mTarget));
    if (counter.mText != nullptr) {
        counter.mText->SetText(str::FromFormat("%d", counter.mCurrent));
    }
}

bool GLevelScoreValues::OnAnimate() {
    const auto count = static_cast<int32_t>(mCounters.size());
    if (mCurrentIndex >= 0 && mCurrentIndex < count) {
        Counter& counter = mCounters[static_cast<size_t>(mCurrentIndex)];
        AdvanceCounter(counter);
        if (counter.mCurrent >= counter.mTarget) {
            ++mCurrentIndex;
            if (mCurrentIndex < count) {
                AdvanceCounter(mCounters[static_cast<size_t>(mCurrentIndex)]);
            }
        }
    }
    return true;
}
