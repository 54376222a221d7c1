// The local hiscore server as the game gets it: the built "qzservlet_stub.dll", copied into the
// test's current folder and loaded by its bare file name.
#include "tests/hiscore_server/server_fixture.h"

#include "platform/win32/libloader.h"
#include "tests/fixtures/testpaths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <zlib.h>

namespace hiscore_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class HiscoreServerLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(testing_fixtures::BinaryDir() / kLibraryName,
                                   mFolder.Dir().Path() / kLibraryName);
        mModule = LoadLibraryA(kLibraryName);
        ASSERT_NE(mModule, nullptr);
        Bind(mApi.create, "HiscoreServer_CreateLocalServer");
        Bind(mApi.free, "HiscoreServer_FreeLocalServer");
        Bind(mApi.loadServerDef, "HiscoreServer_LoadServerDefFile");
        Bind(mApi.setServerInfo, "HiscoreServer_SetServerInfo");
        Bind(mApi.requestCategories, "HiscoreServer_RequestCategoryInformation");
        Bind(mApi.requestScores, "HiscoreServer_RequestScores");
        Bind(mApi.submitScore, "HiscoreServer_SubmitScore");
        Bind(mApi.submitMedals, "HiscoreServer_SubmitMedals");
        Bind(mApi.getStatus, "HiscoreServer_GetStatus");
        Bind(mApi.getContents, "HiscoreServer_GetContents");
        mServers.emplace(mApi);
    }

    void TearDown() override {
        mServers.reset();
        if (mModule) {
            FreeLibrary(mModule);
        }
    }

    template <typename TFunction>
    void Bind(TFunction& function, const char* name) {
        function = reinterpret_cast<TFunction>(GetProcAddress(mModule, name));
        ASSERT_NE(function, nullptr) << name;
    }

    std::string Data() const { return mFolder.Dir().Read("serverdata.txt"); }
    void WriteFile(const char* name, const std::string& text) const {
        mFolder.Dir().Write(name, text);
    }
    TServers& Servers() { return *mServers; }

    TCurrentFolder mFolder;
    HMODULE mModule = nullptr;
    TServerApi mApi;
    std::optional<TServers> mServers;
};

std::string ProtocolError(const std::string& message) {
    return "<?xml version=\"1.0\"?>\n<hiscore>\n<protocolError>" + message +
           "</protocolError>\n</hiscore>";
}

TEST_F(HiscoreServerLibrary, EveryFixedReplyIsExact) {
    void* server = Servers().Configured({"normal"}, "game", "s3cret");
    struct TCase {
        const char* what;
        std::function<void()> request;
        std::string reply;
    };
    const TServerApi& api = mApi;
    const std::vector<TCase> cases = {
        {"table list", [&] { api.requestCategories(server); },
         "<?xml version=\"1.0\"?>\n<hiscore>\n<tables game=\"blah\" >\n"
         "<table table=\"daily\" name=\"Last 24 Hours\"/>\n"
         "<table table=\"weekly\" name=\"This Week\"/>\n"
         "<table table=\"monthly\" name=\"This Month\"/>\n"
         "<table table=\"alltime\" name=\"All Time\"/>\n</tables>\n</hiscore>"},
        {"score stored",
         [&] {
             api.submitScore(server, "game", "normal", "testname", "yarrowit", "u", "v", "d", 100,
                             "s3cret");
         },
         "<?xml version=\"1.0\"?>\n<hiscore>\n"
         "<score id=\"123\" name=\"bs\" anonymous=\"true\" score=\"1239123\" />\n</hiscore>"},
        {"score kept",
         [&] {
             api.submitScore(server, "game", "normal", "testname", "yarrowit", "u", "v", "d", 100,
                             "s3cret");
         },
         "<?xml version=\"1.0\"?>\n<hiscore>\n</hiscore>\n"},
        {"bad account",
         [&] {
             api.submitScore(server, "game", "normal", "testname", "wrong", "u", "v", "d", 1,
                             "s3cret");
         },
         "<?xml version=\"1.0\"?>\n<hiscore>\n<message "
         "errorType=\"hiscore.error.invalidUsernameOrPassword\">The username and password you "
         "supplied was invalid.</message>\n</hiscore>"},
        {"medals accepted",
         [&] {
             api.submitMedals(server, "game", "normal", "testname2", "yarrowit7", "m", "s3cret");
         },
         "<?xml version=\"1.0\"?>\n<hiscore>\n<medals count=\"5\"/>\n</hiscore>"},
        {"game handle error",
         [&] { api.requestScores(server, "other", "normal", "daily", nullptr); },
         ProtocolError("2: Invalid parameters passed in: Game handle is other but serverdef.txt "
                       "says it is game")},
        {"mode error", [&] { api.requestScores(server, "game", "hard", nullptr, nullptr); },
         ProtocolError("2: Invalid parameters passed in: Game mode hard is not defined in "
                       "serverdef.txt")},
        {"missing type", [&] { api.requestScores(server, "game", "hard", "daily", nullptr); },
         ProtocolError("2: Missing required parameter: type")},
        {"generic error", [&] { api.requestScores(server, "game", "normal", "yearly", nullptr); },
         ProtocolError("2: Invalid parameters passed in")},
        // The server's own key is never told to a caller that got it wrong.
        {"key error",
         [&] { api.submitScore(server, "game", "normal", "anon", "", "u", "v", "d", 1, "guess"); },
         ProtocolError("2: Invalid parameters passed in: Encryption key is guess but "
                       "serverdef.txt says it is ********")},
    };
    for (const TCase& c : cases) {
        c.request();
        EXPECT_EQ(Servers().Reply(server), c.reply) << c.what;
    }
}

