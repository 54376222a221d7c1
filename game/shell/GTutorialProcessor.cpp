#include "game/shell/GTutorialProcessor.h"

#include "engine/core/file.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "engine/script/scriptcode.h"
#include "engine/system/platform.h"
#include "engine/ui/windowmanager.h"
#include "game/common/GLogManager.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/GTutorialAction.h"
#include "game/shell/GTutorialCloseTriger.h"
#include "game/shell/GTutorialInitor.h"
#include "game/shell/GTutorialRun.h"
#include "game/shell/GTutorialWindowManager.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"

#include <algorithm>

GTutorialProcessor::GTutorialTimer::~GTutorialTimer() {
    if (mProcessor != nullptr) {
        mProcessor->mTimer = nullptr;
    }
}

bool GTutorialProcessor::GTutorialTimer::Animate() {
    if (mProcessor == nullptr) {
        return false;
    }
    mProcessor->OnTimer();
    return mProcessor != nullptr;
}

GAdjournLuaCommand::GAdjournLuaCommand(const str& text, TScript* script)
    : mText(text), mScript(script) {
    if (TPlatform* platform = TPlatform::GetInstance()) {
        platform->AddTask(this);
    } else {
        delete this;
    }
}

bool GAdjournLuaCommand::DoTask() {
    if (!mArmed) {
        mArmed = true;
        return true;
    }
    if (mScript != nullptr && mScript == WindowScript()) {
        mScript->DoLuaString(mText);
    }
    return false;
}

GTutorialProcessor::GTutorialProcessor() {
    GetLogManager()->SetModuleWriter("Tutorials", GLogManager::kDebugWriter);
}

GTutorialProcessor::~GTutorialProcessor() {
    WithdrawFromWindowScript(this, mPublished);
    DetachTimer();
    // The shown window's buttons must not keep the step's listeners.
    if (mCurrent != nullptr) {
        GTutorialWindowManager::Instance().CloseWindow();
    }
    mPending.clear();
    mCurrent = nullptr;
    mTutorials.clear();
    mSetScripts.clear();
}

std::unique_ptr<GTutorialHooks> GTutorialProcessor::Make() {
    return std::make_unique<GTutorialProcessor>();
}

bool GTutorialProcessor::Load(const str& file) {
    const bool read = LoadFile(file);
    mLoaded = true;
    RearmTriggers();
    PublishMainFunctions();
    GetLogManager()->SetModuleWriter("Tutorials", GLogManager::kDebugWriter);
    return read;
}

bool GTutorialProcessor::LoadFile(const str& file) {
    if (file.Length() == 0 || !EngineFileExists(file)) {
        return false;
    }
    str error;
    if (!TScriptCode::Get(file, gScriptSearchPath, &error)) {
        return false;
    }
    // A set loaded again replaces the old one: its tutorials go before the script their functions
    // live in.
    if (mSetScripts.count(file) != 0) {
        UnloadSet(file);
    }
    auto script = std::make_unique<TScript>();
    script->RunScript(file);
    PublishSetFunctions(script->GetState());
    std::unique_ptr<TLuaTable> tutorials(script->GetGlobalTable("tutorials"));
    if (tutorials == nullptr) {
        return true;
    }
    mSetScripts[file] = std::move(script);
    ReadSet(*tutorials, file);
    return true;
}

void GTutorialProcessor::ReadSet(TLuaTable& tutorials, const str& setName) {
    mReading = true;
    TLuaObjectWrapper* key = nullptr;
    while (true) {
        std::unique_ptr<TLuaObjectWrapper> value(tutorials.Next(&key));
        if (value == nullptr || key == nullptr) {
            break;
        }
        if (!value->IsTable()) {
            continue;
        }
        value->Push();
        TLuaTable definition(value->GetState());
        AddTutorial(key->ToString(), definition, setName);
    }
    delete key;
    mReading = false;
    ResolveLinks();
    RearmTriggers();
}

TScript* GTutorialProcessor::FindSetScript(const str& set) const {
    const auto found = mSetScripts.find(set);
    return found != mSetScripts.end() ? found->second.get() : nullptr;
}

GTutorialRun* GTutorialProcessor::FindTutorial(const str& name) const {
    const auto found = mTutorials.find(name);
    return found != mTutorials.end() ? found->second.get() : nullptr;
}

void GTutorialProcessor::DropPending(const GTutorialRun* run) {
    mPending.remove_if([run](const auto& entry) { return entry.first == run; });
    mLinkRequests.erase(std::remove_if(mLinkRequests.begin(), mLinkRequests.end(),
                                       [run](const auto& entry) { return entry.second == run; }),
                        mLinkRequests.end());
    auto dropFrom = [run](GTriggers& triggers) {
        for (auto it = triggers.begin(); it != triggers.end();) {
            it = it->second->GetOwner() == run ? triggers.erase(it) : std::next(it);
        }
    };
    dropFrom(mWishTriggers);
    dropFrom(mActionTriggers);
    dropFrom(mCreationTriggers);
}

