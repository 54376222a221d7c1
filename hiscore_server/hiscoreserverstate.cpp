#include "hiscore_server/hiscoreserverstate.h"

#include "engine/core/xml.h"
#include "platform/win32/mmsystem.h"

#include <algorithm>
#include <utility>

namespace {

constexpr DWORD kReplyDelayMs = 1000;

const char kXmlHeader[] = "<?xml version=\"1.0\"?>\n";

const char kTableListReply[] = "<?xml version=\"1.0\"?>\n"
                               "<hiscore>\n"
                               "<tables game=\"blah\" >\n"
                               "<table table=\"daily\" name=\"Last 24 Hours\"/>\n"
                               "<table table=\"weekly\" name=\"This Week\"/>\n"
                               "<table table=\"monthly\" name=\"This Month\"/>\n"
                               "<table table=\"alltime\" name=\"All Time\"/>\n"
                               "</tables>\n"
                               "</hiscore>";

const char kBadAccountReply[] = "<?xml version=\"1.0\"?>\n"
                                "<hiscore>\n"
                                "<message errorType=\"hiscore.error.invalidUsernameOrPassword\">"
                                "The username and password you supplied was invalid.</message>\n"
                                "</hiscore>";

const char kScoreKeptReply[] = "<?xml version=\"1.0\"?>\n<hiscore>\n</hiscore>\n";

const char kScoreStoredReply[] =
    "<?xml version=\"1.0\"?>\n"
    "<hiscore>\n"
    "<score id=\"123\" name=\"bs\" anonymous=\"true\" score=\"1239123\" />\n"
    "</hiscore>";

const char kMedalsAcceptedReply[] = "<?xml version=\"1.0\"?>\n"
                                    "<hiscore>\n"
                                    "<medals count=\"5\"/>\n"
                                    "</hiscore>";

const char kInvalidParameters[] = "2: Invalid parameters passed in";
const char kMissingType[] = "2: Missing required parameter: type";

// Stands in for the server's key in the key error: a caller that guesses wrong must not be told
// the right one.
const char kHiddenKey[] = "********";

const char* Text(const char* text) {
    return text ? text : "";
}

// Caller and configuration texts go into the reply through the XML escape, so a value holding
// markup cannot change the reply's structure.
str Escaped(const char* text) {
    return XmlEscape(Text(text));
}

str ErrorReply(const str& message) {
    return str("<?xml version=\"1.0\"?>\n<hiscore>\n<protocolError>") + message +
           str("</protocolError>\n</hiscore>");
}

str GameHandleError(const char* given, const str& expected) {
    return ErrorReply(str(kInvalidParameters) + str(": Game handle is ") + Escaped(given) +
                      str(" but serverdef.txt says it is ") + Escaped(expected.CStr()));
}

str ModeError(const char* mode) {
    return ErrorReply(str(kInvalidParameters) + str(": Game mode ") + Escaped(mode) +
                      str(" is not defined in serverdef.txt"));
}

str KeyError(const char* given) {
    return ErrorReply(str(kInvalidParameters) + str(": Encryption key is ") + Escaped(given) +
                      str(" but serverdef.txt says it is ") + str(kHiddenKey));
}

} // namespace

void THiscoreServerState::BeginRequest(TRequestKind kind) {
    mRequestKind = kind;
    mRequestTime = timeGetTime();
    mReply = str();
}

void THiscoreServerState::EnsureReply() {
    if (mRequestKind != kNoRequest && mReply.Length() == 0) {
        mReply = ErrorReply(str(kInvalidParameters));
    }
}

int THiscoreServerState::GetStatus() const {
    if (mRequestKind == kNoRequest) {
        return 0;
    }
    // The elapsed time as an unsigned difference stays right across the 32-bit wrap of the clock.
    const DWORD elapsed = timeGetTime() - mRequestTime;
    return elapsed >= kReplyDelayMs ? 1 : 0;
}

void THiscoreServerState::DefineMode(const str& mode) {
    // A mode defined again starts over with empty lists. Rows kept for a mode the data file knew
    // but the configuration did not become the new mode's rows: they were never served, and the
    // data file that is read next replaces them anyway.
    TScoreList scores;
    TMedalList medals;
    if (auto kept = mKeptScores.find(mode); kept != mKeptScores.end()) {
        scores = std::move(kept->second);
        mKeptScores.erase(kept);
    }
    if (auto kept = mKeptMedals.find(mode); kept != mKeptMedals.end()) {
        medals = std::move(kept->second);
        mKeptMedals.erase(kept);
    }
    mScores[mode] = std::move(scores);
    mMedals[mode] = std::move(medals);
}

bool THiscoreServerState::IsModeDefined(const str& mode) const {
    return mScores.find(mode) != mScores.end();
}

void THiscoreServerState::SetServerInfo(const char* gameHandle, const char* key,
                                        const char* const* modes, int modeCount) {
    mGameName = str(Text(gameHandle));
    mKey = str(Text(key));
    if (modes) {
        for (int i = 0; i < modeCount; ++i) {
            DefineMode(str(Text(modes[i])));
        }
    }
    for (const char* table : {"daily", "weekly", "monthly", "alltime"}) {
        mTableNames.emplace_back(table);
    }
    mUsers[str("testname")] = str("yarrowit");
    mUsers[str("testname2")] = str("yarrowit7");
    ReadServerData();
}

