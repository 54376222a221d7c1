// The two files of the local hiscore server: serverdef.txt (configuration, only read) and
// serverdata.txt (scores and medals, read when configured and rewritten after a submission).
#include "hiscore_server/hiscoreserverstate.h"

#include "engine/core/xml.h"
#include "platform/win32/crtio.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace {

const char kServerDefName[] = "::./serverdef.txt";
const char kServerDataName[] = "::./serverdata.txt";
const char kServerDataPath[] = "./serverdata.txt";

THiscoreScoreRow ScoreRowFrom(TXmlNode& node) {
    THiscoreScoreRow row;
    row.rank = node.GetAttribute("rank").ToInt();
    row.score = node.GetAttribute("score").ToInt();
    row.name = node.GetAttribute("name");
    row.gameData = node.GetAttribute("gameData");
    row.version = node.GetAttribute("version");
    row.anonymous = node.GetAttribute("anonymous").ToInt() != 0;
    row.serverID = node.GetAttribute("serverID").ToInt();
    row.uid = node.GetAttribute("uid");
    return row;
}

THiscoreMedalRow MedalRowFrom(TXmlNode& node) {
    THiscoreMedalRow row;
    row.medal_handle = node.GetAttribute("medal_handle");
    row.name = node.GetAttribute("name");
    row.anonymous = node.GetAttribute("anonymous").ToInt() != 0;
    row.serverID = node.GetAttribute("serverID").ToInt();
    return row;
}

// Appends the "row" children of one list element to the list of its mode. The first element of a
// mode in this read replaces what the list held, so reading the file again never doubles rows.
template <typename TList, typename TRowFrom>
void ReadRows(TXmlNode& element, TList& list, std::set<str>& seen, const str& mode,
              TRowFrom rowFrom) {
    if (seen.insert(mode).second) {
        list.clear();
    }
    element.ResetChildren();
    str name;
    TXmlNode* child = nullptr;
    while (element.NextChild(name, child)) {
        if (name == str("row")) {
            list.push_back(rowFrom(*child));
        }
    }
}

// The data text, built at a running position in one buffer that grows by doubling.
struct TDataText {
    str mText;
    int mLength = 0;

    void Append(const char* text) {
        mLength = mText.WriteAt(mLength, text, static_cast<int>(std::strlen(text)), true);
    }
    void Append(const TXmlNode& element) { element.Write(mText, mLength, 0); }
};

void AddScoresElement(TDataText& text, const str& mode, const std::vector<THiscoreScoreRow>& rows) {
    TXmlNode scores("scores");
    scores.SetAttribute("gamemode", mode.CStr());
    for (const THiscoreScoreRow& row : rows) {
        TXmlNode* node = scores.AddChild("row");
        node->SetAttribute("rank", row.rank);
        node->SetAttribute("score", row.score);
        node->SetAttribute("name", row.name.CStr());
        node->SetAttribute("gameData", row.gameData.CStr());
        node->SetAttribute("version", row.version.CStr());
        node->SetAttribute("anonymous", row.anonymous ? 1 : 0);
        node->SetAttribute("serverID", row.serverID);
        node->SetAttribute("uid", row.uid.CStr());
    }
    text.Append(scores);
}

void AddMedalsElement(TDataText& text, const str& mode, const std::vector<THiscoreMedalRow>& rows) {
    TXmlNode medals("medals");
    medals.SetAttribute("gamemode", mode.CStr());
    for (const THiscoreMedalRow& row : rows) {
        TXmlNode* node = medals.AddChild("row");
        node->SetAttribute("medal_handle", row.medal_handle.CStr());
        node->SetAttribute("name", row.name.CStr());
        node->SetAttribute("anonymous", row.anonymous ? 1 : 0);
        node->SetAttribute("serverID", row.serverID);
    }
    text.Append(medals);
}

// Every mode of the live and the kept lists, in ascending name order; a live list wins.
template <typename TList>
void AddAllElements(TDataText& text, const std::map<str, TList>& live,
                    const std::map<str, TList>& kept,
                    void (*add)(TDataText&, const str&, const TList&)) {
    std::set<str> modes;
    for (const auto& entry : live) {
        modes.insert(entry.first);
    }
    for (const auto& entry : kept) {
        modes.insert(entry.first);
    }
    for (const str& mode : modes) {
        const auto list = live.find(mode);
        add(text, mode, list != live.end() ? list->second : kept.at(mode));
    }
}

