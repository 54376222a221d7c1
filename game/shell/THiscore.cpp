#include "game/shell/THiscore.h"

#include "engine/core/qzhiscores.h"
#include "engine/core/settings.h"
#include "engine/ui/image.h"
#include "engine/ui/message.h"
#include "engine/ui/text.h"
#include "engine/ui/textsprite.h"
#include "game/common/GUserManager.h"
#include "game/common/WindowKind.h"
#include "game/common/WindowScriptState.h"

namespace {

constexpr int kHiscoreTickMs = 20;
constexpr int kLocalPanelShift = 130;
constexpr int kLargestTriedSize = 19;
constexpr int kNameSize = 64;

const char kGetState[] = "GetState";

const char* const kCaptions[] = {
    "eligible",
    "eligibleasterisk",
    "server",
    "error",
    "info",
    "category",
    "local",
    "global",
    "topplayers",
    "congratulations",
    "dnq",
    "yourrank",
    "yourrankglobalinfo",
    "rankvalue",
    "scrollup",
    "scrolldown",
};

bool HiscoreLocal() {
    return IsEnabled("hiscorelocal");
}

// The registry slot that keeps the "GetState" a hiscore window replaced, keyed by the window.
void PushSavedKey(lua_State* state, const THiscore* window) {
    lua_pushlightuserdata(state, const_cast<THiscore*>(window));
}

} // namespace

TWindow* THiscore::Create() {
    return new THiscore;
}

bool THiscore::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

THiscore::THiscore() {
    if (GUserManager* users = GetUserManager()) {
        mHiscores = users->GetHiscores();
    }
    mPublished = WindowScriptState();
    if (mPublished == nullptr) {
        return;
    }
    PushSavedKey(mPublished, this);
    lua_pushstring(mPublished, kGetState);
    lua_gettable(mPublished, LUA_GLOBALSINDEX);
    lua_settable(mPublished, LUA_REGISTRYINDEX);
    LuaPublish(mPublished, kGetState, this, &THiscore::GetState);
    LuaPublish(mPublished, "ScoreAvailable", this, &THiscore::ScoreAvailable);
    LuaPublish(mPublished, "UpdateText", this, &THiscore::UpdateText);
}

THiscore::~THiscore() {
    if (mPublished == nullptr || mPublished != WindowScriptState()) {
        return;
    }
    LuaWithdrawObject(mPublished, this);
    // The query this window stood in for answers again, unless a later window holds the name.
    if (!HasGlobal(mPublished, kGetState)) {
        lua_pushstring(mPublished, kGetState);
        PushSavedKey(mPublished, this);
        lua_gettable(mPublished, LUA_REGISTRYINDEX);
        lua_settable(mPublished, LUA_GLOBALSINDEX);
    }
    PushSavedKey(mPublished, this);
    lua_pushnil(mPublished);
    lua_settable(mPublished, LUA_REGISTRYINDEX);
}

void THiscore::PostCreate(TWindowStyle& style) {
    if (mPublished != nullptr) {
        LuaPublish(mPublished, "CPP_Clear", this, &THiscore::CPP_Clear);
        LuaPublish(mPublished, "CPP_GetScoreCount", this, &THiscore::CPP_GetScoreCount);
    }
    TWindow::PostCreate(style);
    StartAnimation(kHiscoreTickMs, true, true, false);
    for (int i = 0; i < kRows; ++i) {
        GRow& row = mRows[i];
        row.name = FindKind<TText>(this, str::FromFormat("name%d", i + 1));
        row.score = FindKind<TText>(this, str::FromFormat("score%d", i + 1));
        row.rank = FindKind<TText>(this, str::FromFormat("%d", i + 1));
        row.badge = FindKind<TImage>(this, str::FromFormat("p1_%d", i + 1));
    }
    if (HiscoreLocal()) {
        if (TWindow* panel = FindChild("leftpanel", -1)) {
            const TRect& rect = panel->GetRect();
            panel->MoveTo(rect.left + kLocalPanelShift, rect.top);
        }
    }
    UpdateText();
    UpdateButtons();
}

