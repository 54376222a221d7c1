#include "engine/core/prefs.h"

#include "engine/core/cipher.h"
#include "engine/core/knownfiles.h"
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char kPrefsKey[] = "Rw5uLk9cTbXe";

struct Chunk {
    std::string tag;
    std::string plain;
};

// Builds the file's bytes: enciphered payloads except for tags beginning with 'U'.
std::string MakeFile(const std::vector<Chunk>& chunks, const char* key = kPrefsKey) {
    TCipher cipher{str(key)};
    std::string out;
    for (const Chunk& c : chunks) {
        std::string payload = c.plain;
        if (c.tag[0] != 'U') {
            const int n = static_cast<int>(c.plain.size());
            payload.resize(
                static_cast<std::size_t>(cipher.Encrypt(c.plain.data(), n, nullptr, 0, false)));
            cipher.Encrypt(c.plain.data(), n, payload.data(), static_cast<int>(payload.size()),
                           false);
        }
        out += c.tag;
        const auto length = static_cast<std::uint32_t>(payload.size());
        for (int shift = 0; shift < 32; shift += 8) {
            out += static_cast<char>(length >> shift);
        }
        out += payload;
    }
    return out;
}

std::string Text0(const std::string& text) {
    return text + std::string(1, '\0');
}

Chunk Ikey(const std::string& key) {
    return {"IKEY", Text0(key)};
}

Chunk User(unsigned index) {
    return {"USER", std::string{static_cast<char>(index & 255), static_cast<char>(index >> 8)}};
}

Chunk Kvpr(const std::string& key, const std::string& valueBytes) {
    const unsigned n = static_cast<unsigned>(key.size()) + 1;
    return {"KVPR", std::string{static_cast<char>(n & 255), static_cast<char>(n >> 8)} +
                        Text0(key) + valueBytes};
}

// Reads a file back into its chunks, deciphering the payloads; stops at anything malformed.
std::vector<Chunk> ReadFile(const std::string& bytes,
                            std::vector<std::uint32_t>* lengths = nullptr) {
    TCipher cipher{str(kPrefsKey)};
    std::vector<Chunk> chunks;
    std::size_t at = 0;
    while (at + 8 <= bytes.size()) {
        const std::string tag = bytes.substr(at, 4);
        std::uint32_t length = 0;
        for (int i = 0; i < 4; ++i) {
            length |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 4 + i]))
                      << (8 * i);
        }
        if (at + 8 + length > bytes.size()) {
            break;
        }
        std::string payload = bytes.substr(at + 8, length);
        if (tag[0] != 'U') {
            std::string plain(length, '\0');
            if (cipher.Decrypt(payload.data(), static_cast<int>(length), plain.data(),
                               static_cast<int>(length), false) != 0) {
                break;
            }
            plain.resize(static_cast<std::size_t>(cipher.GetLastLength()));
            payload = plain;
        }
        if (lengths) {
            lengths->push_back(length);
        }
        chunks.push_back({tag, payload});
        at += 8 + length;
    }
    return chunks;
}

class Prefs : public ::testing::Test {
protected:
    void SetUp() override {
        ClearSettings();
        ClearKnownFiles();
        fs::create_directories(mTemp.Path() / "user");
        fs::create_directories(mTemp.Path() / "run");
        SetFolderRoots(str((mTemp.Path() / "user").c_str()), str(), str());
        mOldFolder = fs::current_path();
        fs::current_path(mTemp.Path() / "run");
        SetSetting("encryptionkey", kPrefsKey);
    }
    void TearDown() override {
        fs::current_path(mOldFolder);
        SetFolderRoots(str(), str(), str());
        ClearKnownFiles();
        ClearSettings();
    }

    void WritePrefs(const std::string& bytes) { mTemp.Write("user/prefs.dat", bytes); }
    std::string ReadPrefs() const { return mTemp.Read("user/prefs.dat"); }
    void WriteInstallTxt(const std::string& text) { mTemp.Write("run/install.txt", text); }

    testing_fixtures::TempDir mTemp;
    fs::path mOldFolder;
};

std::string Get(const TPrefs& prefs, const char* key, int user) {
    return prefs.GetString(str(key), str("<default>"), user).CStr();
}