// Creates a fresh, empty temporary file beside the target (same folder, so the rename stays on
// one file system) and gives its name; false when none could be made.
bool CreateTempFile(str& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = str::FromFormat("%s.%ld.%d.tmp", kServerDataPath, static_cast<long>(::getpid()),
                               attempt);
        const int fd = ::open(name.CStr(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

// Puts the file's bytes on the disk before it replaces the old data.
bool SyncFile(const str& name) {
    const int fd = ::open(name.CStr(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

void THiscoreServerState::ReadServerDef() {
    TXmlNode root;
    root.LoadFile(kServerDefName);
    if (TXmlNode* game = root.FindChild("game")) {
        mGameName = game->GetAttribute("name");
        mKey = game->GetAttribute("key");
    }
    root.ResetChildren();
    str name;
    TXmlNode* child = nullptr;
    while (root.NextChild(name, child)) {
        if (name == str("gamemode")) {
            DefineMode(child->GetAttribute("name"));
        } else if (name == str("table")) {
            mTableNames.push_back(child->GetAttribute("name"));
        } else if (name == str("user")) {
            mUsers[child->GetAttribute("name")] = child->GetAttribute("pass");
        }
    }
}

void THiscoreServerState::ReadServerData() {
    TXmlNode root;
    if (!root.LoadFile(kServerDataName)) {
        return;
    }
    std::set<str> seenScores;
    std::set<str> seenMedals;
    std::set<str> seenKeptScores;
    std::set<str> seenKeptMedals;
    // What the file holds for modes that are not defined replaces what was kept before.
    mKeptScores.clear();
    mKeptMedals.clear();
    root.ResetChildren();
    str name;
    TXmlNode* child = nullptr;
    while (root.NextChild(name, child)) {
        const bool isScores = name == str("scores");
        if (!isScores && !(name == str("medals"))) {
            continue;
        }
        const str mode = child->GetAttribute("gamemode");
        if (isScores) {
            if (auto list = mScores.find(mode); list != mScores.end()) {
                ReadRows(*child, list->second, seenScores, mode, ScoreRowFrom);
            } else {
                ReadRows(*child, mKeptScores[mode], seenKeptScores, mode, ScoreRowFrom);
            }
        } else {
            if (auto list = mMedals.find(mode); list != mMedals.end()) {
                ReadRows(*child, list->second, seenMedals, mode, MedalRowFrom);
            } else {
                ReadRows(*child, mKeptMedals[mode], seenKeptMedals, mode, MedalRowFrom);
            }
        }
    }
}

str THiscoreServerState::BuildServerData() const {
    TDataText text;
    // The file only grows by a row between writes: room for the last size and a little more
    // saves growing the buffer step by step.
    text.mText.Reserve(mDataSizeHint + 4096);
    text.Append("<?xml version=\"1.0\"?>\n");
    AddAllElements<std::vector<THiscoreScoreRow>>(text, mScores, mKeptScores, AddScoresElement);
    AddAllElements<std::vector<THiscoreMedalRow>>(text, mMedals, mKeptMedals, AddMedalsElement);
    mDataSizeHint = text.mLength;
    return text.mText;
}

bool THiscoreServerState::WriteServerData() const {
    const str text = BuildServerData();
    // Written beside the old file and renamed over it, so a failed write never leaves a
    // truncated serverdata.txt behind.
    str tempName;
    if (!CreateTempFile(tempName)) {
        return false;
    }
    // Text mode stores every line feed as a carriage return and a line feed; the text goes out
    // with its terminating NUL.
    bool ok = false;
    if (crt::FILE* file = crt::fopen(tempName.CStr(), "wt")) {
        const size_t size = static_cast<size_t>(text.Length()) + 1;
        ok = crt::fwrite(text.CStr(), 1, size, file) == size;
        ok = crt::fclose(file) == 0 && ok;
    }
    ok = ok && SyncFile(tempName);
    if (ok && std::rename(tempName.CStr(), kServerDataPath) == 0) {
        return true;
    }
    ::unlink(tempName.CStr());
    return false;
}
