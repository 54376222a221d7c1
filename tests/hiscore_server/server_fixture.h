// Shared pieces of the hiscore server tests: the ten exports as a table of function pointers
// (taken from the built library or from the server linked into the test program), a temporary
// current folder (the server's files live in the current folder), and readers for the replies and
// the data file.
#pragma once

#include "hiscore_server/hiscoreserver.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace hiscore_test {

// The built server library, as the program loads it.
constexpr char kLibraryName[] = "qzservlet_stub.dll";

struct TServerApi {
    decltype(&HiscoreServer_CreateLocalServer) create = nullptr;
    decltype(&HiscoreServer_FreeLocalServer) free = nullptr;
    decltype(&HiscoreServer_LoadServerDefFile) loadServerDef = nullptr;
    decltype(&HiscoreServer_SetServerInfo) setServerInfo = nullptr;
    decltype(&HiscoreServer_RequestCategoryInformation) requestCategories = nullptr;
    decltype(&HiscoreServer_RequestScores) requestScores = nullptr;
    decltype(&HiscoreServer_SubmitScore) submitScore = nullptr;
    decltype(&HiscoreServer_SubmitMedals) submitMedals = nullptr;
    decltype(&HiscoreServer_GetStatus) getStatus = nullptr;
    decltype(&HiscoreServer_GetContents) getContents = nullptr;
};

// The exports of the server compiled into this test program (driven by the test clock).
TServerApi LinkedApi();

// One row of a score list reply or of the data file, as the tests compare them.
struct TRow {
    std::string name;
    int score = 0;
    int rank = 0;
    bool anonymous = false;
    bool account = false;

    bool operator==(const TRow&) const = default;
};
std::ostream& operator<<(std::ostream& out, const TRow& row);

// The "score" rows of a score list reply; empty when the reply holds no list.
std::vector<TRow> ReplyRows(const std::string& reply);
// The "row" children of the "scores" element of one mode in serverdata.txt text.
std::vector<TRow> DataRows(const std::string& data, const std::string& mode);
// The "gamemode" attributes of the top-level elements with this name, in file order.
std::vector<std::string> DataModes(const std::string& data, const std::string& element);

// Makes a temporary folder the current folder for the test's lifetime.
class TCurrentFolder {
public:
    TCurrentFolder();
    ~TCurrentFolder();
    TCurrentFolder(const TCurrentFolder&) = delete;
    TCurrentFolder& operator=(const TCurrentFolder&) = delete;

    const testing_fixtures::TempDir& Dir() const { return mDir; }

private:
    testing_fixtures::TempDir mDir;
    std::filesystem::path mOldFolder;
};

// Servers made through one api, freed at the end; helpers for the common calls.
class TServers {
public:
    explicit TServers(const TServerApi& api) : mApi(api) {}
    ~TServers();
    TServers(const TServers&) = delete;
    TServers& operator=(const TServers&) = delete;

    // A server configured with SetServerInfo.
    void* Configured(const std::vector<const char*>& modes = {"normal"}, const char* game = "game",
                     const char* key = "key");
    // A server configured from serverdef.txt.
    void* FromServerDef();
    // An anonymous (no password) or logged-in submission to game "game", key "key"; the reply.
    std::string Submit(void* server, int score, const char* user = "anon",
                       const char* password = "", const char* mode = "normal");
    std::string Scores(void* server, const char* mode = "normal", const char* table = "daily",
                       const char* player = nullptr);
    std::string Reply(void* server) const;

private:
    const TServerApi& mApi;
    std::vector<void*> mServers;
};

} // namespace hiscore_test