TEST_F(Prefs, GrowsToTheUserWritten) {
    TPrefs prefs(true);
    prefs.SetString("name", "Ann", 0, false);
    prefs.SetString("name", "Bob", 1, false);
    EXPECT_EQ(prefs.GetUserCount(), 2);
    EXPECT_EQ(Get(prefs, "name", 5), "<default>");
    prefs.SetString("name", "Cy", 5, false);
    EXPECT_EQ(prefs.GetUserCount(), 6);
    EXPECT_EQ(Get(prefs, "name", 5), "Cy");
    EXPECT_EQ(Get(prefs, "name", 3), "<default>");
    EXPECT_EQ(Get(prefs, "name", 1), "Bob");
    // Nothing was saved.
    EXPECT_FALSE(fs::exists(mTemp.Path() / "user/prefs.dat"));
}

TEST_F(Prefs, MinusOneIsTheGlobalRecord) {
    TPrefs prefs(true);
    EXPECT_EQ(prefs.GetUserCount(), 0);
    prefs.SetString("curuser", "Ann", -1, false);
    EXPECT_EQ(Get(prefs, "curuser", -1), "Ann");
    EXPECT_EQ(prefs.GetUserCount(), 0);
    EXPECT_EQ(Get(prefs, "curuser", 0), "<default>");
}

TEST_F(Prefs, SetIntWritesTheWholeFile) {
    SetSetting("installkey", "C:\\Games\\MARIVELL");
    TPrefs prefs(true);
    prefs.SetInt("soundlevel", 500, 0, true);
    std::vector<std::uint32_t> lengths;
    const std::vector<Chunk> chunks = ReadFile(ReadPrefs(), &lengths);
    ASSERT_EQ(chunks.size(), 5u);
    const std::string key = "c:\\games\\marivell";
    EXPECT_EQ(chunks[0].tag, "IKEY");
    EXPECT_EQ(chunks[0].plain, Text0(key));
    EXPECT_EQ(chunks[1].tag, "IKEY");
    EXPECT_EQ(chunks[1].plain, Text0(key));
    EXPECT_EQ(chunks[2].tag, "USER");
    EXPECT_EQ(chunks[2].plain, std::string("\0\0", 2));
    EXPECT_EQ(chunks[3].tag, "USER");
    EXPECT_EQ(chunks[3].plain, std::string("\1\0", 2));
    EXPECT_EQ(chunks[4].tag, "KVPR");
    EXPECT_EQ(chunks[4].plain, std::string("\x0b\0soundlevel\0"
                                           "500\0",
                                           17));
    // 18 bytes of key text pad to 24; 17 bytes of pair to 24; the user chunks stay 2 bytes.
    EXPECT_EQ(lengths, (std::vector<std::uint32_t>{24, 24, 2, 2, 24}));
    EXPECT_EQ(ReadPrefs().size(), 5 * 8 + 24 * 3 + 2 * 2u);

    TPrefs again(true);
    EXPECT_EQ(again.GetInt("soundlevel", 7, 0), 500);
    EXPECT_FALSE(fs::exists(mTemp.Path() / "user/prefs.dat.new"));
}

TEST_F(Prefs, ChunkOrderAcrossInstallKeys) {
    WritePrefs(MakeFile({Ikey("other"), Ikey("zeta"), User(0), Kvpr("b", Text0("2")),
                         Kvpr("a", Text0("1")), Ikey("alpha"), Ikey("other")}));
    SetSetting("installkey", "Other");
    TPrefs prefs(true);
    prefs.SetString("name", "Ann", 0, true);
    const std::vector<Chunk> chunks = ReadFile(ReadPrefs());
    std::vector<std::string> seen;
    for (const Chunk& c : chunks) {
        std::string plain = c.plain;
        if (c.tag == "USER") {
            plain = std::to_string(static_cast<unsigned char>(plain[0]));
        } else if (c.tag == "KVPR") {
            plain = plain.substr(2);
        }
        seen.push_back(c.tag + ":" + plain);
    }
    // The current key first; then every key in byte order, records in index order, keys in byte
    // order. "alpha" had no user chunk, so it never became a section.
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "IKEY:" + Text0("other"), "IKEY:" + Text0("other"), "USER:0", "USER:1",
                        "KVPR:" + Text0("name") + Text0("Ann"), "IKEY:" + Text0("zeta"), "USER:0",
                        "KVPR:" + Text0("a") + Text0("1"), "KVPR:" + Text0("b") + Text0("2")}));
}

