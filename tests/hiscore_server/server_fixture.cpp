#include "tests/hiscore_server/server_fixture.h"

#include "engine/core/xml.h"

namespace hiscore_test {

TServerApi LinkedApi() {
    TServerApi api;
    api.create = &HiscoreServer_CreateLocalServer;
    api.free = &HiscoreServer_FreeLocalServer;
    api.loadServerDef = &HiscoreServer_LoadServerDefFile;
    api.setServerInfo = &HiscoreServer_SetServerInfo;
    api.requestCategories = &HiscoreServer_RequestCategoryInformation;
    api.requestScores = &HiscoreServer_RequestScores;
    api.submitScore = &HiscoreServer_SubmitScore;
    api.submitMedals = &HiscoreServer_SubmitMedals;
    api.getStatus = &HiscoreServer_GetStatus;
    api.getContents = &HiscoreServer_GetContents;
    return api;
}

std::ostream& operator<<(std::ostream& out, const TRow& row) {
    return out << "{" << row.name << ", score " << row.score << ", rank " << row.rank
               << (row.anonymous ? ", anonymous" : "") << (row.account ? ", account" : "") << "}";
}

namespace {

std::string Attribute(TXmlNode& node, const char* name) {
    return node.GetAttribute(name).CStr();
}

// The children named `name` of `parent`, in document order.
std::vector<TXmlNode*> Children(TXmlNode& parent, const char* name) {
    std::vector<TXmlNode*> found;
    parent.ResetChildren();
    str childName;
    TXmlNode* child = nullptr;
    while (parent.NextChild(childName, child)) {
        if (childName == str(name)) {
            found.push_back(child);
        }
    }
    return found;
}

} // namespace

std::vector<TRow> ReplyRows(const std::string& reply) {
    TXmlNode root;
    root.Parse(reply.c_str());
    TXmlNode* hiscore = root.FindChild("hiscore");
    TXmlNode* scores = hiscore ? hiscore->FindChild("scores") : nullptr;
    std::vector<TRow> rows;
    if (!scores) {
        return rows;
    }
    for (TXmlNode* node : Children(*scores, "score")) {
        TRow row;
        row.name = Attribute(*node, "name");
        row.score = std::stoi(Attribute(*node, "score"));
        row.rank = std::stoi(Attribute(*node, "rank"));
        row.anonymous = Attribute(*node, "anonymous") == "true";
        row.account = Attribute(*node, "account") == "true";
        rows.push_back(row);
    }
    return rows;
}

std::vector<TRow> DataRows(const std::string& data, const std::string& mode) {
    TXmlNode root;
    root.Parse(data.c_str());
    std::vector<TRow> rows;
    for (TXmlNode* scores : Children(root, "scores")) {
        if (Attribute(*scores, "gamemode") != mode) {
            continue;
        }
        for (TXmlNode* node : Children(*scores, "row")) {
            TRow row;
            row.name = Attribute(*node, "name");
            row.score = std::stoi(Attribute(*node, "score"));
            row.rank = std::stoi(Attribute(*node, "rank"));
            row.anonymous = Attribute(*node, "anonymous") == "1";
            rows.push_back(row);
        }
    }
    return rows;
}

std::vector<std::string> DataModes(const std::string& data, const std::string& element) {
    TXmlNode root;
    root.Parse(data.c_str());
    std::vector<std::string> modes;
    for (TXmlNode* node : Children(root, element.c_str())) {
        modes.push_back(Attribute(*node, "gamemode"));
    }
    return modes;
}

TCurrentFolder::TCurrentFolder() : mOldFolder(std::filesystem::current_path()) {
    std::filesystem::current_path(mDir.Path());
}

TCurrentFolder::~TCurrentFolder() {
    std::error_code ignored;
    std::filesystem::current_path(mOldFolder, ignored);
}

TServers::~TServers() {
    for (void* server : mServers) {
        mApi.free(server);
    }
}

void* TServers::Configured(const std::vector<const char*>& modes, const char* game,
                           const char* key) {
    void* server = mApi.create();
    EXPECT_NE(server, nullptr);
    mServers.push_back(server);
    std::vector<const char*> names = modes;
    mApi.setServerInfo(server, game, key, names.data(), static_cast<int>(names.size()), nullptr, 0);
    return server;
}

void* TServers::FromServerDef() {
    void* server = mApi.create();
    EXPECT_NE(server, nullptr);
    mServers.push_back(server);
    mApi.loadServerDef(server);
    return server;
}

std::string TServers::Submit(void* server, int score, const char* user, const char* password,
                             const char* mode) {
    mApi.submitScore(server, "game", mode, user, password, "uid", "1.0", "data", score, "key");
    return Reply(server);
}

std::string TServers::Scores(void* server, const char* mode, const char* table,
                             const char* player) {
    mApi.requestScores(server, "game", mode, table, player);
    return Reply(server);
}

std::string TServers::Reply(void* server) const {
    return mApi.getContents(server);
}

} // namespace hiscore_test
