#include "engine/core/qzhiscores.h"

#include "engine/core/cipher.h"
#include "engine/core/knownfiles.h"
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "platform/win32/libloader.h"
#include "tests/fixtures/recordlib/recordlib.h"
#include "tests/fixtures/tempdir.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char kHiscoreKey[] = "Hx7pQ2mZ9wLc";
const char kDeclaration[] = "<?xml version=\"1.0\"?>\n";
const char kChecksumMessage[] = "HiScores: Checksum did not match! Ignoring saved score data.";

// The bytes of a hiscore file holding `document` (its zero byte added), with `key`.
std::string MakeDat(const std::string& document, const char* key = kHiscoreKey) {
    TCipher cipher{str(key)};
    const int plain = static_cast<int>(document.size()) + 1;
    std::string body(
        static_cast<std::size_t>(cipher.Encrypt(document.c_str(), plain, nullptr, 0, false)), '\0');
    EXPECT_EQ(
        cipher.Encrypt(document.c_str(), plain, body.data(), static_cast<int>(body.size()), false),
        0);
    const std::uint32_t sum = XorChecksum(static_cast<int>(body.size()), body.data());
    const unsigned char sumBytes[4] = {
        static_cast<unsigned char>(sum), static_cast<unsigned char>(sum >> 8),
        static_cast<unsigned char>(sum >> 16), static_cast<unsigned char>(sum >> 24)};
    std::string trailer(8, '\0');
    EXPECT_EQ(cipher.Encrypt(sumBytes, 4, trailer.data(), 8, false), 0);
    return body + trailer;
}

// The document of a hiscore file (without its zero byte); fails the test when the file is not
// well formed.
std::string ReadDat(const std::string& bytes) {
    TCipher cipher{str(kHiscoreKey)};
    EXPECT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes.size() % 8, 0u);
    if (bytes.size() <= 8) {
        return {};
    }
    const int bodySize = static_cast<int>(bytes.size()) - 8;
    char trailer[8];
    bool ok = false;
    EXPECT_EQ(cipher.Decrypt(bytes.data() + bodySize, 8, trailer, 8, false, &ok), 0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(cipher.GetLastLength(), 4);
    std::uint32_t stored = 0;
    std::memcpy(&stored, trailer, 4); // little-endian host
    EXPECT_EQ(stored, XorChecksum(bodySize, bytes.data()));
    std::string plain(static_cast<std::size_t>(bodySize), '\0');
    EXPECT_EQ(cipher.Decrypt(bytes.data(), bodySize, plain.data(), bodySize, false, &ok), 0);
    EXPECT_TRUE(ok);
    plain.resize(static_cast<std::size_t>(cipher.GetLastLength()));
    EXPECT_FALSE(plain.empty());
    if (!plain.empty()) {
        EXPECT_EQ(plain.back(), '\0');
        plain.pop_back();
    }
    return plain;
}

std::string Row(int rank, int score, const std::string& name) {
    return "<row rank=\"" + std::to_string(rank) + "\" score=\"" + std::to_string(score) +
           "\" name=\"" + name + "\"/>";
}

struct TRowView {
    int rank;
    int score;
    std::string name;
    bool operator==(const TRowView&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TRowView& row) {
    return out << "{" << row.rank << ", " << row.score << ", " << row.name << "}";
}

std::vector<TRowView> Rows(const TQzHiscores& hiscores) {
    std::vector<TRowView> rows;
    const int count = hiscores.GetScoreCount(true);
    for (int i = 0; i < count; ++i) {
        int rank = -7;
        int score = -7;
        char name[64] = {};
        BYTE valid = 0;
        EXPECT_TRUE(
            hiscores.GetScore(true, i, &rank, name, sizeof name, &valid, &score, nullptr, 0));
        EXPECT_EQ(valid, 1);
        rows.push_back({rank, score, name});
    }
    return rows;
}

class Hiscores : public ::testing::Test {
protected:
    void SetUp() override {
        ClearSettings();
        ClearKnownFiles();
        fs::create_directories(mTemp.Path() / "user");
        fs::create_directories(mTemp.Path() / "run");
        SetFolderRoots(str((mTemp.Path() / "user").c_str()), str(), str());
        mOldFolder = fs::current_path();
        fs::current_path(mTemp.Path() / "run");
        SetSetting("encryptionkey", kHiscoreKey);
    }
    void TearDown() override {
        fs::current_path(mOldFolder);
        SetLogFolder("");
        SetFolderRoots(str(), str(), str());
        ClearKnownFiles();
        ClearSettings();
    }