TEST_F(Prefs, AnEmptyStoreWritesOneInstallKey) {
    struct Case {
        const char* installTxt; // null: no file
        const char* setting;    // null: not set
        const char* fileKey;    // null: no prefs.dat; else its only chunk
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, "unknown"},
        {nullptr, "C:\\Games", nullptr, "c:\\games"},
        {"", "elsewhere", "FromFile", "fromfile"},
        {"MixedCase", "elsewhere", nullptr, "MixedCase"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        ClearSettings();
        SetSetting("encryptionkey", kPrefsKey);
        if (c.setting) {
            SetSetting("installkey", c.setting);
        }
        fs::remove(mTemp.Path() / "run/install.txt");
        if (c.installTxt) {
            WriteInstallTxt(c.installTxt);
        }
        fs::remove(mTemp.Path() / "user/prefs.dat");
        if (c.fileKey) {
            WritePrefs(MakeFile({Ikey(c.fileKey)}));
        }
        TPrefs prefs(true);
        prefs.Save();
        const std::vector<Chunk> chunks = ReadFile(ReadPrefs());
        ASSERT_EQ(chunks.size(), 1u);
        EXPECT_EQ(chunks[0].tag, "IKEY");
        EXPECT_EQ(chunks[0].plain, Text0(c.expected));
        EXPECT_EQ(ReadPrefs().size(), 8 + 8 * ((std::string(c.expected).size() + 1) / 8 + 1));
    }
}

TEST_F(Prefs, InstallKeySources) {
    struct Case {
        const char* installTxt; // null: no file
        const char* setting;    // null: not set
        const char* fileKey;    // the first IKEY of prefs.dat
        const char* expected;
    };
    const Case cases[] = {
        {"ABC", "elsewhere", "zzz", "abc"},
        {nullptr, "C:\\Games\\Marivell", "zzz", "c:\\games\\marivell"},
        {nullptr, nullptr, "zzz", "unknown"},
        {nullptr, "", "zzz", "unknown"},
        {"", "elsewhere", "FromFile", "fromfile"}, // an empty install.txt defers to the file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        ClearSettings();
        SetSetting("encryptionkey", kPrefsKey);
        if (c.setting) {
            SetSetting("installkey", c.setting);
        }
        fs::remove(mTemp.Path() / "run/install.txt");
        if (c.installTxt) {
            WriteInstallTxt(c.installTxt);
        }
        WritePrefs(MakeFile(
            {Ikey(c.fileKey), Ikey(c.expected), User(0), User(1), Kvpr("name", Text0("found"))}));
        TPrefs prefs(false);
        EXPECT_EQ(Get(prefs, "name", 0), "found");
        EXPECT_EQ(prefs.GetUserCount(), 1);
    }
}

TEST_F(Prefs, SectionKeysFromTheFileAreLowerCased) {
    WriteInstallTxt("ABC");
    WritePrefs(MakeFile({Ikey("ABC"), Ikey("ABC"), User(0), Kvpr("name", Text0("Ann"))}));
    TPrefs prefs(false);
    EXPECT_EQ(Get(prefs, "name", -1), "Ann");
}

TEST_F(Prefs, WithoutAFileInstallTxtKeepsItsCase) {
    WriteInstallTxt("MixedCase");
    TPrefs prefs(true);
    prefs.SetString("name", "Ann", -1, true);
    const std::vector<Chunk> chunks = ReadFile(ReadPrefs());
    ASSERT_GE(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].plain, Text0("MixedCase"));
    // Read back, the key is lower-cased on both sides and the value is found.
    TPrefs again(false);
    EXPECT_EQ(Get(again, "name", -1), "Ann");
}

