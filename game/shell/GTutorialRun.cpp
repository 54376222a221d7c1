#include "game/shell/GTutorialRun.h"

#include "engine/script/luawrapper.h"
#include "game/shell/GTutorialAction.h"
#include "game/shell/GTutorialInitor.h"
#include "game/shell/GTutorialProcessor.h"
#include "game/shell/GTutorialWindowManager.h"
#include "game/world/GLogicalManager.h"

GTutorialRun::GTutorialRun(GTutorialProcessor* processor, const str& name, const str& setName)
    : mProcessor(processor), mName(name), mSetName(setName) {}

GTutorialRun::~GTutorialRun() {
    // A copy: unlinking changes both sets.
    const std::set<GTutorialRun*> linked = mLinked;
    for (GTutorialRun* other : linked) {
        other->Unlink(this);
        Unlink(other);
    }
}

bool GTutorialRun::Load(TLuaTable& definition) {
    std::unique_ptr<TLuaTable> message(definition.GetTable("message"));
    mAction = std::make_unique<GTutorialAction>();
    if (!mAction->Load(message.get(), this)) {
        mAction.reset();
        return false;
    }
    std::unique_ptr<TLuaTable> initor(definition.GetTable("initor"));
    if (initor != nullptr) {
        mInitor = std::make_unique<GTutorialInitor>();
        if (!mInitor->Load(initor.get(), this)) {
            // Its link slots went with it: a link resolved later must not write into it.
            mInitor.reset();
            mLinkSlots.clear();
        }
    }
    mPostBlock = definition.GetNumber("post_block") != 0;
    mNextTutorial = definition.GetString("next_tutorial");
    mFinished = false;
    return true;
}

void GTutorialRun::Finish(bool keep) {
    if (!mRunning) {
        return;
    }
    mRunning = false;
    mFinished = true;
    GTutorialWindowManager::Instance().CloseWindow();
    if (!keep) {
        GLogicalManager& manager = GLogicalManager::Instance();
        if (mPostBlock) {
            const bool skipping = mProcessor->IsSkipAll();
            mProcessor->SetLevelBlocked(!skipping);
            if (!skipping) {
                manager.SetObjectsEnabled(1, {});
            }
        } else {
            manager.SetObjectsEnabled(0, {});
        }
        mProcessor->StartTutorialByName(mNextTutorial);
    }
    mProcessor->StopTutorial(keep);
}

void GTutorialRun::AddLinkSlot(const str& name, GTutorialRun** slot) {
    mLinkSlots.emplace(name, slot);
}

void GTutorialRun::Link(GTutorialRun* other) {
    if (other == nullptr || mLinked.count(other) != 0) {
        return;
    }
    mLinked.insert(other);
    const auto slots = mLinkSlots.equal_range(other->mName);
    for (auto it = slots.first; it != slots.second; ++it) {
        *it->second = other;
    }
    other->Link(this);
}

void GTutorialRun::Unlink(GTutorialRun* other) {
    for (auto& [name, slot] : mLinkSlots) {
        if (*slot == other) {
            *slot = nullptr;
        }
    }
    mLinked.erase(other);
}
