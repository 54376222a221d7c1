// The general logical scene: entries that objects fill by base type, name or class, and stages
// that start named tasks (or walks, for names beginning with '@') on the entries' objects and wait
// for them to end. Its hooks are global functions of the logical manager's scene script, each
// answering a number (0 stops). The pacifier and touch-up scenes are built on it. Main thread only.
#pragma once

#include "game/world/GBaseLogicalScene.h"

#include <memory>

class GLogicalScene : public GBaseLogicalScene {
public:
    // How an entry is matched: by base type, by class name, by object name.
    enum : int32_t { kBaseType = 0, kClassType = 1, kObjectName = 2 };

    struct GEntry {
        int32_t mKind = kBaseType;
        str mKey;
        int32_t mBlockOnBegin = 0;
    };
    struct GStage {
        std::vector<str> mTasks;
        str mOnBegin;
        str mOnEnd;
        std::vector<int32_t> mMustFree;
    };

    GLogicalScene();
    ~GLogicalScene() override;

    int OnTaskEnd(GGameObject* object, int reason) override;
    int CalcPath(GGameObject* object, int mode) override;
    const str& GetName() const override { return mName; }
    GGameObject* GetStudent() const override;
    int ShowNumbers(int number) override;
    bool InitFromTable(const str& name, TScript* script, TLuaTable* table) override;
    int BeginIfFull() override;
    int Close() override { return End(); }
    int StopAndClose() override;
    int StopTasks() override;
    GBaseLogicalScene* Clone(int number) const override;
    int CanAccept(GGameObject* object, bool undo) override;
    bool GetWalkMode() const override { return mWalkMode; }
    void SetWalkMode(bool flag) override { mWalkMode = flag; }
    int GetStageIndex() const override { return mStageIndex; }
    void FinishStage() override;
    bool OnLink(GGameObject* object, GGameObject* target) override;
    int AddObject(GGameObject* object) override;
    GGameObject* GetObject(int index) const override;
    int IndexOfObject(const GGameObject* object) const override;
    bool IsFull() const override;
    void ClearObjects() override;
    int Create() override;
    void OnDialogResult(int entry, int result, int poiseFactor) override;
    // Kind 1 starts the heroine's speed power at once; other kinds are the manager's powers.
    void OnChooseResult(int kind, int value) override;
    void SetHold(bool flag) override { mHold = flag; }
    bool IsHold() const override { return mHold; }
    int Retain() override;
    int Release() override;
    bool HasNextStage() const override;
    int Begin() override;
    int End() override;
    int BeginStage() override;
    void EndStage() override;
    void ForgetObject(const GGameObject* object) override;

    const std::vector<GEntry>& GetEntries() const { return mEntries; }
    const std::vector<GStage>& GetStages() const { return mStages; }
    int GetFilledCount() const { return mFilledCount; }
    int GetPendingTasks() const { return mPendingTasks; }
    int GetUseCount() const { return mUseCount; }
    int GetDialogResult() const { return mDialogResult; }
    int GetDialogPoiseFactor() const { return mDialogPoiseFactor; }
    const str& GetOnCreate() const { return mOnCreate; }
    const str& GetOnBegin() const { return mOnBegin; }
    const str& GetOnEnd() const { return mOnEnd; }

protected:
    // A new, empty scene of the same class, for Clone.
    virtual GLogicalScene* NewOfClass() const { return new GLogicalScene; }
    // The scene's hook with the arguments, this scene the manager's current scene meanwhile; 1
    // for an unnamed hook.
    template <typename... Args>
    int CallHook(const str& hook, const Args&... args);
    // The OnCreate hook and the stage test every class runs at creation: the hook's answer, or 0
    // after the scene closed itself.
    int RunOnCreate();
    // The game data's combo for the scene name and its group, to the scene's first girl.
    void GiveCombo();
    // The stage's hooks and tasks; 0 when the scene closed.
    int RunStage();
    // Unblocks and lets go of the object of the entry; the slot is emptied, the count stays.
    // False when the scene is gone meanwhile.
    bool FreeEntry(int index);
    // Unblocks and lets go of every filled object except the one of the entry given; false when
    // the scene is gone meanwhile.
    bool ReleaseObjects(int except, bool unblock);
    // The end every class shares after its objects went: OnEnd, then the manager destroys it.
    int FinishEnd();
    // Whether the scene still exists after a call that may have ended it.
    std::shared_ptr<bool> Life() const { return mLife; }

    std::vector<GStage> mStages;
    std::vector<GEntry> mEntries;
    // Not owned; one per entry, null while it is empty.
    std::vector<GGameObject*> mObjects;
    str mName;
    int32_t mStageIndex = 0;
    // The logical manager's scene script; not owned.
    TScript* mScript = nullptr;
    str mOnCreate;
    str mOnBegin;
    str mOnEnd;
    int32_t mFilledCount = 0;
    int32_t mPendingTasks = 0;
    int32_t mDialogResult = 0;
    int32_t mDialogPoiseFactor = 0;
    bool mHold = false;
    int32_t mUseCount = 0;
    bool mWalkMode = false;
    // 2 Begin, 1 BeginStage: what waits for the use count to fall to 0.
    int32_t mDeferredAction = 0;

private:
    void CopyDefinition(GLogicalScene& copy) const;
    // Set false when the scene goes.
    std::shared_ptr<bool> mLife = std::make_shared<bool>(true);
};