TEST_F(Prefs, ReaderLimitsAndOddChunks) {
    struct Case {
        const char* what;
        std::vector<Chunk> chunks;
        int userCount;
        const char* key;
        int user;
        const char* expected;
    };
    const Case cases[] = {
        {"index 1024 accepted",
         {Ikey("k"), Ikey("k"), User(1024), Kvpr("x", Text0("y"))},
         1024,
         "x",
         1023,
         "y"},
        {"index 1025 is refused with its pairs",
         {Ikey("k"), Ikey("k"), User(0), Kvpr("x", Text0("before")), User(1025),
          Kvpr("x", Text0("after"))},
         0,
         "x",
         -1,
         "before"},
        {"empty key", {Ikey("k"), Ikey("k"), User(0), Kvpr("", Text0("v"))}, 0, "", -1, "v"},
        {"pair before any user chunk goes to record 0",
         {Ikey("k"), Ikey("k"), Kvpr("x", Text0("y"))},
         0,
         "x",
         -1,
         "y"},
        {"pair for a record no user chunk made",
         {Ikey("k"), Ikey("other"), User(3), Ikey("k"), Kvpr("x", Text0("y"))},
         3,
         "x",
         2,
         "y"},
        {"value of no bytes", {Ikey("k"), Ikey("k"), User(0), Kvpr("x", "")}, 0, "x", -1, ""},
        {"value without its zero byte",
         {Ikey("k"), Ikey("k"), User(0), Kvpr("x", "abc")},
         0,
         "x",
         -1,
         "abc"},
        {"pairs after an unknown tag have no record",
         {Ikey("k"), Ikey("k"), User(0), {"QQQQ", "zz"}, Kvpr("x", Text0("y"))},
         0,
         "x",
         -1,
         "<default>"},
        {"pair shorter than its key",
         {Ikey("k"), Ikey("k"), User(0), {"KVPR", std::string("\x09\0ab", 4)}},
         0,
         "ab",
         -1,
         "<default>"},
        {"user chunk of one byte",
         {Ikey("k"), Ikey("k"), {"USER", "\1"}, Kvpr("x", Text0("y"))},
         0,
         "x",
         -1,
         "<default>"},
        {"first chunk not a key",
         {User(0), Ikey("k"), User(0), Kvpr("x", Text0("y"))},
         0,
         "x",
         -1,
         "y"},
        {"user index lower than the one before",
         {Ikey("k"), Ikey("k"), User(0), Kvpr("x", Text0("global")), User(1), User(0),
          Kvpr("x", Text0("damaged"))},
         1,
         "x",
         -1,
         "global"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearKnownFiles();
        SetSetting("installkey", "k");
        WritePrefs(MakeFile(c.chunks));
        TPrefs prefs(false);
        EXPECT_EQ(prefs.GetUserCount(), c.userCount);
        EXPECT_EQ(Get(prefs, c.key, c.user), c.expected);
    }
}

TEST_F(Prefs, DamagedFilesKeepWhatCanBeRead) {
    const std::string good =
        MakeFile({Ikey("k"), Ikey("k"), User(0), Kvpr("a", Text0("1")), Kvpr("b", Text0("2"))});
    const std::string lastPair = MakeFile({Kvpr("b", Text0("2"))});
    std::string zeroLength =
        good.substr(0, good.size() - lastPair.size()) + "KVPR" + std::string(4, '\0') + lastPair;
    std::string tooLong = good.substr(0, good.size() - lastPair.size()) + "KVPR" +
                          std::string("\x01\x00\x40\x00", 4) + lastPair.substr(8);
    struct Case {
        const char* what;
        std::string bytes;
        const char* a;
        const char* b;
    };
    const Case cases[] = {
        {"whole", good, "1", "2"},
        {"cut inside the last chunk", good.substr(0, good.size() - 3), "1", "<default>"},
        {"cut inside a header", good.substr(0, good.size() - lastPair.size() + 5), "1",
         "<default>"},
        {"zero length", zeroLength, "1", "2"},
        {"length above the limit", tooLong, "1", "<default>"},
        {"under another key",
         MakeFile({Ikey("k"), Ikey("k"), User(0), Kvpr("a", Text0("1"))}, "another key"),
         "<default>", "<default>"},
        {"not a preferences file", std::string(100, 'x'), "<default>", "<default>"},
        {"empty", "", "<default>", "<default>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearKnownFiles();
        SetSetting("installkey", "k");
        WritePrefs(c.bytes);
        TPrefs prefs(false);
        EXPECT_EQ(Get(prefs, "a", -1), c.a);
        EXPECT_EQ(Get(prefs, "b", -1), c.b);
    }
}

// Three players as the game stores them, one byte of one player's chunks zeroed: start-up
// (load, then a saving setter) and quit must keep the two other players and the global record,
// and the file as it was must be kept beside it.
TEST_F(Prefs, DamageInOnePlayerKeepsTheOthers) {
    const char* const names[] = {"Ann", "Bob", "Cyd"};
    SetSetting("installkey", "k");
    {
        TPrefs prefs(true);
        prefs.SetString("curuser", "Bob", -1, false);
        for (int user = 0; user < 3; ++user) {
            prefs.SetString("name", names[user], user, false);
            prefs.SetInt("soundlevel", 10 + user, user, false);
        }
        prefs.Save();
    }
    const std::string good = ReadPrefs();
    std::vector<std::uint32_t> lengths;
    const std::vector<Chunk> chunks = ReadFile(good, &lengths);
    // Offsets of each player's "USER" chunk and of its first "KVPR" chunk.
    std::vector<std::size_t> userAt;
    std::size_t at = 0;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        if (chunks[i].tag == "USER") {
            userAt.push_back(at);
        }
        at += 8 + lengths[i];
    }
    ASSERT_EQ(at, good.size());
    ASSERT_EQ(userAt.size(), 4U);
    struct Place {
        const char* what;
        std::size_t offset; // from the player's "USER" chunk
    };
    // "USER" is 10 bytes long; the pair's header and payload follow.
    const Place places[] = {
        {"user tag", 0},
        {"user length", 4},
        {"user index", 8},
        {"pair tag", 10},
        {"pair length", 14},
        {"pair payload start", 18},
        {"pair payload end", 10 + 8 + lengths[3] - 1},
    };
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().c_str());
    for (int damaged = 0; damaged < 3; ++damaged) {
        for (const Place& place : places) {
            SCOPED_TRACE(std::string(names[damaged]) + ", " + place.what);
            std::string bytes = good;
            const std::size_t offset = userAt[static_cast<std::size_t>(damaged) + 1] + place.offset;
            ASSERT_NE(bytes[offset], '\0');
            bytes[offset] = '\0';
            WritePrefs(bytes);
            fs::remove(mTemp.Path() / "user/prefs.dat.bad");
            {
                TPrefs start(true);
                start.SetString("curuser", "Bob", -1, true);
            }
            TPrefs after(false);
            EXPECT_EQ(Get(after, "curuser", -1), "Bob");
            for (int user = 0; user < 3; ++user) {
                if (user == damaged) {
                    continue;
                }
                // A damaged "USER" chunk may leave the record empty, never renumber the others.
                EXPECT_EQ(Get(after, "name", user), names[user]);
                EXPECT_EQ(after.GetInt("soundlevel", -1, user), 10 + user);
            }
            EXPECT_EQ(mTemp.Read("user/prefs.dat.bad"), bytes);
        }
    }
    SetLogFolder("");
    const std::string log = logs.Read("logfile.txt");
    const std::string kept = (mTemp.Path() / "user/prefs.dat.bad").string();
    EXPECT_NE(log.find("TPrefs: user:prefs.dat is damaged; the players that could be read are "
                       "kept, the file as it was is saved as " +
                       kept),
              std::string::npos)
        << log;
}