TEST_F(HiscoreServerLibrary, ScoreListReplyIsTheSerialisedListElement) {
    void* server = Servers().Configured({"normal"});
    mApi.submitScore(server, "game", "normal", "ann", "", "u1", "v2", "d3", 5, "key");
    EXPECT_EQ(Servers().Scores(server, "normal", "weekly"), "<?xml version=\"1.0\"?>\n"
                                                            "<hiscore>\n"
                                                            "    <scores\n"
                                                            "        game=\"game\"\n"
                                                            "        type=\"normal\"\n"
                                                            "        table=\"weekly\"\n"
                                                            "        offset=\"0\">\n"
                                                            "        <score\n"
                                                            "            id=\"0\"\n"
                                                            "            name=\"ann\"\n"
                                                            "            anonymous=\"true\"\n"
                                                            "            score=\"5\"\n"
                                                            "            rank=\"1\"\n"
                                                            "            guid=\"u1\"\n"
                                                            "            data=\"d3\"\n"
                                                            "            ver=\"v2\">\n"
                                                            "        </score>\n"
                                                            "    </scores>\n"
                                                            "</hiscore>\n");
}

TEST_F(HiscoreServerLibrary, AnonymousScoresAreSortedWithDenseRanks) {
    void* server = Servers().Configured();
    for (int score : {50, 70, 70, 30}) {
        Servers().Submit(server, score, "p", "");
    }
    EXPECT_THAT(ReplyRows(Servers().Scores(server)),
                ElementsAre(TRow{"p", 70, 1, true}, TRow{"p", 70, 1, true}, TRow{"p", 50, 2, true},
                            TRow{"p", 30, 3, true}));
}

TEST_F(HiscoreServerLibrary, RankingCases) {
    struct TCase {
        const char* what;
        std::vector<int> scores;
        std::vector<int> ranks; // in list order
    };
    const std::vector<TCase> cases = {
        {"a single zero", {0}, {1}},
        {"all equal", {3, 3, 3}, {1, 1, 1}},
        {"negative below zero", {-5, 0, 10}, {1, 2, 3}},
        {"ties in the middle", {9, 1, 5, 5, 9}, {1, 1, 2, 2, 3}},
    };
    for (const TCase& c : cases) {
        void* server = Servers().Configured();
        for (int score : c.scores) {
            Servers().Submit(server, score);
        }
        std::vector<int> ranks;
        for (const TRow& row : ReplyRows(Servers().Scores(server))) {
            ranks.push_back(row.rank);
        }
        EXPECT_EQ(ranks, c.ranks) << c.what;
        std::filesystem::remove("serverdata.txt");
    }
}

