// Follows a play session: per-level counters kept by the main script's "LevelStatistic", and, when
// the main script's "gSendReport" is 1, tracking requests at a game's start and each level's end;
// at a session's end the player's score goes into the local hiscore table. The game uses the one
// instance, built on first use (the game main builds it early) and destroyed when the process
// ends; it keeps "CPP_StatisticOnGameSessionStart", "CPP_StatisticOnGameStart",
// "CPP_StatisticOnSessionEnd" and "CPP_StatisticOnPause" published in the window script. Another
// object (a test's) publishes its own functions over them while it lives. Main thread only; each
// request runs on a thread of the HTTP client's.
#pragma once

#include "engine/core/random.h"
#include "engine/core/simplehttp.h"
#include "engine/core/str.h"

#include <cstdint>

struct lua_State;

class GStatistics {
public:
    // Why a level ended.
    enum : int32_t { kLevelLost = 0, kGoalReached = 1, kLevelReset = 2 };

    // The instance, built on first use; its Lua functions are in the window script once this
    // returns.
    static GStatistics* Instance();

    // Seeds the generator with the platform time and publishes the Lua functions.
    GStatistics();
    // Withdraws the Lua functions from the window script they were published in, while it lives;
    // a request still running finishes on its own thread.
    ~GStatistics();
    GStatistics(const GStatistics&) = delete;
    GStatistics& operator=(const GStatistics&) = delete;

    // The statistics' own generator; player ids and session numbers are drawn from it.
    TRandom& GetRandom() { return mRandom; }

    // Whether tracking reports are sent: the main script's "gSendReport" is the number 1. Read
    // the first time a window script is there to ask, and kept for the object's life.
    bool IsReporting();
    bool IsSessionActive() const { return mSessionActive; }
    bool IsLevelActive() const { return mLevelActive; }

    // A session begins; with reporting on, a new session number and the start-game record.
    void CPP_StatisticOnGameSessionStart();
    // The current player's id, then the start report, whether reporting is on or not.
    void CPP_StatisticOnGameStart();
    // The session ends; a score above 0 is filed in the local hiscore table for the current
    // player (when there is a user manager). Answers IsReporting.
    bool CPP_StatisticOnSessionEnd(int score);
    // "CPP_StatisticOnSessionEnd" as the scripts call it: the answer is not theirs.
    void EndSessionFromScript(int score) { CPP_StatisticOnSessionEnd(score); }
    // With reporting on, play pauses (true) or goes on: a resume adds the time since the pause
    // began to the level's pause total, once; a pause while paused keeps the first start.
    void CPP_StatisticOnPause(bool paused);

    // A level built for play starts.
    void OnLevelStart(int level);
    // The level ends (kLevelLost, kGoalReached or kLevelReset): counters, the progress saved and
    // the end report.
    void OnLevelEnd(int cause);

    // The start-game record to zeros and empty texts, the end-level values to 0.
    void ResetRecords();
    // The main script's "LevelStatistic" (level, kind, flag, 1) read as an integer.
    int CallLevelStatistic(int level, int kind, int flag);

private:
    struct GStartGameRecord {
        int32_t id = 0;
        int32_t session = 0;
        // Seconds since the program started.
        int32_t time = 0;
        str name;
        str variant;
        str version;
        int32_t api = 0;
    };

    // Sent in this order.
    struct GEndLevelRecord {
        int32_t id = 0;
        int32_t session = 0;
        int32_t level = 0;
        // Seconds since the session started.
        int32_t btime = 0;
        int32_t etime = 0;
        int32_t bscore = 0;
        int32_t escore = 0;
        int32_t endcause = 0;
        int32_t prevtime = 0;
        int32_t pausetime = 0;
        int32_t misc1 = 0;
        int32_t misc2 = 0;
        int32_t misc3 = 0;
    };

    void SendStartGameReport(const GStartGameRecord& record);
    void SendEndLevelReport(const GEndLevelRecord& record);
    // "http://" + the setting "trackserver" + path and query, sent without caching the answer,
    // which is never read; without a server the request is only logged.
    void Send(const str& pathAndQuery);
    // Publishes the Lua functions again when the window script lacks them.
    void PublishIfMissing();

    bool mSessionActive = false;
    bool mLevelActive = false;
    // 0 not yet known, 1 on, -1 off.
    int32_t mReporting = 0;
    bool mPaused = false;
    // Seconds.
    int32_t mPauseStart = 0;
    int32_t mPauseEnd = 0;
    int32_t mPauseTotal = 0;
    GStartGameRecord mStartGame;
    GEndLevelRecord mEndLevel;
    TSimpleHttp mHttp;
    TRandom mRandom;
    // The state the Lua functions were published in; null when there was no window script.
    lua_State* mScriptState = nullptr;
};