void THiscoreServerState::LoadServerDefFile() {
    ReadServerDef();
    ReadServerData();
}

void THiscoreServerState::RequestCategoryInformation() {
    BeginRequest(kCategories);
    mReply = str(kTableListReply);
}

void THiscoreServerState::RequestScores(const char* gameHandle, const char* mode, const char* table,
                                        const char* playerName) {
    BeginRequest(kScores);
    const str modeName(Text(mode));
    const str tableName(Text(table));
    if (!(str(Text(gameHandle)) == mGameName)) {
        mReply = GameHandleError(gameHandle, mGameName);
        return;
    }
    if (!IsModeDefined(modeName)) {
        mReply = table ? ErrorReply(str(kMissingType)) : ModeError(mode);
        return;
    }
    if (std::find(mTableNames.begin(), mTableNames.end(), tableName) == mTableNames.end()) {
        mReply = ErrorReply(str(kInvalidParameters));
        return;
    }

    const str player(Text(playerName));
    TXmlNode hiscore("hiscore");
    TXmlNode* scores = hiscore.AddChild("scores");
    scores->SetAttribute("game", Text(gameHandle));
    scores->SetAttribute("type", modeName.CStr());
    scores->SetAttribute("table", tableName.CStr());
    scores->SetAttribute("offset", "0");
    for (const THiscoreScoreRow& row : mScores[modeName]) {
        TXmlNode* score = scores->AddChild("score");
        score->SetAttribute("id", row.serverID);
        score->SetAttribute("name", row.name.CStr());
        score->SetAttribute("anonymous", row.anonymous ? "true" : "false");
        score->SetAttribute("score", row.score);
        score->SetAttribute("rank", row.rank);
        score->SetAttribute("guid", row.uid.CStr());
        score->SetAttribute("data", row.gameData.CStr());
        score->SetAttribute("ver", row.version.CStr());
        if (playerName && row.name == player && !row.anonymous) {
            score->SetAttribute("account", "true");
        }
    }
    mReply = str(kXmlHeader) + hiscore.ToString();
}

bool THiscoreServerState::CheckSubmission(const char* gameHandle, const char* mode,
                                          const char* key) {
    if (!(str(Text(gameHandle)) == mGameName)) {
        mReply = GameHandleError(gameHandle, mGameName);
        return false;
    }
    if (!IsModeDefined(str(Text(mode)))) {
        mReply = ModeError(mode);
        return false;
    }
    if (!(str(Text(key)) == mKey)) {
        mReply = KeyError(key);
        return false;
    }
    return true;
}

bool THiscoreServerState::IsValidAccount(const char* user, const char* password) const {
    const auto account = mUsers.find(str(Text(user)));
    return account != mUsers.end() && account->second == str(Text(password));
}

void THiscoreServerState::SubmitScore(const char* gameHandle, const char* mode, const char* user,
                                      const char* password, const char* uid, const char* version,
                                      const char* gameData, int score, const char* key) {
    BeginRequest(kSubmission);
    // A refused submission changes nothing, so serverdata.txt is left as it is.
    if (!CheckSubmission(gameHandle, mode, key)) {
        return;
    }
    const bool loggedIn = password && *password;
    if (loggedIn && !IsValidAccount(user, password)) {
        mReply = str(kBadAccountReply);
        return;
    }

    TScoreList& rows = mScores[str(Text(mode))];
    const str name(Text(user));
    if (loggedIn) {
        for (const THiscoreScoreRow& row : rows) {
            if (!row.anonymous && row.name == name && row.score >= score) {
                mReply = str(kScoreKeptReply);
                return;
            }
        }
    }

    THiscoreScoreRow row;
    row.score = score;
    row.name = name;
    row.gameData = str(Text(gameData));
    row.version = str(Text(version));
    row.anonymous = !loggedIn;
    row.uid = str(Text(uid));
    rows.push_back(row);
    std::stable_sort(
        rows.begin(), rows.end(),
        [](const THiscoreScoreRow& a, const THiscoreScoreRow& b) { return a.score > b.score; });
    // Dense ranks: equal scores share a rank and the next score takes the following one.
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i == 0) {
            rows[i].rank = 1;
        } else {
            rows[i].rank = rows[i - 1].rank + (rows[i].score != rows[i - 1].score ? 1 : 0);
        }
    }
    mReply = str(kScoreStoredReply);
    WriteServerData();
}

void THiscoreServerState::SubmitMedals(const char* gameHandle, const char* mode, const char* user,
                                       const char* password, const char* key) {
    BeginRequest(kSubmission);
    if (!CheckSubmission(gameHandle, mode, key)) {
        return;
    }
    if (!password || !*password || !IsValidAccount(user, password)) {
        mReply = str(kBadAccountReply);
        return;
    }
    mReply = str(kMedalsAcceptedReply);
    WriteServerData();
}