TEST_F(Prefs, WholeFilesAreNotKeptAside) {
    SetSetting("installkey", "k");
    for (const std::string& bytes :
         {std::string(), MakeFile({Ikey("k"), Ikey("k"), User(0), Kvpr("a", Text0("1"))})}) {
        WritePrefs(bytes);
        TPrefs prefs(true);
        prefs.Save();
        EXPECT_FALSE(fs::exists(mTemp.Path() / "user/prefs.dat.bad"));
    }
    // Saving disabled writes nothing, not even the copy.
    WritePrefs("damaged");
    TPrefs prefs(false);
    EXPECT_FALSE(fs::exists(mTemp.Path() / "user/prefs.dat.bad"));
}

TEST_F(Prefs, RoundTripKeepsEveryInstallKey) {
    WritePrefs(MakeFile({Ikey("first"), Ikey("first"), User(0), Kvpr("name", Text0("Old"))}));
    SetSetting("installkey", "second");
    {
        TPrefs prefs(true);
        prefs.SetString("curuser", "Zo\xc3\xab", -1, false);
        prefs.SetString("name", "Ann", 0, false);
        prefs.SetString("name", "Bob", 1, false);
        prefs.SetString("gGlobalPlayerInfo", std::string(5000, 'q').c_str(), 1, false);
        prefs.Save();
    }
    {
        TPrefs prefs(false);
        EXPECT_EQ(prefs.GetUserCount(), 2);
        EXPECT_EQ(Get(prefs, "curuser", -1), "Zo\xc3\xab");
        EXPECT_EQ(Get(prefs, "name", 1), "Bob");
        EXPECT_EQ(Get(prefs, "gGlobalPlayerInfo", 1), std::string(5000, 'q'));
    }
    SetSetting("installkey", "FIRST");
    TPrefs first(false);
    EXPECT_EQ(first.GetUserCount(), 0);
    EXPECT_EQ(Get(first, "name", -1), "Old");
}

