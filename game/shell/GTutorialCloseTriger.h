// The closing condition of a tutorial step: a time, an OK button, a sequence of game events or a
// sequence of clicks on named objects. Owned by the step; main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/shell/TClickListener.h"
#include "game/world/GTutorialComponent.h"

#include <cstdint>
#include <set>
#include <vector>

class GGameObject;

class GTutorialCloseTriger : public GTutorialComponent, public TClickListener {
public:
    // False when it names none of "timer", "button", "action" or "click".
    bool Load(TLuaTable* table, GTutorialRun* owner) override;
    // The OK button: "StopTutorial(false);" in the main window script, a little later.
    void OnClick() override;

    // The step opened now.
    void Start();
    // The next click step names the object: the tutorial finishes after the last.
    void OnObjectClick(GGameObject* object);
    // The next expected event is this one: the tutorial finishes after the last.
    void OnEvent(GGameObject* object, const str& name);
    // The timer ran out at this platform time.
    bool IsTimeUp(uint32_t now) const;

    bool HasButton() const { return mButton.Length() != 0; }
    const str& GetButton() const { return mButton; }
    int GetTimer() const { return mTimer; }
    // In the order they are expected.
    const std::vector<str>& GetActionNames() const { return mActionNames; }
    const std::vector<std::set<str>>& GetClickSteps() const { return mClickSteps; }
    int GetClickIndex() const { return mClickIndex; }
    int GetActionIndex() const { return mActionIndex; }

private:
    void FinishTutorial();

    int32_t mTimer = 0;
    uint32_t mStartTime = 0;
    std::vector<str> mActionNames;
    str mButton;
    std::vector<std::set<str>> mClickSteps;
    int32_t mClickIndex = 0;
    int32_t mActionIndex = 0;
};
