#include "game/shell/GTutorialAction.h"

#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/GTutorialCloseTriger.h"
#include "game/shell/GTutorialProcessor.h"
#include "game/shell/GTutorialRun.h"
#include "game/shell/GTutorialWindow.h"
#include "game/shell/GTutorialWindowManager.h"
#include "game/visual/GVObject.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GTutorialFilter.h"

#include <algorithm>
#include <cmath>

GTutorialAction::GTutorialAction() = default;
GTutorialAction::~GTutorialAction() = default;

std::unique_ptr<GTutorialFilter> GTutorialAction::MakeFilter(TLuaTable* table, bool startObject) {
    auto filter = std::make_unique<GTutorialFilter>();
    const bool valid = startObject ? filter->LoadStartObject(mOwner) : filter->Load(table, mOwner);
    if (!valid) {
        return nullptr;
    }
    filter->BindStartObject(mOwner->StartObjectSlot());
    return filter;
}

std::unique_ptr<GTutorialFilter> GTutorialAction::ReadFilter(TLuaTable& list, double index) {
    if (std::unique_ptr<TLuaTable> table{list.GetTableAt(index)}) {
        return MakeFilter(table.get(), false);
    }
    return list.GetNumberAt(index) == -1 ? MakeFilter(nullptr, true) : nullptr;
}

bool GTutorialAction::Load(TLuaTable* table, GTutorialRun* owner) {
    if (!GTutorialComponent::Load(table, owner)) {
        return false;
    }
    mMsg = table->GetString("msg");
    mBg = table->GetString("bg");
    mImage = table->GetString("image");
    mWindow = table->GetString("window");
    mStop = table->GetNumber("stop") != 0;
    mTransferring = LuaNumberToInt(table->GetNumber("transferring"));
    if (std::unique_ptr<TLuaTable> notBlock{table->GetTable("not_block")}) {
        mHasNotBlock = true;
        const int count = notBlock->GetCount();
        for (int i = 1; i <= count; ++i) {
            std::unique_ptr<TLuaTable> entry(notBlock->GetTableAt(i));
            if (std::unique_ptr<GTutorialFilter> filter = MakeFilter(entry.get(), false)) {
                mDeclaredNotBlock.push_back(std::move(filter));
            }
        }
    }
    mOrderBlock = LuaNumberToInt(table->GetNumber("OrderBlock"));
    if (std::unique_ptr<TLuaTable> target{table->GetTable("target")}) {
        const int count = target->GetCount();
        if (count != 0) {
            for (int i = 1; i <= count; ++i) {
                mTargets.push_back(ReadFilter(*target, i));
            }
        } else if (std::unique_ptr<GTutorialFilter> filter = MakeFilter(target.get(), false)) {
            mTargets.push_back(std::move(filter));
        }
    } else if (table->GetNumber("target") == -1) {
        mTargets.push_back(MakeFilter(nullptr, true));
    }
    mHideArrows = LuaNumberToInt(table->GetNumber("HideArrows"));
    if (std::unique_ptr<TLuaTable> position{table->GetTable("position")}) {
        mPositionX = LuaNumberToInt(position->GetNumber("x"));
        mPositionY = LuaNumberToInt(position->GetNumber("y"));
        if (std::unique_ptr<TLuaTable> bits{position->GetTable("target")}) {
            const int count = bits->GetCount();
            for (int i = 1; i <= count; ++i) {
                mPositionTargetBits |= LuaNumberToInt(bits->GetNumberAt(i));
            }
        }
    }
    mDelay = LuaNumberToInt(table->GetNumber("delay"));
    mSkipeable = table->GetNumber("skipeable", 1) != 0;
    mSkipButtonId = table->GetString("SkipButtonId");
    mFixedSkipButton = table->GetBool("FixedSkipButton");
    if (std::unique_ptr<TLuaTable> close{table->GetTable("close")}) {
        mCloseTrigger = std::make_unique<GTutorialCloseTriger>();
        if (!mCloseTrigger->Load(close.get(), owner)) {
            mCloseTrigger.reset();
        }
    }
    return true;
}