TEST_F(HiscoreServerLibrary, EqualScoresKeepTheOrderTheyCameIn) {
    void* server = Servers().Configured();
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        names.push_back("p" + std::to_string(i));
    }
    // Scores 3, 1, 2, 3, 1, 2, ...: each score's rows must list their names in submission order.
    for (int i = 0; i < 40; ++i) {
        Servers().Submit(server, (i + 2) % 3 + 1, names[static_cast<size_t>(i)].c_str());
    }
    std::vector<TRow> expected;
    for (int score = 3; score >= 1; --score) {
        for (int i = 0; i < 40; ++i) {
            if ((i + 2) % 3 + 1 == score) {
                expected.push_back(TRow{names[static_cast<size_t>(i)], score, 4 - score, true});
            }
        }
    }
    EXPECT_EQ(ReplyRows(Servers().Scores(server)), expected);
}

TEST_F(HiscoreServerLibrary, LoggedInUserKeepsHisBestAndOlderRowsStay) {
    void* server = Servers().Configured();
    const std::string stored = Servers().Submit(server, 100, "testname", "yarrowit");
    ASSERT_THAT(stored, HasSubstr("score id=\"123\""));

    struct TCase {
        int score;
        bool kept;
    };
    for (const TCase& c : {TCase{100, true}, TCase{99, true}, TCase{101, false}}) {
        const std::string reply = Servers().Submit(server, c.score, "testname", "yarrowit");
        EXPECT_EQ(reply == "<?xml version=\"1.0\"?>\n<hiscore>\n</hiscore>\n", c.kept) << c.score;
    }
    // 101 beats the stored 100 but does not replace it.
    EXPECT_THAT(
        ReplyRows(Servers().Scores(server, "normal", "daily", "testname")),
        ElementsAre(TRow{"testname", 101, 1, false, true}, TRow{"testname", 100, 2, false, true}));
}

TEST_F(HiscoreServerLibrary, AnonymousRowsNeverMarkAnAccountAndAreAlwaysStored) {
    void* server = Servers().Configured();
    Servers().Submit(server, 10, "testname", "");
    mApi.submitScore(server, "game", "normal", "testname", nullptr, "u", "v", "d", 10, "key");
    Servers().Submit(server, 5, "testname", "yarrowit");
    Servers().Submit(server, 5, "testname2", "yarrowit7");
    EXPECT_THAT(
        ReplyRows(Servers().Scores(server, "normal", "alltime", "testname")),
        ElementsAre(TRow{"testname", 10, 1, true, false}, TRow{"testname", 10, 1, true, false},
                    TRow{"testname", 5, 2, false, true}, TRow{"testname2", 5, 2, false, false}));
}

TEST_F(HiscoreServerLibrary, ConfiguredByCallGetsFourTablesAndTwoTestAccounts) {
    void* server = Servers().Configured({"normal", "hard"});
    Servers().Submit(server, 7);
    for (const char* table : {"daily", "weekly", "monthly", "alltime"}) {
        EXPECT_THAT(ReplyRows(Servers().Scores(server, "normal", table)),
                    ElementsAre(TRow{"anon", 7, 1, true}))
            << table;
    }
    EXPECT_EQ(Servers().Scores(server, "hard", "daily"),
              "<?xml version=\"1.0\"?>\n<hiscore>\n    <scores\n        game=\"game\"\n"
              "        type=\"hard\"\n        table=\"daily\"\n        offset=\"0\">\n"
              "    </scores>\n</hiscore>\n");

    struct TCase {
        const char* user;
        const char* password;
        bool accepted;
    };
    const std::vector<TCase> accounts = {
        {"testname", "yarrowit", true},   {"testname2", "yarrowit7", true},
        {"testname", "yarrowit7", false}, {"testname2", "yarrowit", false},
        {"TESTNAME", "yarrowit", false},  {"nobody", "yarrowit", false},
        {"testname", "", false},          {"testname", nullptr, false},
    };
    for (const TCase& c : accounts) {
        mApi.submitMedals(server, "game", "normal", c.user, c.password, "", "key");
        EXPECT_EQ(Servers().Reply(server).find("<medals count=\"5\"/>") != std::string::npos,
                  c.accepted)
            << c.user << " / " << (c.password ? c.password : "(null)");
    }
}