TEST_F(Prefs, DeleteUserMovesLaterUsersDown) {
    TPrefs prefs(true);
    for (int user = 0; user < 3; ++user) {
        prefs.SetInt("uniq_id", 10 + user, user, false);
    }
    prefs.SetString("curuser", "kept", -1, false);
    prefs.DeleteUser(3);
    prefs.DeleteUser(-1); // never the global record
    prefs.DeleteUser(-2);
    EXPECT_EQ(prefs.GetUserCount(), 3);
    prefs.DeleteUser(1);
    EXPECT_EQ(prefs.GetUserCount(), 2);
    EXPECT_EQ(prefs.GetInt("uniq_id", -1, 0), 10);
    EXPECT_EQ(prefs.GetInt("uniq_id", -1, 1), 12);
    EXPECT_EQ(Get(prefs, "curuser", -1), "kept");
    EXPECT_FALSE(fs::exists(mTemp.Path() / "user/prefs.dat"));
}

TEST_F(Prefs, GetIntReadsLikeAtoi) {
    TPrefs prefs(false);
    struct Case {
        const char* stored; // null: absent
        int expected;
    };
    const Case cases[] = {
        {nullptr, -7}, {"42", 42}, {" 42abc", 42},           {"abc", 0},
        {"-5", -5},    {"", 0},    {"99999999999", INT_MAX}, {"-99999999999", INT_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(absent)");
        if (c.stored) {
            prefs.SetString("musiclevel", c.stored, 0, false);
        }
        EXPECT_EQ(prefs.GetInt("musiclevel", -7, 0), c.expected);
    }
}

TEST_F(Prefs, RefusesWhatTheFileCannotHold) {
    TPrefs prefs(true);
    prefs.SetString("name", "Last", TPrefs::kMaxUser, false);
    EXPECT_EQ(prefs.GetUserCount(), TPrefs::kMaxUser + 1);
    for (int user : {TPrefs::kMaxUser + 1, 65535, -2, INT_MIN}) {
        prefs.SetString("name", "Lost", user, false);
        EXPECT_EQ(prefs.GetUserCount(), TPrefs::kMaxUser + 1) << user;
    }
    prefs.SetString("big", std::string(0x400000, 'v').c_str(), 0, false);
    EXPECT_EQ(Get(prefs, "big", 0), "<default>");
    prefs.Save();
    TPrefs again(false);
    EXPECT_EQ(again.GetUserCount(), TPrefs::kMaxUser + 1);
    EXPECT_EQ(Get(again, "name", TPrefs::kMaxUser), "Last");
}

TEST_F(Prefs, SavingDisabledWritesNothing) {
    TPrefs prefs(false);
    prefs.SetString("name", "Ann", 0, true);
    EXPECT_EQ(prefs.Save(), 0);
    EXPECT_FALSE(fs::exists(mTemp.Path() / "user/prefs.dat"));
}

TEST_F(Prefs, LastWriterWins) {
    TPrefs a(true);
    TPrefs b(true);
    a.SetString("name", "FromA", 0, true);
    b.SetString("soundoff", "1", -1, true);
    TPrefs c(false);
    EXPECT_EQ(Get(c, "soundoff", -1), "1");
    EXPECT_EQ(Get(c, "name", 0), "<default>");
}

TEST_F(Prefs, MissingKeyIsLogged) {
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().c_str());
    ClearSettings();
    {
        TPrefs prefs(true);
        prefs.SetString("name", "Ann", 0, true);
        TPrefs again(false);
        EXPECT_EQ(Get(again, "name", 0), "Ann");
    }
    SetLogFolder("");
    EXPECT_NE(logs.Read("logfile.txt")
                  .find(": ERROR: No encryption key set before TPrefs "
                        "construction!"),
              std::string::npos);
}