void GTutorialAction::OnClick() {
    new GAdjournLuaCommand("SkipTutorial();", WindowScript());
}

void GTutorialAction::Show() {
    mOrderIndex = 0;
    mNotBlock.clear();
    for (const auto& filter : mDeclaredNotBlock) {
        mNotBlock.push_back(filter.get());
    }
    GTutorialWindowManager& windows = GTutorialWindowManager::Instance();
    if (!windows.OpenWindow(mWindow, mStop, mPositionX, mPositionY, mPositionTargetBits, mDelay)) {
        mOwner->Finish(false);
        return;
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    windows.SetTransferring(mTransferring);
    if (mTransferring == 0) {
        manager.SetObjectsEnabled(1, mNotBlock);
    }
    GTutorialWindow* window = windows.GetCurrentWindow();
    if (window == nullptr) {
        return;
    }
    window->SetImage(mImage);
    window->SetBackground(mBg);
    if (mMsg.Length() != 0) {
        window->SetMessage(mMsg);
        if (mCloseTrigger != nullptr) {
            window->SetupOkButton(mCloseTrigger->HasButton(), mCloseTrigger->GetButton(),
                                  mCloseTrigger.get());
        }
        window->SetupSkipButton(mSkipeable, mSkipButtonId, this, mFixedSkipButton);
        window->ShowArrow(-1, false);
        for (size_t i = 0; i < mTargets.size(); ++i) {
            GGameObject* object =
                mTargets[i] != nullptr ? manager.FindObjectByFilter(mTargets[i].get()) : nullptr;
            GVObject* visual = object != nullptr ? object->GetVisual() : nullptr;
            if (visual == nullptr) {
                continue;
            }
            // An object that moved since the last frame (a girl just come in) is drawn where it
            // is now only after its update: the arrow points there.
            if (visual->IsDirty()) {
                visual->Update();
            }
            const GVRect bounds = visual->GetBounds(nullptr);
            window->PointArrow(static_cast<int>(i),
                               TRect{LuaNumberToInt(bounds.x0), LuaNumberToInt(bounds.y0),
                                     LuaNumberToInt(bounds.x1), LuaNumberToInt(bounds.y1)});
        }
    }
    if (mCloseTrigger != nullptr) {
        mCloseTrigger->Start();
    }
}

bool GTutorialAction::IsTarget(GGameObject* object) {
    size_t matched = 0;
    if (mHasNotBlock) {
        if (mOrderBlock == 1) {
            const size_t index = static_cast<size_t>(std::max(mOrderIndex, 0));
            if (index >= mNotBlock.size() || !mNotBlock[index]->Matches(object)) {
                return false;
            }
            matched = index;
        } else {
            const auto found =
                std::find_if(mNotBlock.begin(), mNotBlock.end(),
                             [object](const GTutorialFilter* f) { return f->Matches(object); });
            if (found == mNotBlock.end()) {
                return false;
            }
            matched = static_cast<size_t>(found - mNotBlock.begin());
            mOrderIndex = static_cast<int32_t>(matched);
        }
    }
    if (mHideArrows != 0) {
        for (size_t i = 0; i < mTargets.size(); ++i) {
            if (mTargets[i] != nullptr && mTargets[i]->Matches(object)) {
                if (GTutorialWindow* window =
                        GTutorialWindowManager::Instance().GetCurrentWindow()) {
                    window->ShowArrow(static_cast<int>(i), false);
                }
                break;
            }
        }
    }
    if (mHasNotBlock) {
        if (mOrderBlock == 1) {
            ++mOrderIndex;
        } else if (mOrderBlock == 2) {
            mNotBlock.erase(mNotBlock.begin() + static_cast<std::ptrdiff_t>(matched));
        }
    }
    return true;
}
