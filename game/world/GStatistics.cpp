#include "game/world/GStatistics.h"

#include "engine/core/log.h"
#include "engine/core/qzhiscores.h"
#include "engine/core/settings.h"
#include "engine/system/platform.h"
#include "game/common/GUserManager.h"
#include "game/common/WindowScriptState.h"
#include "game/world/GPlayerInfo.h"
#include "game/world/GStatisticsScript.h"
#include "game/world/ScriptCall.h"

namespace {

constexpr char kGameName[] = "VorlaneMarivell";
constexpr char kVariant[] = "main";
constexpr char kVersion[] = "1.0.0.22";
constexpr int32_t kApi = 1;

// The LevelStatistic kinds.
enum : int32_t { kStarts = 1, kLost = 2, kWon = 3, kSeconds = 4 };

// Seconds since the program started.
int32_t Now() {
    return static_cast<int32_t>(TPlatform::GetTime() / 1000U);
}

// A query value with every byte but the unreserved ones percent-encoded, so that a blank or "&" in
// a text can neither break the request nor add a key to it.
str UrlEncoded(const str& text) {
    static const char kHex[] = "0123456789ABCDEF";
    str encoded;
    for (int i = 0; i < text.Length(); ++i) {
        const auto byte = static_cast<unsigned char>(text[static_cast<unsigned>(i)]);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' ||
            byte == '~') {
            encoded += static_cast<char>(byte);
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 15];
        }
    }
    return encoded;
}

} // namespace

GStatistics* GStatistics::Instance() {
    static GStatistics instance;
    instance.PublishIfMissing();
    return &instance;
}

GStatistics::GStatistics() {
    mRandom.Seed(TPlatform::GetTime());
    PublishIfMissing();
}

GStatistics::~GStatistics() {
    WithdrawFromWindowScript(this, mScriptState);
}

void GStatistics::PublishIfMissing() {
    mScriptState = PublishIfMissingIn(mScriptState, kStatisticsProbe,
                                      [this](lua_State* state) { PublishStatistics(state, this); });
}

bool GStatistics::IsReporting() {
    if (mReporting == 0) {
        TScript* script = WindowScript();
        if (script == nullptr) {
            return false;
        }
        mReporting = script->GetGlobalNumber("gSendReport") == 1.0 ? 1 : -1;
    }
    return mReporting == 1;
}

void GStatistics::CPP_StatisticOnGameSessionStart() {
    mSessionActive = true;
    if (!IsReporting()) {
        return;
    }
    ResetRecords();
    // 1 to 2147483646.
    mStartGame.session = static_cast<int32_t>(RandomUnitReal(mRandom) * 2147483646.0) + 1;
    mStartGame.time = Now();
    mStartGame.name = kGameName;
    mStartGame.variant = kVariant;
    TScript* script = WindowScript();
    mStartGame.version =
        str(kVersion) +
        (script != nullptr ? script->GetGlobalString("gGameVersionPostfix") : str());
    mStartGame.api = kApi;
}

void GStatistics::CPP_StatisticOnGameStart() {
    mStartGame.id = GPlayerInfo::Instance()->GetUserValue("uniq_id", 0);
    SendStartGameReport(mStartGame);
}

bool GStatistics::CPP_StatisticOnSessionEnd(int score) {
    mSessionActive = false;
    GUserManager* users = GetUserManager();
    if (score > 0 && users != nullptr && users->GetHiscores() != nullptr) {
        users->GetHiscores()->AddLocalScore(score, true, nullptr, nullptr);
    }
    return IsReporting();
}

void GStatistics::CPP_StatisticOnPause(bool paused) {
    if (!IsReporting() || paused == mPaused) {
        return;
    }
    mPaused = paused;
    if (paused) {
        mPauseStart = Now();
    } else {
        mPauseEnd = Now();
        mPauseTotal += mPauseEnd - mPauseStart;
    }
}

void GStatistics::OnLevelStart(int level) {
    mLevelActive = true;
    mPauseTotal = 0;
    if (!IsReporting()) {
        return;
    }
    mEndLevel.id = mStartGame.id;
    mEndLevel.session = mStartGame.session;
    mEndLevel.level = level;
    mEndLevel.btime = Now() - mStartGame.time;
    mEndLevel.bscore = GPlayerInfo::Instance()->GetTotalScore();
    mEndLevel.prevtime = CallLevelStatistic(level, kSeconds, 0);
    CallLevelStatistic(level, kStarts, 1);
}

void GStatistics::OnLevelEnd(int cause) {
    mLevelActive = false;
    if (!IsReporting()) {
        return;
    }
    const int level = mEndLevel.level;
    if (cause == kLevelLost) {
        CallLevelStatistic(level, kLost, 1);
    } else if (cause == kGoalReached) {
        CallLevelStatistic(level, kWon, 1);
    }
    mEndLevel.etime = Now() - mStartGame.time;
    mEndLevel.escore = GPlayerInfo::Instance()->GetTotalScore();
    mEndLevel.endcause = cause;
    mEndLevel.pausetime = mPauseTotal;
    mEndLevel.misc3 = CallLevelStatistic(level, kStarts, 0);
    mEndLevel.misc1 = CallLevelStatistic(level, kWon, 0);
    mEndLevel.misc2 = CallLevelStatistic(level, kLost, 0);
    ScriptCallInt4(WindowScript(), "LevelStatistic", level, kSeconds, 1,
                   mEndLevel.etime - mEndLevel.btime - mPauseTotal);
    GPlayerInfo::Instance()->Save();
    SendEndLevelReport(mEndLevel);
}

void GStatistics::ResetRecords() {
    mStartGame = GStartGameRecord();
    mEndLevel = GEndLevelRecord();
}

int GStatistics::CallLevelStatistic(int level, int kind, int flag) {
    return ScriptCallInt4(WindowScript(), "LevelStatistic", level, kind, flag, 1);
}

void GStatistics::SendStartGameReport(const GStartGameRecord& record) {
    Send(str::FromFormat(
        "/gametrack/Track?cmd=startgame&id=%d&session=%d&time=%d&name=%s&var=%s&ver=%s&api=%d",
        record.id, record.session, record.time, UrlEncoded(record.name).CStr(),
        UrlEncoded(record.variant).CStr(), UrlEncoded(record.version).CStr(), record.api));
}

void GStatistics::SendEndLevelReport(const GEndLevelRecord& record) {
    Send(str::FromFormat("/gametrack/Track?cmd=endlevel&id=%d&session=%d&level=%d&btime=%d&"
                         "etime=%d&bscore=%d&escore=%d&blives=0&elives=0&endcause=%d&prevtime=%d&"
                         "pausetime=%d&misc1=%d&misc2=%d&misc3=%d",
                         record.id, record.session, record.level, record.btime, record.etime,
                         record.bscore, record.escore, record.endcause, record.prevtime,
                         record.pausetime, record.misc1, record.misc2, record.misc3));
}

void GStatistics::Send(const str& pathAndQuery) {
    const str host = GetSetting("trackserver");
    if (host.Length() == 0) {
        Log("GStatistics: no trackserver, not sent: %s", pathAndQuery.CStr());
        return;
    }
    const str url = str("http://") + host + pathAndQuery;
    mHttp.SetRequest(url.CStr(), false, nullptr);
    mHttp.Send(kHttpNoCacheWrite);
}