void GTutorialProcessor::DestroyTutorial(
    std::map<str, std::unique_ptr<GTutorialRun>>::iterator it) {
    GTutorialRun* run = it->second.get();
    if (run == mCurrent) {
        StopTutorial(true);
        // Still current when the stop was already under way: it must not stay behind.
        if (run == mCurrent) {
            run->Finish(true);
            mCurrent = nullptr;
        }
    }
    DropPending(run);
    mTutorials.erase(it);
}

bool GTutorialProcessor::AddTutorial(const str& name, TLuaTable& definition, const str& setName) {
    const auto existing = mTutorials.find(name);
    if (existing != mTutorials.end()) {
        DestroyTutorial(existing);
        RearmTriggers();
    }
    auto run = std::make_unique<GTutorialRun>(this, name, setName);
    if (!run->Load(definition)) {
        DropPending(run.get());
        return false;
    }
    mTutorials[name] = std::move(run);
    if (!mReading) {
        ResolveLinks();
    }
    return true;
}

void GTutorialProcessor::RequestLink(const str& name, GTutorialRun* requester) {
    mLinkRequests.emplace_back(name, requester);
}

void GTutorialProcessor::ResolveLinks() {
    for (const auto& [name, requester] : mLinkRequests) {
        if (GTutorialRun* named = FindTutorial(name)) {
            requester->Link(named);
        }
    }
    mLinkRequests.clear();
}

void GTutorialProcessor::RearmTriggers() {
    if (!mLoaded) {
        return;
    }
    mWishTriggers.clear();
    mActionTriggers.clear();
    mCreationTriggers.clear();
    for (const auto& [name, run] : mTutorials) {
        GTutorialInitor* initor = run->GetInitor();
        if (initor == nullptr || run->IsFinished()) {
            continue;
        }
        if (initor->HasAction()) {
            mActionTriggers.emplace(initor->GetAction(), initor);
        }
        if (initor->HasWish()) {
            mWishTriggers.emplace(initor->GetWish(), initor);
        }
        if (initor->WaitsCreating()) {
            mCreationTriggers.emplace(initor->GetId(), initor);
        }
    }
}

void GTutorialProcessor::UnloadSet(const str& file) {
    for (auto it = mTutorials.begin(); it != mTutorials.end();) {
        if (it->second->GetSetName() == file) {
            auto next = std::next(it);
            DestroyTutorial(it);
            it = next;
        } else {
            ++it;
        }
    }
    mSetScripts.erase(file);
    RearmTriggers();
}

void GTutorialProcessor::Reset() {
    for (const auto& [name, run] : mTutorials) {
        if (run->IsRunning()) {
            run->SetRunning(false);
            run->SetFinished(true);
            GTutorialWindowManager::Instance().CloseWindow();
            StopTutorial(true);
        }
    }
    for (const auto& [name, run] : mTutorials) {
        if (GTutorialInitor* initor = run->GetInitor()) {
            initor->RestoreCounter();
        }
        run->SetFinished(false);
    }
    mLevelBlocked = false;
    mSkipAll = false;
    mPending.clear();
    StopTutorial(true);
}

void GTutorialProcessor::Clear() {
    StopTutorial(true);
    while (!mTutorials.empty()) {
        DestroyTutorial(mTutorials.begin());
    }
    mLevelBlocked = false;
    mSetScripts.clear();
    mStartCount = 0;
    RearmTriggers();
}

void GTutorialProcessor::DetachTimer() {
    if (mTimer != nullptr) {
        mTimer->Detach();
        mTimer = nullptr;
    }
}

bool GTutorialProcessor::IsWaiting(const GTutorialRun* run) {
    const GTutorialInitor* initor = run->GetInitor();
    const GTutorialRun* wait = initor != nullptr ? initor->GetWaitTutorial() : nullptr;
    return wait != nullptr && !wait->IsFinished();
}