TEST_F(HiscoreServerLibrary, ConfiguredFromServerDef) {
    WriteFile("serverdef.txt", "<?xml version=\"1.0\"?>\n"
                               "<game name=\"mygame\" key=\"k1\"/>\n"
                               "<game name=\"second\" key=\"k2\"/>\n"
                               "<gamemode name=\"easy\"/>\n"
                               "<table name=\"top\"/>\n"
                               "<user name=\"amy\" pass=\"one\"/>\n"
                               "<user name=\"amy\" pass=\"two\"/>\n"
                               "<something name=\"ignored\"/>\n");
    void* server = Servers().FromServerDef();

    struct TCase {
        const char* what;
        const char* game;
        const char* user;
        const char* password;
        const char* key;
        const char* replyPart;
    };
    const std::vector<TCase> cases = {
        {"first game element names the game", "second", "", "", "k2",
         "Game handle is second but serverdef.txt says it is mygame"},
        {"its key", "mygame", "", "", "k2", "Encryption key is k2"},
        {"a later user entry replaces the password", "mygame", "amy", "one", "k1",
         "invalidUsernameOrPassword"},
        {"the test accounts are not added", "mygame", "testname", "yarrowit", "k1",
         "invalidUsernameOrPassword"},
        {"valid account", "mygame", "amy", "two", "k1", "score id=\"123\""},
    };
    for (const TCase& c : cases) {
        mApi.submitScore(server, c.game, "easy", c.user, c.password, "u", "v", "d", 1, c.key);
        EXPECT_THAT(Servers().Reply(server), HasSubstr(c.replyPart)) << c.what;
    }
    // Only the tables serverdef.txt names exist.
    mApi.requestScores(server, "mygame", "easy", "top", nullptr);
    EXPECT_EQ(ReplyRows(Servers().Reply(server)).size(), 1u);
    mApi.requestScores(server, "mygame", "easy", "daily", nullptr);
    EXPECT_EQ(Servers().Reply(server), ProtocolError("2: Invalid parameters passed in"));
}

// Both files may also come in the compressed form: "ZXML", the compressed and the plain size
// (32-bit little-endian), then the zlib stream.
std::string Compressed(const std::string& plain) {
    uLongf size = compressBound(static_cast<uLong>(plain.size()));
    std::string packed(size, '\0');
    EXPECT_EQ(compress(reinterpret_cast<Bytef*>(packed.data()), &size,
                       reinterpret_cast<const Bytef*>(plain.data()),
                       static_cast<uLong>(plain.size())),
              Z_OK);
    packed.resize(size);
    std::string file = "ZXML";
    for (uint32_t value : {static_cast<uint32_t>(size), static_cast<uint32_t>(plain.size())}) {
        for (int shift = 0; shift < 32; shift += 8) {
            file += static_cast<char>((value >> shift) & 0xFF);
        }
    }
    return file + packed;
}

TEST_F(HiscoreServerLibrary, CompressedFilesAreRead) {
    WriteFile("serverdef.txt", Compressed("<game name=\"zg\" key=\"zk\"/><gamemode name=\"z\"/>"
                                          "<table name=\"t\"/>"));
    WriteFile("serverdata.txt", Compressed("<scores gamemode=\"z\"><row rank=\"1\" score=\"6\" "
                                           "name=\"zed\" anonymous=\"1\"/></scores>"));
    void* server = Servers().FromServerDef();
    mApi.requestScores(server, "zg", "z", "t", nullptr);
    EXPECT_THAT(ReplyRows(Servers().Reply(server)), ElementsAre(TRow{"zed", 6, 1, true}));
}

TEST_F(HiscoreServerLibrary, ModeDefinedTwiceStartsOverAndReadsTheDataOnce) {
    WriteFile("serverdef.txt", "<game name=\"game\" key=\"key\"/><gamemode name=\"normal\"/>"
                               "<table name=\"daily\"/><gamemode name=\"normal\"/>");
    void* first = Servers().FromServerDef();
    EXPECT_TRUE(ReplyRows(Servers().Scores(first)).empty());
    Servers().Submit(first, 10);

    // A second configuration of the same handle that does not redefine the mode: reading
    // serverdata.txt again does not double the rows the mode already holds.
    const char* modes[] = {"hard"};
    mApi.setServerInfo(first, "game", "key", modes, 1, nullptr, 0);
    EXPECT_THAT(ReplyRows(Servers().Scores(first)), ElementsAre(TRow{"anon", 10, 1, true}));
}

