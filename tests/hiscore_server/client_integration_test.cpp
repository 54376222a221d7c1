// The game's hiscore client with the real local server library: the client finds the built
// "qzservlet_stub.dll" in the current folder, configures a server through either path and frees
// both the server and the library when it goes away. A server the client forgot to free shows up
// as a leak at exit; configuring must never rewrite the server's data file.
#include "tests/hiscore_server/server_fixture.h"

#include "engine/core/knownfiles.h"
#include "engine/core/qzhiscores.h"
#include "engine/core/settings.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace hiscore_test {
namespace {

namespace fs = std::filesystem;

const char kServerData[] = "<?xml version=\"1.0\"?>\n"
                           "<scores gamemode=\"easy\">\n"
                           "<row rank=\"1\" score=\"70\" name=\"A\"/>\n"
                           "</scores>\n";

const char kServerDef[] = "<game name=\"gh\" key=\"k\">\n"
                          "<gamemode name=\"easy\"/>\n"
                          "<table name=\"alltime\"/>\n"
                          "</game>\n";

// Whether a file of this path is mapped into the process.
bool IsMapped(const fs::path& file) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    const std::string wanted = fs::canonical(file).string();
    while (std::getline(maps, line)) {
        if (line.size() >= wanted.size() &&
            line.compare(line.size() - wanted.size(), wanted.size(), wanted) == 0) {
            return true;
        }
    }
    return false;
}

class HiscoreClientWithServer : public ::testing::Test {
protected:
    void SetUp() override {
        ClearSettings();
        ClearKnownFiles();
        fs::create_directories(mUser.Path());
        SetFolderRoots(str(mUser.Path().c_str()), str(), str());
        mLibrary = mFolder.Dir().Path() / kLibraryName;
        fs::copy_file(testing_fixtures::BinaryDir() / kLibraryName, mLibrary);
        mFolder.Dir().Write("serverdata.txt", kServerData);
        mFolder.Dir().Write("serverdef.txt", kServerDef);
    }
    void TearDown() override {
        SetFolderRoots(str(), str(), str());
        ClearKnownFiles();
        ClearSettings();
    }

    TCurrentFolder mFolder;
    testing_fixtures::TempDir mUser;
    fs::path mLibrary;
};

TEST_F(HiscoreClientWithServer, LoadsConfiguresAndFreesTheLibrary) {
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, const char*>> settings;
    };
    const Case cases[] = {
        {"configured from the settings",
         {{"qzgamehandle", "gh"}, {"qzgamemodename1", "easy"}, {"qzgamemedalname1", "gold"}}},
        {"configured from serverdef.txt", {{"qzgamemodename1", "easy"}}},
        {"a handle but no mode name", {{"qzgamehandle", "gh"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearSettings();
        SetSetting("encryptionkey", "Hx7pQ2mZ9wLc");
        for (const auto& [key, value] : c.settings) {
            SetSetting(key, value);
        }
        ASSERT_FALSE(IsMapped(mLibrary));
        {
            TQzHiscores hiscores(false);
            EXPECT_TRUE(IsMapped(mLibrary));
            hiscores.SetUserField(2, "easy");
            hiscores.SetUserField(1, "B");
            hiscores.AddLocalScore(50, true, nullptr, nullptr);
            EXPECT_EQ(hiscores.GetScoreCount(true), 1);
        }
        EXPECT_FALSE(IsMapped(mLibrary));
        EXPECT_EQ(mFolder.Dir().Read("serverdata.txt"), kServerData);
    }
}

} // namespace
} // namespace hiscore_test