const char kLegacyXml[] = "<><install qzinstallkey=\"Legacy\"><g name=\"Global\"/>"
                          "<u name=\"Zo\xc3\xab\" soundlevel=\"70\"/></install></>";
// XOR of the bytes above, each sign-extended into its lane of four.
const char kLegacyChecksum[] = "853244466";

// The keyed legacy file; a null checksum leaves out the "data2" element.
std::string LegacyEnciphered(const char* checksum) {
    TCipher cipher{str(kPrefsKey)};
    char data[512];
    EXPECT_EQ(
        cipher.Encrypt(kLegacyXml, static_cast<int>(sizeof kLegacyXml), data, sizeof data, true),
        0);
    std::string file = std::string("<><data1 data=\"") + data + "\"/>";
    if (checksum) {
        file += std::string("<data2 data=\"") + checksum + "\"/>";
    }
    return file + "</>";
}

TEST_F(Prefs, ImportsTheLegacyXmlForm) {
    struct Case {
        const char* what;
        std::string file;
        bool keyed;
        bool imported;
    };
    const Case cases[] = {
        {"enciphered", LegacyEnciphered(kLegacyChecksum), true, true},
        {"checksum without sign extension", LegacyEnciphered("-841254350"), true, false},
        {"checksum mismatch", LegacyEnciphered("853244467"), true, false},
        {"missing checksum", LegacyEnciphered(nullptr), true, false},
        {"plain without a key", kLegacyXml, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearSettings();
        ClearKnownFiles();
        if (c.keyed) {
            SetSetting("encryptionkey", kPrefsKey);
        }
        WriteInstallTxt("");
        WritePrefs(c.file);
        {
            TPrefs prefs(true);
            EXPECT_EQ(Get(prefs, "name", -1), c.imported ? "Global" : "<default>");
            EXPECT_EQ(Get(prefs, "name", 0), c.imported ? "Zo\xc3\xab" : "<default>");
            EXPECT_EQ(prefs.GetInt("soundlevel", -1, 0), c.imported ? 70 : -1);
        }
        // Rewritten in the chunk form, with or without the imported records.
        const std::string rewritten = ReadPrefs();
        ASSERT_GE(rewritten.size(), 4u);
        EXPECT_EQ(rewritten.substr(0, 4), "IKEY");
        TPrefs again(false);
        EXPECT_EQ(Get(again, "name", 0), c.imported ? "Zo\xc3\xab" : "<default>");
    }
}

TEST_F(Prefs, LegacyImportTakesInstallTxtFirst) {
    WriteInstallTxt("Mine");
    WritePrefs(LegacyEnciphered(kLegacyChecksum));
    TPrefs prefs(true);
    // The imported records belong to "legacy"; the current install key is "mine".
    EXPECT_EQ(Get(prefs, "name", -1), "<default>");
    fs::remove(mTemp.Path() / "run/install.txt");
    SetSetting("installkey", "LEGACY");
    TPrefs legacy(false);
    EXPECT_EQ(Get(legacy, "name", -1), "Global");
}

} // namespace