void GTutorialProcessor::StartTutorial(GTutorialRun* run, GGameObject* object, bool atFront) {
    if (run == nullptr) {
        return;
    }
    if (++mStartCount == 1) {
        GLogicalManager::Instance().MarkLevelTutorialSeen();
    }
    if (mCurrent != nullptr || IsWaiting(run)) {
        if (!run->IsFinished() && run != mCurrent) {
            if (atFront) {
                mPending.emplace_front(run, object);
            } else {
                mPending.emplace_back(run, object);
            }
        }
        return;
    }
    GTutorialAction* action = run->GetAction();
    const GTutorialInitor* initor = run->GetInitor();
    const bool skipped =
        mSkipAll && (initor == nullptr || !initor->IsNotDisabled()) && action->IsSkipeable();
    mLevelBlocked = false;
    mCurrent = run;
    run->SetStartObject(object);
    // Running first: a window that cannot open finishes the tutorial from inside Show.
    run->SetRunning(true);
    run->SetFinished(false);
    if (!skipped) {
        action->Show();
    }
    if (mCurrent != run) {
        return;
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    if (action->IsStop()) {
        manager.OnTutorialActionHook(true);
    }
    if (skipped || action->GetCloseTrigger() == nullptr) {
        StopTutorial(false);
        return;
    }
    DetachTimer();
    TWindowManager* windows = GetWindowManager();
    TModalWindow* top = windows != nullptr ? windows->GetTopModal() : nullptr;
    if (top != nullptr) {
        mTimer = new GTutorialTimer(this);
        top->AddTask(mTimer);
    }
}

void GTutorialProcessor::StartTutorialByName(const str& name) {
    if (name.Length() == 0) {
        return;
    }
    StartTutorial(FindTutorial(name), nullptr, true);
}

void GTutorialProcessor::StopTutorial(bool keep) {
    if (mCurrent == nullptr || mStopping) {
        return;
    }
    mStopping = true;
    DetachTimer();
    mCurrent->Finish(keep);
    GLogicalManager::Instance().OnTutorialActionHook(false);
    mCurrent = nullptr;
    mStopping = false;
    if (keep) {
        return;
    }
    for (auto it = mPending.begin(); it != mPending.end();) {
        if (it->first->IsFinished()) {
            it = mPending.erase(it);
            continue;
        }
        if (IsWaiting(it->first)) {
            ++it;
            continue;
        }
        const auto [run, object] = *it;
        mPending.erase(it);
        StartTutorial(run, object, false);
        return;
    }
}

void GTutorialProcessor::SkipTutorial() {
    const bool wasSet = mSkipAll;
    mSkipAll = true;
    if (!wasSet && mCurrent != nullptr) {
        mCurrent->Finish(false);
    }
    GLogicalManager::Instance().SetObjectsEnabled(0, {});
}

void GTutorialProcessor::OnTimer() {
    if (mCurrent == nullptr) {
        DetachTimer();
        return;
    }
    const GTutorialCloseTriger* close = mCurrent->GetAction()->GetCloseTrigger();
    if (close == nullptr || close->IsTimeUp(TPlatform::GetTime())) {
        mCurrent->Finish(false);
    }
}

bool GTutorialProcessor::OnClick(GGameObject* object) {
    if (mCurrent == nullptr) {
        return !mLevelBlocked;
    }
    GTutorialRun* run = mCurrent;
    if (!run->GetAction()->IsTarget(object)) {
        return false;
    }
    if (GTutorialCloseTriger* close = run->GetAction()->GetCloseTrigger()) {
        close->OnObjectClick(object);
    }
    return true;
}

void GTutorialProcessor::Trigger(const GTriggers& triggers, const str& key, GGameObject* object) {
    // A copy: starting a tutorial may re-arm the triggers.
    std::vector<GTutorialInitor*> initors;
    const auto range = triggers.equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
        initors.push_back(it->second);
    }
    for (GTutorialInitor* initor : initors) {
        if (initor->Accepts(object)) {
            StartTutorial(initor->GetOwner(), object, false);
            return;
        }
    }
}

void GTutorialProcessor::OnAction(GGameObject* object, const str& event) {
    if (mCurrent != nullptr) {
        if (GTutorialCloseTriger* close = mCurrent->GetAction()->GetCloseTrigger()) {
            close->OnEvent(object, event);
        }
        return;
    }
    Trigger(mActionTriggers, event, object);
}

void GTutorialProcessor::OnGameEvent(GGameObject* object, const str& event) {
    OnAction(object, event);
}

void GTutorialProcessor::OnTouchUp(GGameObject* personage) {
    OnAction(personage, "touchup");
}

void GTutorialProcessor::OnTouchUpEnd(GGameObject* girl) {
    OnAction(girl, "touchup_end");
}

void GTutorialProcessor::OnDragEnd(GGameObject* object) {
    OnAction(object, "drag_end");
}

void GTutorialProcessor::OnTaskStart(GBaseSimpleTask* task) {
    if (task != nullptr) {
        OnAction(task->mObject, task->mName);
    }
}

void GTutorialProcessor::OnTaskEnd(GBaseSimpleTask* task) {
    if (task != nullptr) {
        OnAction(task->mObject, task->mName + str("_end"));
    }
}

void GTutorialProcessor::QueueNamedEvent(GGameObject* girl, const str& wish) {
    Trigger(mWishTriggers, wish, girl);
}

void GTutorialProcessor::QueueObjectEvent(GGameObject* girl) {
    if (girl != nullptr) {
        Trigger(mCreationTriggers, girl->GetName(), girl);
    }
}

void GTutorialProcessor::ForgetObject(GGameObject* object) {
    if (object == nullptr) {
        return;
    }
    for (const auto& [name, run] : mTutorials) {
        if (run->GetStartObject() == object) {
            run->SetStartObject(nullptr);
        }
    }
    for (auto& entry : mPending) {
        if (entry.second == object) {
            entry.second = nullptr;
        }
    }
}
