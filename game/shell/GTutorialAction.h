// The step of a tutorial: the tutorial window that shows it with its message, pictures, position
// and arrows at target objects, whether it pauses the game and which objects stay usable, its
// skip button and its closing condition. Owned by its tutorial; main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/shell/TClickListener.h"
#include "game/world/GTutorialComponent.h"

#include <cstdint>
#include <memory>
#include <vector>

class GGameObject;
class GTutorialCloseTriger;
class GTutorialFilter;

class GTutorialAction : public GTutorialComponent, public TClickListener {
public:
    GTutorialAction();
    ~GTutorialAction() override;
    GTutorialAction(const GTutorialAction&) = delete;
    GTutorialAction& operator=(const GTutorialAction&) = delete;

    bool Load(TLuaTable* table, GTutorialRun* owner) override;
    // The skip button: "SkipTutorial();" in the main window script, a little later.
    void OnClick() override;

    // Opens the step in its window; a window that does not exist finishes the tutorial.
    void Show();
    // Whether a click on the object may proceed while the step shows.
    bool IsTarget(GGameObject* object);

    GTutorialCloseTriger* GetCloseTrigger() const { return mCloseTrigger.get(); }
    bool IsStop() const { return mStop; }
    bool IsSkipeable() const { return mSkipeable; }
    const str& GetMessage() const { return mMsg; }
    const str& GetWindow() const { return mWindow; }
    int GetTransferring() const { return mTransferring; }
    int GetOrderBlock() const { return mOrderBlock; }
    int GetOrderIndex() const { return mOrderIndex; }
    int GetPositionTargetBits() const { return mPositionTargetBits; }
    const std::vector<std::unique_ptr<GTutorialFilter>>& GetTargets() const { return mTargets; }
    size_t GetWorkingNotBlockCount() const { return mNotBlock.size(); }

private:
    // Reads a filter table, or -1 for the start object; null for anything else.
    std::unique_ptr<GTutorialFilter> ReadFilter(TLuaTable& list, double index);
    std::unique_ptr<GTutorialFilter> MakeFilter(TLuaTable* table, bool startObject);

    str mMsg;
    str mBg;
    str mImage;
    int32_t mTransferring = 0;
    // The working list (filters of the declared list, refilled each time the step opens) and the
    // declared list.
    std::vector<const GTutorialFilter*> mNotBlock;
    std::vector<std::unique_ptr<GTutorialFilter>> mDeclaredNotBlock;
    bool mFixedSkipButton = false;
    str mSkipButtonId;
    int32_t mOrderIndex = 0;
    str mWindow;
    std::vector<std::unique_ptr<GTutorialFilter>> mTargets;
    int32_t mHideArrows = 0;
    bool mHasNotBlock = false;
    bool mStop = false;
    std::unique_ptr<GTutorialCloseTriger> mCloseTrigger;
    bool mSkipeable = true;
    int32_t mPositionX = 0;
    int32_t mPositionY = 0;
    int32_t mPositionTargetBits = 0;
    int32_t mDelay = 0;
    int32_t mOrderBlock = 0;
};
