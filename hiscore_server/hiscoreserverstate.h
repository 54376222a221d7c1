// THiscoreServerState: everything behind one local hiscore server handle: the configuration
// (game name, key, table names, accounts), the score and medal lists of each game mode and the
// last reply. Owned by its handle (hiscoreserver.cpp); a handle is used by one thread at a time.
// The files serverdef.txt and serverdata.txt live in the process's current folder and are shared
// by every handle.
#pragma once

#include "engine/core/str.h"
#include "platform/win32/wintypes.h"

#include <map>
#include <vector>

struct THiscoreScoreRow {
    int rank = 0;
    int score = 0;
    str name;
    str gameData;
    str version;
    bool anonymous = false;
    int serverID = 0;
    str uid;
};

struct THiscoreMedalRow {
    str medal_handle;
    str name;
    bool anonymous = false;
    int serverID = 0;
};

class THiscoreServerState {
public:
    enum TRequestKind : int {
        kNoRequest = 0,
        kCategories = 1,
        kScores = 2,
        kSubmission = 3,
    };

    // Configuration. Text arguments may be null and then read as empty.
    void SetServerInfo(const char* gameHandle, const char* key, const char* const* modes,
                       int modeCount);
    void LoadServerDefFile();

    // Requests: each replaces the reply and restarts the one-second delay.
    void RequestCategoryInformation();
    void RequestScores(const char* gameHandle, const char* mode, const char* table,
                       const char* playerName);
    void SubmitScore(const char* gameHandle, const char* mode, const char* user,
                     const char* password, const char* uid, const char* version,
                     const char* gameData, int score, const char* key);
    void SubmitMedals(const char* gameHandle, const char* mode, const char* user,
                      const char* password, const char* key);

    // Gives the generic error when a request left no reply (it failed half-way).
    void EnsureReply();

    // 1 once 1000 ms have passed since the last request, else 0 (also before any request).
    int GetStatus() const;
    // The reply text; valid until the next request.
    const char* GetContents() const { return mReply.CStr(); }

    // The two files, in the current folder.
    void ReadServerDef();
    void ReadServerData();
    // False when the file could not be written; the rows in memory stay either way.
    bool WriteServerData() const;

private:
    using TScoreList = std::vector<THiscoreScoreRow>;
    using TMedalList = std::vector<THiscoreMedalRow>;

    void BeginRequest(TRequestKind kind);
    void DefineMode(const str& mode);
    bool IsModeDefined(const str& mode) const;
    // Runs the game handle, mode and key checks shared by both submissions; on a failure the
    // error reply is set and false returned.
    bool CheckSubmission(const char* gameHandle, const char* mode, const char* key);
    bool IsValidAccount(const char* user, const char* password) const;
    str BuildServerData() const;

    str mGameName;
    str mKey;
    TRequestKind mRequestKind = kNoRequest;
    DWORD mRequestTime = 0;
    str mReply;
    std::vector<str> mTableNames;
    std::map<str, str> mUsers;
    std::map<str, TScoreList> mScores;
    std::map<str, TMedalList> mMedals;
    // Rows that serverdata.txt holds for modes this configuration does not define: not served,
    // but written back so that a changed serverdef.txt never erases stored scores.
    std::map<str, TScoreList> mKeptScores;
    std::map<str, TMedalList> mKeptMedals;
    // Length of the last data text built, to size the next one's buffer at once.
    mutable int mDataSizeHint = 0;
};