TEST_F(HiscoreServerLibrary, DataFileRoundTripsIntoANewHandle) {
    void* server = Servers().Configured({"normal", "hard"});
    Servers().Submit(server, 20, "testname", "yarrowit");
    Servers().Submit(server, 40, "b");
    Servers().Submit(server, 20, "c");
    Servers().Submit(server, 5, "d", "", "hard");
    const std::vector<TRow> normal = ReplyRows(Servers().Scores(server, "normal"));
    const std::vector<TRow> hard = ReplyRows(Servers().Scores(server, "hard"));
    ASSERT_EQ(normal.size(), 3u);

    void* again = Servers().Configured({"hard", "normal"});
    EXPECT_EQ(ReplyRows(Servers().Scores(again, "normal")), normal);
    EXPECT_EQ(ReplyRows(Servers().Scores(again, "hard")), hard);
}

TEST_F(HiscoreServerLibrary, DataFileRowsAreTakenAsStored) {
    WriteFile("serverdata.txt", "<?xml version=\"1.0\"?>\n"
                                "<scores gamemode=\"normal\">\n"
                                "  <row rank=\"7\" score=\"10\" name=\"low\" anonymous=\"0\"/>\n"
                                "  <row rank=\"1\" score=\"20\" name=\"high\" anonymous=\"1\"/>\n"
                                "  <row score=\"3\"/>\n"
                                "  <other rank=\"1\" score=\"99\"/>\n"
                                "</scores>\n"
                                "<scores gamemode=\"unknown\">\n"
                                "  <row rank=\"1\" score=\"1\" name=\"x\" anonymous=\"1\"/>\n"
                                "</scores>\n");
    void* server = Servers().Configured({"normal"});
    // Not sorted, not re-ranked; a missing attribute reads as empty or 0.
    EXPECT_THAT(ReplyRows(Servers().Scores(server, "normal", "daily", "low")),
                ElementsAre(TRow{"low", 10, 7, false, true}, TRow{"high", 20, 1, true},
                            TRow{"", 3, 0, false}));
    EXPECT_THAT(Servers().Scores(server, "unknown", nullptr),
                HasSubstr("Game mode unknown is not defined"));
}

TEST_F(HiscoreServerLibrary, DataFileWithoutScoresLeavesEveryListEmpty) {
    WriteFile("serverdata.txt", "<?xml version=\"1.0\"?>\n<medals gamemode=\"normal\"/>\n");
    void* server = Servers().Configured({"normal", "hard"});
    EXPECT_TRUE(ReplyRows(Servers().Scores(server, "normal")).empty());
    EXPECT_TRUE(ReplyRows(Servers().Scores(server, "hard")).empty());
}

TEST_F(HiscoreServerLibrary, DataFileLayout) {
    void* server = Servers().Configured({"b", "a"});
    mApi.submitScore(server, "game", "b", "bob", "", "g1", "1.2", "x<y", 5, "key");
    // Modes in ascending name order, scores before medals, text-mode line ends, a final NUL.
    const std::string expected = "<?xml version=\"1.0\"?>\r\n"
                                 "<scores\r\n    gamemode=\"a\">\r\n</scores>\r\n"
                                 "<scores\r\n    gamemode=\"b\">\r\n"
                                 "    <row\r\n"
                                 "        rank=\"1\"\r\n"
                                 "        score=\"5\"\r\n"
                                 "        name=\"bob\"\r\n"
                                 "        gameData=\"x&lt;y\"\r\n"
                                 "        version=\"1.2\"\r\n"
                                 "        anonymous=\"1\"\r\n"
                                 "        serverID=\"0\"\r\n"
                                 "        uid=\"g1\">\r\n"
                                 "    </row>\r\n"
                                 "</scores>\r\n"
                                 "<medals\r\n    gamemode=\"a\">\r\n</medals>\r\n"
                                 "<medals\r\n    gamemode=\"b\">\r\n</medals>\r\n";
    EXPECT_EQ(Data(), expected + std::string(1, '\0'));
    // Nothing but the data file is left behind in the folder.
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "serverdata.txt" || name == kLibraryName) << name;
    }
}

