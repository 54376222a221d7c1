// One tutorial: its start condition, its step and what follows it, the object whose event started
// it, whether it is shown or finished, and its links with the tutorials its start condition
// names. Owned by the tutorial processor; main thread only.
#pragma once

#include "engine/core/str.h"

#include <map>
#include <memory>
#include <set>

class GGameObject;
class GTutorialAction;
class GTutorialInitor;
class GTutorialProcessor;
class TLuaTable;

class GTutorialRun {
public:
    GTutorialRun(GTutorialProcessor* processor, const str& name, const str& setName);
    // Unlinks itself from every linked tutorial first.
    ~GTutorialRun();
    GTutorialRun(const GTutorialRun&) = delete;
    GTutorialRun& operator=(const GTutorialRun&) = delete;

    // Reads the definition: false without a valid "message".
    bool Load(TLuaTable& definition);

    // Ends the shown step: window closed; unless keep, the level objects blocked or freed and
    // next_tutorial started; then the processor stops it. Nothing unless running.
    void Finish(bool keep);

    // The slot (a link of the initor) receives the tutorial of that name once links resolve.
    void AddLinkSlot(const str& name, GTutorialRun** slot);
    // Both enter each other's linked set and fill each other's slots; once.
    void Link(GTutorialRun* other);

    GTutorialProcessor* GetProcessor() const { return mProcessor; }
    const str& GetName() const { return mName; }
    const str& GetSetName() const { return mSetName; }
    GTutorialInitor* GetInitor() const { return mInitor.get(); }
    GTutorialAction* GetAction() const { return mAction.get(); }
    GGameObject* GetStartObject() const { return mStartObject; }
    void SetStartObject(GGameObject* object) { mStartObject = object; }
    // Filters read the start object through it.
    GGameObject* const* StartObjectSlot() const { return &mStartObject; }
    bool IsFinished() const { return mFinished; }
    void SetFinished(bool finished) { mFinished = finished; }
    bool IsRunning() const { return mRunning; }
    void SetRunning(bool running) { mRunning = running; }
    bool HasPostBlock() const { return mPostBlock; }
    const str& GetNextTutorial() const { return mNextTutorial; }
    const std::set<GTutorialRun*>& GetLinked() const { return mLinked; }

private:
    void Unlink(GTutorialRun* other);

    // Addresses of link members of the initor, by the name they wait for.
    std::multimap<str, GTutorialRun**> mLinkSlots;
    // Not owned.
    std::set<GTutorialRun*> mLinked;
    std::unique_ptr<GTutorialInitor> mInitor;
    std::unique_ptr<GTutorialAction> mAction;
    GTutorialProcessor* mProcessor;
    str mName;
    str mSetName;
    // Not owned: a level object; the processor clears it when the object leaves.
    GGameObject* mStartObject = nullptr;
    bool mFinished = false;
    bool mRunning = false;
    bool mPostBlock = false;
    str mNextTutorial;
};