bool THiscore::GetScreenBounds(TRect* out) {
    if (out == nullptr) {
        return false;
    }
    *out = TRect{0, 0, 800, 600};
    return true;
}

bool THiscore::OnMessage(TMessage* message) {
    if (message == nullptr || message->GetKind() != TMessage::kButtonPress) {
        return false;
    }
    const str& name = message->GetName();
    if (name == str("viewlocal")) {
        mViewState = 0;
        UpdateText();
        UpdateButtons();
    } else if (name == str("scrollup")) {
        mScrollOffset -= kRows;
        UpdateText();
    } else if (name == str("scrolldown")) {
        mScrollOffset += kRows;
        UpdateText();
    }
    return false;
}

bool THiscore::ScoreAvailable() {
    int score = 0;
    return mHiscores != nullptr && mHiscores->FindPlayerScore(0, &score, nullptr, nullptr, 0);
}

void THiscore::UpdateText() {
    HideAll();
    if (mViewState == 0) {
        ShowLocalTable();
        if (ScoreAvailable()) {
            ShowChild("eligible", true);
            ShowChild("eligibleasterisk", true);
        }
        ShowChild("info", true);
    }
    if (HiscoreLocal()) {
        ShowChild("info", false);
        ShowChild("eligible", false);
        ShowChild("eligibleasterisk", false);
    }
}

int THiscore::CPP_Clear() {
    if (mHiscores != nullptr) {
        mHiscores->ClearLocalScores();
    }
    UpdateText();
    return 1;
}

int THiscore::CPP_GetScoreCount() {
    return mHiscores != nullptr ? mHiscores->GetScoreCount(true) : 0;
}

void THiscore::HideAll() {
    for (const GRow& row : mRows) {
        SetWindowShown(row.name, false);
        SetWindowShown(row.score, false);
        SetWindowShown(row.rank, false);
        SetWindowShown(row.badge, false);
    }
    for (const char* caption : kCaptions) {
        ShowChild(caption, false);
    }
}

void THiscore::ShowLocalTable() {
    const int count = CPP_GetScoreCount();
    const bool local = HiscoreLocal();
    ShowChild(local ? "topplayers" : "local", true);
    ShowChild("scrollup", false);
    ShowChild("scrolldown", false);
    // The table shows its first ten entries only.
    mScrollOffset = 0;
    for (int i = 0; i < kRows && mScrollOffset + i < count; ++i) {
        int rank = 0;
        int score = 0;
        char name[kNameSize] = {};
        if (mHiscores == nullptr || !mHiscores->GetScore(true, mScrollOffset + i, &rank, name,
                                                         kNameSize, nullptr, &score, nullptr, 0)) {
            continue;
        }
        const GRow& row = mRows[i];
        if (row.name != nullptr) {
            SetWindowShown(row.name, true);
            row.name->SetText(name);
            FitName(*row.name);
        }
        if (row.score != nullptr) {
            row.score->SetText(str::FromFormat("%d", score));
            SetWindowShown(row.score, true);
        }
        if (row.rank != nullptr) {
            SetWindowShown(row.rank, true);
            row.rank->SetText(str::FromFormat("%d.", rank));
        }
    }
}

void THiscore::FitName(TText& text) {
    TTextSprite* sprite = text.GetSprite();
    if (sprite == nullptr) {
        return;
    }
    const auto fits = [&text]() {
        const TRect extent = text.GetTextExtent();
        return extent.top >= 0 && extent.right <= text.GetWidth() &&
               extent.bottom <= text.GetHeight();
    };
    for (int size = kLargestTriedSize; size >= 1 && !fits(); --size) {
        sprite->SetFontSize(size);
    }
}

void THiscore::UpdateButtons() {
    if (TScript* script = WindowScript()) {
        script->DoLuaString("UpdateButtons();");
    }
}

void THiscore::ShowChild(const char* name, bool show) {
    if (TWindow* child = FindChild(name, -1)) {
        SetWindowShown(child, show);
    }
}