TEST_F(HiscoreServerLibrary, FailedRequestsNeverRewriteTheDataFile) {
    const std::string data = "<scores gamemode=\"normal\"><row rank=\"1\" score=\"100\" "
                             "name=\"testname\" anonymous=\"0\"/></scores>";
    WriteFile("serverdata.txt", data);
    void* server = Servers().Configured();
    struct TCase {
        const char* what;
        std::function<void()> request;
    };
    const TServerApi& api = mApi;
    const std::vector<TCase> cases = {
        {"game handle",
         [&] { api.submitScore(server, "x", "normal", "a", "", "", "", "", 1, "key"); }},
        {"mode", [&] { api.submitScore(server, "game", "x", "a", "", "", "", "", 1, "key"); }},
        {"key", [&] { api.submitScore(server, "game", "normal", "a", "", "", "", "", 1, "x"); }},
        {"account",
         [&] { api.submitScore(server, "game", "normal", "a", "pw", "", "", "", 1, "key"); }},
        {"score kept",
         [&] {
             api.submitScore(server, "game", "normal", "testname", "yarrowit", "", "", "", 1,
                             "key");
         }},
        {"medals game handle",
         [&] { api.submitMedals(server, "x", "normal", "a", "", "", "key"); }},
        {"medals without password",
         [&] { api.submitMedals(server, "game", "normal", "testname", "", "", "key"); }},
        {"medals bad account",
         [&] { api.submitMedals(server, "game", "normal", "testname", "no", "", "key"); }},
    };
    for (const TCase& c : cases) {
        c.request();
        EXPECT_EQ(Data(), data) << c.what;
    }
}

TEST_F(HiscoreServerLibrary, ScoresOfModesTheConfigurationLacksStayInTheDataFile) {
    WriteFile("serverdata.txt", "<scores gamemode=\"old\"><row rank=\"1\" score=\"9\" name=\"o\" "
                                "anonymous=\"1\"/></scores>"
                                "<medals gamemode=\"old\"><row medal_handle=\"gold\" name=\"o\" "
                                "anonymous=\"0\" serverID=\"4\"/></medals>"
                                "<scores gamemode=\"normal\"><row rank=\"1\" score=\"3\" "
                                "name=\"n\" anonymous=\"1\"/></scores>");
    void* server = Servers().Configured({"normal"});
    EXPECT_THAT(Servers().Scores(server, "old", nullptr),
                HasSubstr("Game mode old is not defined"));
    Servers().Submit(server, 4);

    const std::string data = Data();
    EXPECT_THAT(DataModes(data, "scores"), ElementsAre("normal", "old"));
    EXPECT_THAT(DataModes(data, "medals"), ElementsAre("normal", "old"));
    EXPECT_THAT(DataRows(data, "old"), ElementsAre(TRow{"o", 9, 1, true}));
    EXPECT_THAT(data, HasSubstr("medal_handle=\"gold\""));
    EXPECT_THAT(DataRows(data, "normal"),
                ElementsAre(TRow{"anon", 4, 1, true}, TRow{"n", 3, 2, true}));

    // Once a configuration defines the mode again, its rows are served as before.
    void* later = Servers().Configured({"old"});
    EXPECT_THAT(ReplyRows(Servers().Scores(later, "old")), ElementsAre(TRow{"o", 9, 1, true}));
}

TEST_F(HiscoreServerLibrary, MissingServerDefLeavesTheServerEmptyAndTheDataUntouched) {
    const std::string data = "<scores gamemode=\"normal\"><row rank=\"1\" score=\"3\" name=\"n\" "
                             "anonymous=\"1\"/></scores>";
    WriteFile("serverdata.txt", data);
    void* server = Servers().FromServerDef();
    mApi.submitScore(server, "", "normal", "", "", "", "", "", 1, "");
    EXPECT_EQ(Servers().Reply(server),
              ProtocolError("2: Invalid parameters passed in: Game mode normal is not defined in "
                            "serverdef.txt"));
    EXPECT_EQ(Data(), data);
}

TEST_F(HiscoreServerLibrary, CallerTextIsEscapedInErrorReplies) {
    void* server = Servers().Configured({"normal"}, "a&b", "key");
    struct TCase {
        const char* what;
        std::function<void()> request;
        const char* escaped;
    };
    const TServerApi& api = mApi;
    const std::vector<TCase> cases = {
        {"game handle",
         [&] { api.requestScores(server, "</protocolError><x>", "normal", "daily", nullptr); },
         "Game handle is &lt;/protocolError&gt;&lt;x&gt; but serverdef.txt says it is a&amp;b"},
        {"mode", [&] { api.requestScores(server, "a&b", "\"m'", nullptr, nullptr); },
         "Game mode &quot;m&apos; is not defined"},
        {"key", [&] { api.submitScore(server, "a&b", "normal", "", "", "", "", "", 1, "<k>"); },
         "Encryption key is &lt;k&gt; but"},
    };
    for (const TCase& c : cases) {
        c.request();
        const std::string reply = Servers().Reply(server);
        EXPECT_THAT(reply, HasSubstr(c.escaped)) << c.what;
        EXPECT_THAT(reply, Not(HasSubstr("<x>"))) << c.what;
        // The reply is still one well-formed hiscore element with one protocolError inside.
        EXPECT_THAT(reply, ::testing::EndsWith("</protocolError>\n</hiscore>")) << c.what;
    }
}