    void WriteDat(const std::string& bytes) { mTemp.Write("user/hiscore.dat", bytes); }
    std::string ReadDatBytes() const { return mTemp.Read("user/hiscore.dat"); }
    bool DatExists() const { return fs::exists(mTemp.Path() / "user/hiscore.dat"); }

    testing_fixtures::TempDir mTemp;
    fs::path mOldFolder;
};

TEST(HiscoreChecksum, XorsEachByteIntoItsLane) {
    struct Case {
        std::vector<unsigned char> bytes;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {{}, 0},
        {{0x01, 0x02, 0x03, 0x04}, 0x04030201},
        {{0x01, 0x02, 0x03, 0x04, 0x10}, 0x04030211},
        {{0x80}, 0x00000080}, // no sign extension into the other lanes
        {{0xFF, 0x00, 0x00, 0x00, 0xFF}, 0},
        {{0x00, 0x00, 0x00, 0xAA, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x5C}, 0xA5005C00},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(XorChecksum(static_cast<int>(c.bytes.size()), c.bytes.data()), c.expected);
    }
}

TEST_F(Hiscores, RanksSharePlacesAmongEqualScores) {
    struct Case {
        const char* what;
        std::vector<int> scores; // inserted in order by players P0, P1, ...
        std::vector<TRowView> expected;
    };
    const Case cases[] = {
        {"ties share a rank",
         {100, 90, 90, 80},
         {{1, 100, "P0"}, {2, 90, "P1"}, {2, 90, "P2"}, {4, 80, "P3"}}},
        {"another tie goes after the older rows",
         {100, 90, 90, 80, 90},
         {{1, 100, "P0"}, {2, 90, "P1"}, {2, 90, "P2"}, {2, 90, "P4"}, {5, 80, "P3"}}},
        {"rising scores", {80, 90, 100}, {{1, 100, "P2"}, {2, 90, "P1"}, {3, 80, "P0"}}},
        {"all equal", {50, 50, 50}, {{1, 50, "P0"}, {1, 50, "P1"}, {1, 50, "P2"}}},
        {"a first row of -1 is still first",
         {-1, -1, -5},
         {{1, -1, "P0"}, {1, -1, "P1"}, {3, -5, "P2"}}},
        {"zero", {0, 5}, {{1, 5, "P1"}, {2, 0, "P0"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(mTemp.Path() / "user/hiscore.dat");
        TQzHiscores hiscores(true);
        hiscores.SetUserField(2, "story");
        for (std::size_t i = 0; i < c.scores.size(); ++i) {
            hiscores.SetUserField(1, str(("P" + std::to_string(i)).c_str()));
            hiscores.AddLocalScore(c.scores[i], false, nullptr, nullptr);
        }
        EXPECT_EQ(Rows(hiscores), c.expected);
        // The file holds the same.
        TQzHiscores again(false);
        again.SetUserField(2, "story");
        EXPECT_EQ(Rows(again), c.expected);
    }
}

TEST_F(Hiscores, FirstScoreOfAModeCreatesItsTable) {
    TQzHiscores hiscores(true);
    hiscores.SetUserField(1, "Ann");
    hiscores.SetUserField(2, "endless");
    EXPECT_EQ(hiscores.GetScoreCount(true), 0);
    hiscores.AddLocalScore(42, true, "level=3", "srv");
    EXPECT_EQ(Rows(hiscores), (std::vector<TRowView>{{1, 42, "Ann"}}));
    hiscores.SetUserField(2, "story");
    EXPECT_EQ(hiscores.GetScoreCount(true), 0);

    SetSetting("version", "2.5");
    hiscores.AddLocalScore(7, false, nullptr, nullptr);
    const std::string document = ReadDat(ReadDatBytes());
    // Map order of the tables; texts only when not empty; a fresh guid on every new row.
    const std::size_t endless = document.find("name=\"endless\"");
    const std::size_t story = document.find("name=\"story\"");
    ASSERT_NE(endless, std::string::npos);
    ASSERT_NE(story, std::string::npos);
    EXPECT_LT(endless, story);
    EXPECT_NE(document.find("gameData=\"level=3\""), std::string::npos);
    EXPECT_NE(document.find("serverData=\"srv\""), std::string::npos);
    // The version is read at construction.
    EXPECT_EQ(document.find("\n        version="), std::string::npos);
    EXPECT_EQ(document.find("gameData=\"\""), std::string::npos);
    std::size_t guids = 0;
    for (std::size_t at = document.find("guid=\""); at != std::string::npos;
         at = document.find("guid=\"", at + 1)) {
        const std::string guid = document.substr(at + 6, 33);
        EXPECT_EQ(guid.find_first_not_of("0123456789abcdef"), 32u) << guid;
        ++guids;
    }
    EXPECT_EQ(guids, 2u);

    {
        TQzHiscores later(true);
        later.SetUserField(2, "story");
        later.SetUserField(1, "Cy");
        later.AddLocalScore(3, false, nullptr, nullptr);
    }
    const std::string withVersion = ReadDat(ReadDatBytes());
    const std::size_t at = withVersion.find("\n        version=\"2.5\">");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(withVersion.find("\n        version=", at + 1), std::string::npos);
}

// The guid of the named player's row in the saved file.
std::string GuidOf(const std::string& document, const std::string& player) {
    const std::size_t name = document.find("name=\"" + player + "\"");
    const std::size_t guid = document.rfind("guid=\"", name);
    if (name == std::string::npos || guid == std::string::npos) {
        return {};
    }
    return document.substr(guid + 6, 32);
}

TEST_F(Hiscores, ReplaceOwnKeepsOnlyTheBestRow) {
    struct Case {
        const char* what;
        int score;
        bool replaceOwn;
        std::vector<TRowView> expected;
        bool keepsGuid; // Ann's best row still carries the first guid
    };
    const Case cases[] = {
        {"worse score is not inserted",
         100,
         true,
         {{1, 200, "Bob"}, {2, 120, "Ann"}, {3, 110, "Cid"}},
         true},
        {"equal score is not inserted",
         120,
         true,
         {{1, 200, "Bob"}, {2, 120, "Ann"}, {3, 110, "Cid"}},
         true},
        {"better score replaces the row",
         130,
         true,
         {{1, 200, "Bob"}, {2, 130, "Ann"}, {3, 110, "Cid"}},
         true},
        {"better score moves the row up",
         250,
         true,
         {{1, 250, "Ann"}, {2, 200, "Bob"}, {3, 110, "Cid"}},
         true},
        {"without replaceOwn a second row",
         100,
         false,
         {{1, 200, "Bob"}, {2, 120, "Ann"}, {3, 110, "Cid"}, {4, 100, "Ann"}},
         true},
        {"without replaceOwn a better second row",
         130,
         false,
         {{1, 200, "Bob"}, {2, 130, "Ann"}, {3, 120, "Ann"}, {4, 110, "Cid"}},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(mTemp.Path() / "user/hiscore.dat");
        std::string firstGuid;
        {
            TQzHiscores setup(true);
            setup.SetUserField(2, "story");
            for (const auto& [player, score] : std::vector<std::pair<const char*, int>>{
                     {"Bob", 200}, {"Ann", 120}, {"Cid", 110}}) {
                setup.SetUserField(1, player);
                setup.AddLocalScore(score, true, nullptr, nullptr);
            }
            firstGuid = GuidOf(ReadDat(ReadDatBytes()), "Ann");
            ASSERT_EQ(firstGuid.size(), 32u);
        }
        // The file is rewritten also when nothing is inserted.
        const fs::path file = mTemp.Path() / "user/hiscore.dat";
        const auto old = fs::last_write_time(file) - std::chrono::hours(1);
        fs::last_write_time(file, old);
        TQzHiscores hiscores(true);
        hiscores.SetUserField(2, "story");
        hiscores.SetUserField(1, "Ann");
        hiscores.AddLocalScore(c.score, c.replaceOwn, nullptr, nullptr);
        EXPECT_EQ(Rows(hiscores), c.expected);
        EXPECT_GT(fs::last_write_time(file), old);
        const std::string document = ReadDat(ReadDatBytes());
        EXPECT_EQ(GuidOf(document, "Ann") == firstGuid, c.keepsGuid);
    }
}

// A file with one table of `count` rows scored 1000, 999, ...
std::string FullTable(int count) {
    std::string document = std::string(kDeclaration) + "<score name=\"story\">";
    for (int i = 0; i < count; ++i) {
        document += Row(i + 1, 1000 - i, "R" + std::to_string(i));
    }
    return MakeDat(document + "</score>\n");
}

TEST_F(Hiscores, ATableHoldsAtMost500Rows) {
    struct Case {
        const char* what;
        int score;
        int firstScore;
        int lastScore;
        int foundAt; // index of the new row, -1 when it was dropped
    };
    const Case cases[] = {
        {"a better score drops the lowest row", 1200, 1200, 502, 0},
        {"a middle score drops the lowest row", 800, 1000, 502, 201},
        {"lower than every row is ignored", 100, 1000, 501, -1},
        {"equal to the lowest row is ignored", 501, 1000, 501, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteDat(FullTable(500));
        TQzHiscores hiscores(true);
        hiscores.SetUserField(2, "story");
        hiscores.SetUserField(1, "New");
        ASSERT_EQ(hiscores.GetScoreCount(true), 500);
        hiscores.AddLocalScore(c.score, false, nullptr, nullptr);
        const std::vector<TRowView> rows = Rows(hiscores);
        ASSERT_EQ(rows.size(), 500u);
        EXPECT_EQ(rows.front().score, c.firstScore);
        EXPECT_EQ(rows.back().score, c.lastScore);
        EXPECT_EQ(rows.back().rank, 500);
        int foundAt = -1;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].name == "New") {
                foundAt = static_cast<int>(i);
            }
        }
        EXPECT_EQ(foundAt, c.foundAt);
    }
    // Below the cap a low score still gets its place at the end.
    WriteDat(FullTable(499));
    TQzHiscores hiscores(false);
    hiscores.SetUserField(2, "story");
    hiscores.SetUserField(1, "New");
    hiscores.AddLocalScore(100, false, nullptr, nullptr);
    EXPECT_EQ(Rows(hiscores).back(), (TRowView{500, 100, "New"}));
}

TEST_F(Hiscores, LoadsAndWritesBackEveryPart) {
    const std::string input =
        std::string(kDeclaration) +
        "<user player=\"p1\" name=\"Ann &amp; Bo\" pass=\"pw\"/>\n"
        "<score name=\"easy\">"
        "<row rank=\"1\" score=\"100\" submit=\"1\" guid=\"0123456789abcdef0123456789abcdef\" "
        "name=\"Zo\xc3\xa9\" gameData=\"g\" serverData=\"s\" version=\"1.0\"/>"
        "<row rank=\"7\" score=\"50\" submit=\"0\" name=\"Bob\"/></score>\n"
        "<score name=\"empty\"></score>\n"
        "<medals user=\"Ann\"><medal medalname=\"gold\" type=\"t\" mode=\"easy\" gameData=\"d\" "
        "submit=\"3\"/><medal medalname=\"tin\" submit=\"-2\"/></medals>\n"
        "<medals user=\"\"><medal medalname=\"lost\"/></medals>\n";
    WriteDat(MakeDat(input));
    {
        TQzHiscores hiscores(true);
        hiscores.SetUserField(2, "easy");
        // Ranks are taken as stored.
        EXPECT_EQ(Rows(hiscores), (std::vector<TRowView>{{1, 100, "Zo\xc3\xa9"}, {7, 50, "Bob"}}));
        hiscores.SetUserField(2, "empty");
        EXPECT_EQ(hiscores.GetScoreCount(true), 0);
        // Clearing a table that does not exist still saves what was loaded.
        hiscores.SetUserField(2, "none");
        hiscores.ClearLocalScores();
    }
    const std::string expected = std::string(kDeclaration) +
                                 "<user\n"
                                 "    player=\"p1\"\n"
                                 "    name=\"Ann &amp; Bo\"\n"
                                 "    pass=\"pw\">\n"
                                 "</user>\n"
                                 "<score\n"
                                 "    name=\"easy\">\n"
                                 "    <row\n"
                                 "        rank=\"1\"\n"
                                 "        score=\"100\"\n"
                                 "        submit=\"1\"\n"
                                 "        guid=\"0123456789abcdef0123456789abcdef\"\n"
                                 "        name=\"Zo&#195;&#169;\"\n"
                                 "        gameData=\"g\"\n"
                                 "        serverData=\"s\"\n"
                                 "        version=\"1.0\">\n"
                                 "    </row>\n"
                                 "    <row\n"
                                 "        rank=\"7\"\n"
                                 "        score=\"50\"\n"
                                 "        submit=\"0\"\n"
                                 "        name=\"Bob\">\n"
                                 "    </row>\n"
                                 "</score>\n"
                                 "<medals\n"
                                 "    user=\"Ann\">\n"
                                 "    <medal\n"
                                 "        medalname=\"gold\"\n"
                                 "        type=\"t\"\n"
                                 "        mode=\"easy\"\n"
                                 "        gameData=\"d\"\n"
                                 "        submit=\"1\">\n"
                                 "    </medal>\n"
                                 "    <medal\n"
                                 "        medalname=\"tin\"\n"
                                 "        type=\"\"\n"
                                 "        mode=\"\"\n"
                                 "        gameData=\"\"\n"
                                 "        submit=\"0\">\n"
                                 "    </medal>\n"
                                 "</medals>\n";
    EXPECT_EQ(ReadDat(ReadDatBytes()), expected);
}

TEST_F(Hiscores, ClearRemovesOnlyTheCurrentTable) {
    WriteDat(MakeDat(std::string(kDeclaration) + "<score name=\"a\">" + Row(1, 5, "A") +
                     "</score><score name=\"b\">" + Row(1, 6, "B") + "</score>"));
    {
        TQzHiscores hiscores(true);
        hiscores.SetUserField(2, "a");
        hiscores.ClearLocalScores();
        EXPECT_EQ(hiscores.GetScoreCount(true), 0);
    }
    TQzHiscores again(false);
    again.SetUserField(2, "a");
    EXPECT_EQ(again.GetScoreCount(true), 0);
    again.SetUserField(2, "b");
    EXPECT_EQ(Rows(again), (std::vector<TRowView>{{1, 6, "B"}}));
}

TEST_F(Hiscores, GetScoreBoundsAndBuffers) {
    WriteDat(MakeDat(std::string(kDeclaration) +
                     "<score name=\"m\"><row rank=\"1\" score=\"9\" name=\"Maximilian\" "
                     "gameData=\"abcdef\"/></score>"));
    TQzHiscores hiscores(false);
    hiscores.SetUserField(2, "m");

    struct Case {
        bool local;
        int index;
        bool found;
    };
    for (const Case& c : {Case{true, -1, false}, Case{true, 1, false}, Case{true, 0, true},
                          Case{false, 0, false}, Case{false, -1, false}}) {
        SCOPED_TRACE(c.index);
        int rank = -7;
        int score = -7;
        BYTE valid = 9;
        char name[8];
        char data[8];
        std::memset(name, 'x', sizeof name);
        std::memset(data, 'x', sizeof data);
        EXPECT_EQ(hiscores.GetScore(c.local, c.index, &rank, name, sizeof name, &valid, &score,
                                    data, sizeof data),
                  c.found);
        if (!c.found) {
            EXPECT_EQ(rank, -7);
            EXPECT_EQ(score, -7);
            EXPECT_EQ(valid, 9);
            EXPECT_EQ(std::string(name, sizeof name), std::string(8, 'x'));
            EXPECT_EQ(std::string(data, sizeof data), std::string(8, 'x'));
        }
    }

    struct SizeCase {
        int size;
        std::string expected; // the 10 bytes of the buffer afterwards
    };
    const SizeCase sizes[] = {
        {8, std::string("Maximil\0xx", 10)}, {11, std::string("Maximilian\0", 11).substr(0, 10)},
        {1, std::string("\0xxxxxxxxx", 10)}, {0, std::string(10, 'x')},
        {-1, std::string(10, 'x')},          {-1000, std::string(10, 'x')},
    };
    for (const SizeCase& c : sizes) {
        SCOPED_TRACE(c.size);
        char buffer[16];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_TRUE(
            hiscores.GetScore(true, 0, nullptr, buffer, c.size, nullptr, nullptr, nullptr, 0));
        EXPECT_EQ(std::string(buffer, 10), c.expected);
        EXPECT_EQ(std::string(buffer + 11, 5), std::string(5, 'x'));
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_TRUE(
            hiscores.GetScore(true, 0, nullptr, nullptr, 0, nullptr, nullptr, buffer, c.size));
        EXPECT_EQ(std::string(buffer + 7, 9), std::string(9, 'x'));
    }
    // Every output may be null.
    EXPECT_TRUE(hiscores.GetScore(true, 0, nullptr, nullptr, 8, nullptr, nullptr, nullptr, 8));
}

TEST_F(Hiscores, FindPlayerScoreSkipsSubmittedRows) {
    WriteDat(MakeDat(std::string(kDeclaration) +
                     "<score name=\"m\">"
                     "<row rank=\"1\" score=\"90\" submit=\"1\" name=\"Ann\" gameData=\"first\"/>"
                     "<row rank=\"2\" score=\"80\" submit=\"0\" name=\"Bob\" gameData=\"bob\"/>"
                     "<row rank=\"3\" score=\"70\" submit=\"0\" name=\"Ann\" gameData=\"second\"/>"
                     "<row rank=\"4\" score=\"60\" submit=\"0\" name=\"Ann\" gameData=\"third\"/>"
                     "</score>"));
    TQzHiscores hiscores(false);
    hiscores.SetUserField(2, "m");
    hiscores.SetUserField(1, "Ann");
    int score = 0;
    int rank = 0;
    char data[4];
    ASSERT_TRUE(hiscores.FindPlayerScore(0, &score, &rank, data, sizeof data));
    EXPECT_EQ(score, 70);
    EXPECT_EQ(rank, 3);
    EXPECT_STREQ(data, "sec");
    // The online list is never filled; other values find nothing.
    for (int which : {1, 2, -1}) {
        EXPECT_FALSE(hiscores.FindPlayerScore(which, &score, &rank, data, sizeof data)) << which;
    }
    hiscores.SetUserField(1, "Nobody");
    EXPECT_FALSE(hiscores.FindPlayerScore(0, &score, &rank, data, sizeof data));
    hiscores.SetUserField(2, "other");
    hiscores.SetUserField(1, "Ann");
    EXPECT_FALSE(hiscores.FindPlayerScore(0, &score, &rank, data, sizeof data));
    EXPECT_EQ(hiscores.GetScoreCount(false), 0);
}

TEST_F(Hiscores, ScoreElementsWithoutRowsAreDropped) {
    WriteDat(MakeDat(std::string(kDeclaration) + "<score name=\"empty\"></score>" +
                     "<score name=\"full\">" + Row(1, 3, "A") + "</score>"));
    {
        TQzHiscores hiscores(true);
        hiscores.SetUserField(2, "full");
        hiscores.SetUserField(1, "B");
        hiscores.AddLocalScore(2, false, nullptr, nullptr);
    }
    const std::string document = ReadDat(ReadDatBytes());
    EXPECT_EQ(document.find("empty"), std::string::npos);
    EXPECT_NE(document.find("name=\"full\""), std::string::npos);
}

std::string ReadLog(const testing_fixtures::TempDir& logs) {
    return logs.Read("logfile.txt");
}

TEST_F(Hiscores, ChecksumMismatchLoadsNothing) {
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().c_str());
    const std::string good =
        MakeDat(std::string(kDeclaration) + "<score name=\"m\">" + Row(1, 5, "A") + "</score>");
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string wrongSum = good;
    {
        // A trailer that deciphers to a checksum off by one.
        TCipher cipher{str(kHiscoreKey)};
        const std::uint32_t sum = XorChecksum(static_cast<int>(good.size()) - 8, good.data()) ^ 1u;
        const unsigned char sumBytes[4] = {
            static_cast<unsigned char>(sum), static_cast<unsigned char>(sum >> 8),
            static_cast<unsigned char>(sum >> 16), static_cast<unsigned char>(sum >> 24)};
        cipher.Encrypt(sumBytes, 4, wrongSum.data() + good.size() - 8, 8, false);
    }
    const Case cases[] = {
        {"wrong checksum", wrongSum},
        {"other key",
         MakeDat(std::string(kDeclaration) + "<score name=\"m\">" + Row(1, 5, "A") + "</score>",
                 "OtherKey1234")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteDat(c.bytes);
        TQzHiscores hiscores(false);
        hiscores.SetUserField(2, "m");
        EXPECT_EQ(hiscores.GetScoreCount(true), 0);
    }
    // The log writes each line feed of the message as a line break of its own.
    EXPECT_NE(ReadLog(logs).find(std::string(": ") + kChecksumMessage + "\r\n\r\n"),
              std::string::npos);
}

// Flips bits so that the checksum still matches: the same change twice in one lane of one block.
std::string FlipInLane(std::string bytes, std::size_t at, unsigned char mask) {
    bytes[at] = static_cast<char>(bytes[at] ^ mask);
    bytes[at + 4] = static_cast<char>(bytes[at + 4] ^ mask);
    return bytes;
}

TEST_F(Hiscores, DamagedFilesNeverCrashNorLoseData) {
    const std::string document = std::string(kDeclaration) + "<score name=\"a\">" +
                                 "<row rank=\"1\" score=\"10\" name=\"A\" gameData=\"" +
                                 std::string(40, 'Q') + "\"/></score>\n<score name=\"b\">" +
                                 Row(1, 20, "B") + Row(2, 5, "C") + "</score>\n";
    const std::string good = MakeDat(document);
    const std::size_t size = good.size();
    const std::size_t body = size - 8;

    // Damage the checksum sees: nothing is loaded, and the file is kept aside before the next
    // save replaces it.
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case detected[] = {
        {"one byte", good.substr(0, 1)},
        {"eight bytes", good.substr(0, 8)},
        {"nine bytes", good.substr(0, 9)},
        {"trailer cut short", good.substr(0, size - 1)},
        {"trailer lost", good.substr(0, size - 8)},
        {"one byte more", good + "x"},
        {"one block more", good + std::string(8, '\x55')},
        {"first byte flipped", std::string(1, static_cast<char>(good[0] ^ 0x20)) + good.substr(1)},
        {"last body byte flipped", good.substr(0, body - 1) +
                                       std::string(1, static_cast<char>(good[body - 1] ^ 1)) +
                                       good.substr(body)},
        {"trailer byte flipped",
         good.substr(0, size - 1) + std::string(1, static_cast<char>(good[size - 1] ^ 0x80))},
    };
    for (const Case& c : detected) {
        SCOPED_TRACE(c.what);
        fs::remove(mTemp.Path() / "user/hiscore.dat.bad");
        WriteDat(c.bytes);
        {
            TQzHiscores hiscores(true);
            hiscores.SetUserField(2, "b");
            EXPECT_EQ(hiscores.GetScoreCount(true), 0);
            hiscores.SetUserField(1, "D");
            hiscores.AddLocalScore(1, true, nullptr, nullptr);
            hiscores.AddLocalScore(3, true, nullptr, nullptr);
        }
        EXPECT_EQ(mTemp.Read("user/hiscore.dat.bad"), c.bytes);
        TQzHiscores again(false);
        again.SetUserField(2, "b");
        EXPECT_EQ(Rows(again), (std::vector<TRowView>{{1, 3, "D"}}));
    }

    // Damage the checksum cannot see: the blocks around it are still read.
    const std::size_t value = document.find(std::string(40, 'Q'));
    const std::size_t insideValue = (value + 7) / 8 * 8 + 8;
    const Case unseen[] = {
        {"last block", FlipInLane(good, body - 8, 0x41)},
        // This change deciphers to garbage holding a zero byte.
        {"block inside a value", FlipInLane(good, insideValue, 0x02)},
    };
    for (const Case& c : unseen) {
        SCOPED_TRACE(c.what);
        fs::remove(mTemp.Path() / "user/hiscore.dat.bad");
        WriteDat(c.bytes);
        TQzHiscores hiscores(false);
        hiscores.SetUserField(2, "b");
        EXPECT_EQ(Rows(hiscores), (std::vector<TRowView>{{1, 20, "B"}, {2, 5, "C"}}));
        hiscores.SetUserField(2, "a");
        EXPECT_EQ(hiscores.GetScoreCount(true), 1);
    }

    // A file that loads is not kept aside.
    fs::remove(mTemp.Path() / "user/hiscore.dat.bad");
    WriteDat(good);
    {
        TQzHiscores hiscores(true);
        hiscores.SetUserField(2, "b");
        hiscores.SetUserField(1, "D");
        hiscores.AddLocalScore(30, true, nullptr, nullptr);
        EXPECT_EQ(hiscores.GetScoreCount(true), 3);
    }
    EXPECT_FALSE(fs::exists(mTemp.Path() / "user/hiscore.dat.bad"));
}

TEST_F(Hiscores, SavingReplacesTheFileWhole) {
    const std::string old =
        MakeDat(std::string(kDeclaration) + "<score name=\"m\">" + Row(1, 5, "A") + "</score>");
    WriteDat(old);
    // A write that cannot finish leaves the old file as it was.
    fs::create_directories(mTemp.Path() / "user/hiscore.dat.new");
    {
        TQzHiscores hiscores(true);
        hiscores.SetUserField(2, "m");
        hiscores.SetUserField(1, "B");
        hiscores.AddLocalScore(9, false, nullptr, nullptr);
        EXPECT_EQ(hiscores.GetScoreCount(true), 2);
    }
    EXPECT_EQ(ReadDatBytes(), old);

    fs::remove(mTemp.Path() / "user/hiscore.dat.new");
    {
        TQzHiscores hiscores(true);
        hiscores.SetUserField(2, "m");
        hiscores.SetUserField(1, "B");
        hiscores.AddLocalScore(9, false, nullptr, nullptr);
    }
    EXPECT_FALSE(fs::exists(mTemp.Path() / "user/hiscore.dat.new"));
    TQzHiscores again(false);
    again.SetUserField(2, "m");
    EXPECT_EQ(Rows(again), (std::vector<TRowView>{{1, 9, "B"}, {2, 5, "A"}}));
}

TEST_F(Hiscores, SavingDisabledWritesNothing) {
    TQzHiscores hiscores(false);
    hiscores.SetUserField(2, "m");
    hiscores.SetUserField(1, "A");
    hiscores.AddLocalScore(5, false, nullptr, nullptr);
    hiscores.ClearLocalScores();
    EXPECT_FALSE(DatExists());
}

TEST_F(Hiscores, MissingKeyIsLoggedAndTheClientWorksOn) {
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().c_str());
    ClearSettings();
    {
        TQzHiscores hiscores(true);
        hiscores.SetUserField(2, "m");
        hiscores.SetUserField(1, "A");
        hiscores.AddLocalScore(5, false, nullptr, nullptr);
    }
    TQzHiscores again(false);
    again.SetUserField(2, "m");
    EXPECT_EQ(Rows(again), (std::vector<TRowView>{{1, 5, "A"}}));
    EXPECT_NE(ReadLog(logs).find(": ERROR: No encryption key set before TQzHiscores construction!"),
              std::string::npos);
}

class HiscoreServerBinding : public Hiscores {
protected:
    void SetUp() override {
        Hiscores::SetUp();
        fs::copy_file(testing_fixtures::RecordLibrary(), mTemp.Path() / "run/qzservlet_stub.dll");
        // Held here as well, so that the record outlives the client's FreeLibrary.
        mLibrary = LoadLibraryA("qzservlet_stub.dll");
        ASSERT_NE(mLibrary, nullptr);
        mCalls = reinterpret_cast<RecordCallsFn>(GetProcAddress(mLibrary, RECORD_CALLS_EXPORT));
        mReset = reinterpret_cast<RecordResetFn>(GetProcAddress(mLibrary, RECORD_RESET_EXPORT));
        ASSERT_NE(mCalls, nullptr);
        ASSERT_NE(mReset, nullptr);
    }
    void TearDown() override {
        if (mLibrary != nullptr) {
            FreeLibrary(mLibrary);
        }
        Hiscores::TearDown();
    }

    HMODULE mLibrary = nullptr;
    RecordCallsFn mCalls = nullptr;
    RecordResetFn mReset = nullptr;
};

TEST_F(HiscoreServerBinding, ConfiguresTheLocalServerOnce) {
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, const char*>> settings;
        std::string expected;
    };
    const Case cases[] = {
        {"handle, modes and medals",
         {{"qzgamehandle", "gh"},
          {"gamename", "Game"},
          {"qzgamemodename1", "easy"},
          {"qzgamemodename2", "hard"},
          {"qzgamemodename4", "unreached"},
          {"qzgamemedalname1", "gold"}},
         "HiscoreServer_CreateLocalServer -> #1\n"
         "HiscoreServer_SetServerInfo #1 game=gh key=Hx7pQ2mZ9wLc modes=[easy,hard] 2 "
         "medals=[gold] 1\n"
         "HiscoreServer_FreeLocalServer #1\n"},
        {"no medal names",
         {{"qzgamehandle", "gh"}, {"qzgamemodename1", "story"}},
         "HiscoreServer_CreateLocalServer -> #1\n"
         "HiscoreServer_SetServerInfo #1 game=gh key=Hx7pQ2mZ9wLc modes=[story] 1 medals=null 0\n"
         "HiscoreServer_FreeLocalServer #1\n"},
        {"a handle but no mode name",
         {{"qzgamehandle", "gh"}, {"qzgamemedalname1", "gold"}},
         "HiscoreServer_CreateLocalServer -> #1\n"
         "HiscoreServer_FreeLocalServer #1\n"},
        {"the first mode name empty",
         {{"qzgamehandle", "gh"}, {"qzgamemodename1", ""}, {"qzgamemodename2", "hard"}},
         "HiscoreServer_CreateLocalServer -> #1\n"
         "HiscoreServer_FreeLocalServer #1\n"},
        {"no handle",
         {{"gamename", "Game"}, {"qzgamemodename1", "easy"}},
         "HiscoreServer_CreateLocalServer -> #1\n"
         "HiscoreServer_LoadServerDefFile #1\n"
         "HiscoreServer_FreeLocalServer #1\n"},
        {"an empty handle",
         {{"qzgamehandle", ""}, {"qzgamemodename1", "easy"}},
         "HiscoreServer_CreateLocalServer -> #1\n"
         "HiscoreServer_LoadServerDefFile #1\n"
         "HiscoreServer_FreeLocalServer #1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearSettings();
        SetSetting("encryptionkey", kHiscoreKey);
        for (const auto& [key, value] : c.settings) {
            SetSetting(key, value);
        }
        mReset();
        {
            TQzHiscores hiscores(true);
            // Nothing more is called while the client lives.
            hiscores.SetUserField(2, "easy");
            hiscores.SetUserField(1, "A");
            hiscores.AddLocalScore(5, true, nullptr, nullptr);
            EXPECT_EQ(hiscores.GetScoreCount(true), 1);
            hiscores.ClearLocalScores();
        }
        EXPECT_EQ(std::string(mCalls()), c.expected);
    }
}

TEST_F(Hiscores, AMissingServerLibraryChangesNothingElse) {
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().c_str());
    SetSetting("qzgamehandle", "gh");
    SetSetting("qzgamemodename1", "easy");
    {
        TQzHiscores hiscores(true);
        hiscores.SetUserField(2, "easy");
        hiscores.SetUserField(1, "A");
        hiscores.AddLocalScore(5, true, nullptr, nullptr);
        EXPECT_EQ(Rows(hiscores), (std::vector<TRowView>{{1, 5, "A"}}));
    }
    SetLogFolder("");
    EXPECT_EQ(ReadLog(logs).find("qzservlet"), std::string::npos);
    TQzHiscores again(false);
    again.SetUserField(2, "easy");
    EXPECT_EQ(again.GetScoreCount(true), 1);
}

} // namespace
