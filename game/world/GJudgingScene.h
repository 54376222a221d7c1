// The judges' stand, the last station of a girl: it lets the next waiting girl in when its type
// script asks for her (while "check_enter_delay" is above 0) and starts her "judging_scene", counts
// the girls of one judging kind judged in a row for the combo bonus, and shows the judges' visual.
// Its timer is held while the player carries something. The level owns it; it owns the judges'
// visual. Main thread only.
#pragma once

#include "game/world/GGameObject.h"

#include <memory>
#include <vector>

class GJudgingScene : public GGameObject {
public:
    static int sClassId;

    GJudgingScene();
    ~GJudgingScene() override;

    // The triggers run only while the scene is not held.
    bool OnTimer() override;
    bool IsKindOf(int classId) const override {
        return classId == sClassId || GGameObject::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GJudgingScene"; }
    int GetClassId() const override { return sClassId; }
    GGameObject* Clone() const override;
    // Reads "point_landing", "enter_scene_delay", "score_combo", "judges_delta" and "xml_judges"
    // (preloaded).
    bool InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) override;
    // Publishes "CPP_EnterDelayRequest"; the judges' visual stands at the position plus the
    // judges' offset.
    bool InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                     GLevel* level) override;
    // Then "show".
    void StartGame() override;
    // The girl leaves her holder and stands at the landing point; 0 for no girl or without a
    // visual.
    int TakeObject(GGameObject* girl) override;
    GGameObject* GetOccupant() override { return Occupant(); }
    // A girl joins the game window's scene control. 1.
    int SetOccupant(GGameObject* girl) override;
    bool CanHold() const override { return true; }
    // The combo score of the current run (1-based by the combo count); 0 outside the scores.
    virtual int GetComboBonus();

    // How many girls may still come in; the script asks again after the enter delay.
    void SetEnterRequests(int count);
    // A judging ended: the next girl after the delay, or the judges go and the last event shows.
    void OnJudgingDone(int waiting);
    // The state on the judges' visual; its duration in ms, 0 without the visual.
    int SetJudgesState(const str& state);
    // "ShowLastEvent" (last event) of the main script when shown and known, else "HideLastEvent".
    void ShowLastEvent(bool show);
    void SetHold(bool hold) { mHold = hold; }
    bool IsHeld() const { return mHold; }

    // Lets the first waiting girl in (called by the type script).
    void CPP_EnterDelayRequest();

    int GetEnterRequests() const { return mEnterRequests; }
    int GetEnterDelay() const { return mEnterDelay; }
    // The first scene of the girl let in last: the kind of the running combo.
    const str& GetLastEvent() const { return mLastEvent; }
    int GetComboCount() const { return mComboCount; }
    const std::vector<int>& GetComboScores() const { return mComboScores; }
    GVObject* GetJudges() const { return mJudges.get(); }
    TVec2 GetLandingOffset() const { return mLanding; }

private:
    void SetCheckEnterDelay(int value);

    TVec2 mLanding;
    float mLandingZ = 0.0f;
    int32_t mEnterRequests = 0;
    int32_t mEnterDelay = 0;
    bool mHold = false;
    std::unique_ptr<GVObject> mJudges;
    str mJudgesPath;
    TVec2 mJudgesOffset;
    std::vector<int> mComboScores;
    str mLastEvent;
    int32_t mComboCount = 0;
};