TEST_F(HiscoreServerLibrary, NullArgumentsReadAsEmpty) {
    void* server = Servers().Configured({"normal"}, nullptr, nullptr);
    // Game and key are empty now; a null mode list defines nothing.
    mApi.setServerInfo(server, nullptr, nullptr, nullptr, 3, nullptr, 0);
    mApi.submitScore(server, nullptr, "normal", nullptr, nullptr, nullptr, nullptr, nullptr, 8,
                     nullptr);
    EXPECT_THAT(Servers().Reply(server), HasSubstr("score id=\"123\""));
    mApi.requestScores(server, nullptr, "normal", "daily", nullptr);
    EXPECT_THAT(ReplyRows(Servers().Reply(server)), ElementsAre(TRow{"", 8, 1, true}));
    mApi.submitMedals(server, nullptr, "normal", nullptr, nullptr, nullptr, nullptr);
    EXPECT_THAT(Servers().Reply(server), HasSubstr("invalidUsernameOrPassword"));
    mApi.requestScores(server, "g", nullptr, nullptr, nullptr);
    EXPECT_EQ(Servers().Reply(server),
              ProtocolError("2: Invalid parameters passed in: Game handle is g but serverdef.txt "
                            "says it is "));
    mApi.requestScores(server, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(Servers().Reply(server),
              ProtocolError("2: Invalid parameters passed in: Game mode  is not defined in "
                            "serverdef.txt"));

    // A null handle is ignored by every export.
    mApi.free(nullptr);
    mApi.loadServerDef(nullptr);
    mApi.setServerInfo(nullptr, "g", "k", nullptr, 0, nullptr, 0);
    mApi.requestCategories(nullptr);
    mApi.requestScores(nullptr, "g", "m", "t", "p");
    mApi.submitScore(nullptr, "g", "m", "u", "p", "i", "v", "d", 1, "k");
    mApi.submitMedals(nullptr, "g", "m", "u", "p", "x", "k");
    EXPECT_EQ(mApi.getStatus(nullptr), 0);
    EXPECT_STREQ(mApi.getContents(nullptr), "");
}

TEST_F(HiscoreServerLibrary, HandlesAreIndependentApartFromTheFiles) {
    void* one = Servers().Configured({"normal"}, "game", "key");
    void* two = Servers().Configured({"normal"}, "other", "key2");
    Servers().Submit(one, 1);
    EXPECT_THAT(Servers().Reply(two), ::testing::IsEmpty());
    mApi.requestCategories(two);
    EXPECT_THAT(Servers().Reply(one), HasSubstr("score id=\"123\""));
    // The second handle read serverdata.txt before the first one wrote it.
    mApi.requestScores(two, "other", "normal", "daily", nullptr);
    EXPECT_TRUE(ReplyRows(Servers().Reply(two)).empty());
}

TEST_F(HiscoreServerLibrary, ReplyIsReadyOneSecondAfterTheRequest) {
    void* server = Servers().Configured();
    EXPECT_EQ(mApi.getStatus(server), 0) << "before any request";
    const auto requested = std::chrono::steady_clock::now();
    mApi.requestCategories(server);
    EXPECT_EQ(mApi.getStatus(server), 0);
    EXPECT_THAT(Servers().Reply(server), HasSubstr("<tables"));
    // The built library keeps a clock of its own: wait for the status, and see it came no earlier
    // than a second after the request.
    auto ready = requested;
    while (mApi.getStatus(server) == 0 && ready - requested < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ready = std::chrono::steady_clock::now();
    }
    EXPECT_EQ(mApi.getStatus(server), 1);
    // The library counts whole milliseconds of timeGetTime, so by this finer clock the second can
    // end up to a millisecond early.
    EXPECT_GE(ready - requested, std::chrono::milliseconds(999));
}

} // namespace
} // namespace hiscore_test
