// The tutorial engine: the tutorial sets loaded (one Lua state each), every tutorial by name, the
// triggers that start them on wishes, game events and girls' arrivals, the tutorials waiting while
// another is shown, the one shown and the watch of its closing condition. The logical manager owns
// the one processor; main thread only.
#pragma once

#include "engine/core/animtask.h"
#include "engine/core/str.h"
#include "engine/core/task.h"
#include "game/world/GTutorialHooks.h"

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class GGameObject;
class GTutorialInitor;
class GTutorialRun;
class TScript;
class TLuaTable;
struct lua_State;

class GTutorialProcessor final : public GTutorialHooks {
public:
    // Watches the current step on every pass of the top modal window's task list. Owned by that
    // list; the processor detaches it, and it tells the processor when the list deletes it.
    class GTutorialTimer : public TAnimTask { // NOLINT(readability-identifier-naming)
    public:
        explicit GTutorialTimer(GTutorialProcessor* processor) : mProcessor(processor) {}
        ~GTutorialTimer() override;
        GTutorialTimer(const GTutorialTimer&) = delete;
        GTutorialTimer& operator=(const GTutorialTimer&) = delete;
        bool Animate() override;
        void Detach() { mProcessor = nullptr; }

    private:
        // Null once detached: the list then deletes the task.
        GTutorialProcessor* mProcessor;
    };

    // Binds the game log's module "Tutorials" to the debugger writer.
    GTutorialProcessor();
    // Takes back its main-script functions; forgets its timer; closes the shown step's window;
    // tutorials and sets go.
    ~GTutorialProcessor() override;
    GTutorialProcessor(const GTutorialProcessor&) = delete;
    GTutorialProcessor& operator=(const GTutorialProcessor&) = delete;

    // The maker the shell registers with the logical manager.
    static std::unique_ptr<GTutorialHooks> Make();

    // GTutorialHooks.
    bool Load(const str& file) override;
    bool LoadFile(const str& file) override;
    void UnloadSet(const str& file) override;
    void Reset() override;
    void Clear() override;
    void StopTutorial(bool keep) override;
    bool IsTutorialRunning() const override { return mCurrent != nullptr; }
    bool OnClick(GGameObject* object) override;
    void OnGameEvent(GGameObject* object, const str& event) override;
    void OnTouchUp(GGameObject* personage) override;
    void OnTouchUpEnd(GGameObject* girl) override;
    void OnDragEnd(GGameObject* object) override;
    void OnTaskStart(GBaseSimpleTask* task) override;
    void OnTaskEnd(GBaseSimpleTask* task) override;
    void QueueNamedEvent(GGameObject* girl, const str& wish) override;
    void QueueObjectEvent(GGameObject* girl) override;
    void ForgetObject(GGameObject* object) override;

    // A tutorial of that name replaces an existing one (stopped when shown); false when the
    // definition has no valid step.
    bool AddTutorial(const str& name, TLuaTable& definition, const str& setName);
    void SkipTutorial();
    // Starts the tutorial with no start object, at the front of the waiting list; nothing for an
    // empty or unknown name.
    void StartTutorialByName(const str& name);
    void StartTutorial(GTutorialRun* run, GGameObject* object, bool atFront);
    // The timer's pass: the step finishes when it has no closing condition or its time is up.
    void OnTimer();

    // A link an initor asks for, resolved at the end of the set being read (at once outside one).
    void RequestLink(const str& name, GTutorialRun* requester);
    void ResolveLinks();
    void RearmTriggers();

    // Level objects blocked after a post_block tutorial.
    bool IsLevelBlocked() const { return mLevelBlocked; }
    void SetLevelBlocked(bool blocked) { mLevelBlocked = blocked; }
    bool IsSkipAll() const { return mSkipAll; }
    bool IsLoaded() const { return mLoaded; }
    GTutorialRun* GetCurrent() const { return mCurrent; }
    GTutorialRun* FindTutorial(const str& name) const;
    int GetStartCount() const { return mStartCount; }
    GTutorialTimer* GetTimer() const { return mTimer; }
    const std::list<std::pair<GTutorialRun*, GGameObject*>>& GetPending() const { return mPending; }
    const std::map<str, std::unique_ptr<GTutorialRun>>& GetTutorials() const { return mTutorials; }
    TScript* FindSetScript(const str& set) const;
    // The Lua functions of the set scripts and of the main window script
    // (GTutorialProcessorScript.cpp).
    static void PublishSetFunctions(lua_State* state);
    void PublishMainFunctions();
    void CPP_StopTutorial(bool keep) { StopTutorial(keep); }
    void CPP_SkipTutorial() { SkipTutorial(); }

private:
    using GTriggers = std::multimap<str, GTutorialInitor*>;

    // The first initor under the key whose conditions hold starts its tutorial with the object.
    void Trigger(const GTriggers& triggers, const str& key, GGameObject* object);
    // With a tutorial shown the event goes to its closing condition; else to the action triggers.
    void OnAction(GGameObject* object, const str& event);
    void DetachTimer();
    // Nothing of the tutorial may be reached from the waiting list any more.
    void DropPending(const GTutorialRun* run);
    // Destroys the tutorial: stopped when shown, out of the waiting list and the triggers.
    void DestroyTutorial(std::map<str, std::unique_ptr<GTutorialRun>>::iterator it);
    void ReadSet(TLuaTable& tutorials, const str& setName);
    static bool IsWaiting(const GTutorialRun* run);

    std::map<str, std::unique_ptr<TScript>> mSetScripts;
    std::vector<std::pair<str, GTutorialRun*>> mLinkRequests;
    GTutorialTimer* mTimer = nullptr;
    bool mLevelBlocked = false;
    GTriggers mWishTriggers;
    GTriggers mActionTriggers;
    GTriggers mCreationTriggers;
    std::list<std::pair<GTutorialRun*, GGameObject*>> mPending;
    bool mLoaded = false;
    bool mReading = false;
    std::map<str, std::unique_ptr<GTutorialRun>> mTutorials;
    bool mSkipAll = false;
    GTutorialRun* mCurrent = nullptr;
    bool mStopping = false;
    int32_t mStartCount = 0;
    // The main script the functions were published in.
    lua_State* mPublished = nullptr;
};

// Runs a Lua text in the script at the second pass of the platform's main task list, outside the
// handling that asked for it. Owned by that list.
class GAdjournLuaCommand : public TTask {
public:
    // Adds itself to the platform's main task list.
    GAdjournLuaCommand(const str& text, TScript* script);
    bool DoTask() override;

private:
    str mText;
    bool mArmed = false;
    // Not owned: run only while it is still the window script.
    TScript* mScript;
};
