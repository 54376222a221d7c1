#include "engine/core/diriterator.h"
#include "engine/core/file.h"
#include "engine/core/filescan.h"
#include "engine/core/folders.h"
#include "engine/core/knownfiles.h"
#include "engine/core/settings.h"

#include "tests/engine/core/filelayer_fixture.h"

#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::string Resolve(const char* name, bool mustExist = true) {
    return ResolveName(str(name), mustExist).CStr();
}

using ResolveTest = FileLayerTest;

TEST_F(ResolveTest, AssetKeysIgnoreCaseButKeepTheRealPath) {
    mDir.Write("assets/Scripts/MainLoop.lua", "x");
    BuildKnownFiles();
    const std::string path = "assets/Scripts/MainLoop.lua";
    struct Case {
        const char* name;
        std::string expected;
    };
    const Case cases[] = {
        {"scripts/mainloop.lua", path},
        {"SCRIPTS/MAINLOOP.LUA", path},
        {"scripts\\mainloop.lua", ""}, // keys use '/'
        {"assets/scripts/mainloop.lua", path},
        {"Assets\\scripts/mainloop.lua", path},
        {"assetsXscripts/mainloop.lua", ""},
        {"assets", ""},
        {"mainloop.lua", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Resolve(c.name), c.expected);
    }
    TFile* file = FileOpen("Scripts/MainLoop.LUA", 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(FileGetc(file), 'x');
    FileClose(file);
}

TEST_F(ResolveTest, ListFileExcludesKeysAndDashStarEmptiesTheList) {
    mDir.Write("final.txt", "a.txt\r\n-*\tb.txt  sub\nuser:secret.txt\n");
    mDir.Write("assets/a.txt", "");
    mDir.Write("assets/b.txt", "");
    mDir.Write("assets/d.txt", "");
    mDir.Write("assets/sub/c.txt", "");
    UseRoots();
    mDir.Write("user/secret.txt", "");
    BuildKnownFiles();

    EXPECT_NE(Resolve("a.txt"), ""); // listed before the "-*"
    EXPECT_EQ(Resolve("b.txt"), "");
    EXPECT_EQ(Resolve("sub/c.txt"), ""); // a folder key leaves out its whole subtree
    EXPECT_NE(Resolve("d.txt"), "");
    EXPECT_EQ(ExcludedNames().size(), 3u);
    // Root names: excluded when they must exist, resolved for writing.
    EXPECT_EQ(Resolve("user:secret.txt"), "");
    EXPECT_EQ(Resolve("user:secret.txt", false), Full("user") + "/secret.txt");
}

TEST_F(ResolveTest, FirstPeekReadsItsOwnListAndOversizedListsAreIgnored) {
    mDir.Write("final.txt", "a.txt");
    mDir.Write("firstpeek.txt", "b.txt");
    mDir.Write("assets/a.txt", "");
    mDir.Write("assets/b.txt", "");
    SetFirstPeek(true);
    BuildKnownFiles();
    EXPECT_NE(Resolve("a.txt"), "");
    EXPECT_EQ(Resolve("b.txt"), "");

    Reset();
    mDir.Write("final.txt", "a.txt" + std::string(100000, ' '));
    BuildKnownFiles();
    EXPECT_NE(Resolve("a.txt"), "");
    EXPECT_TRUE(ExcludedNames().empty());
}

TEST_F(ResolveTest, ParseAssetListAddsAndRemoves) {
    ParseAssetList(str("A.TXT b.txt c.txt"), true);
    ParseAssetList(str("b.txt\tmissing"), false);
    EXPECT_EQ(ExcludedNames(), (std::set<str>{str("a.txt"), str("c.txt")}));
    ParseAssetList(str("  -*  "), true);
    EXPECT_TRUE(ExcludedNames().empty());
}

TEST_F(ResolveTest, RootNames) {
    UseRoots();
    mDir.Write("user/Profile.DAT", "");
    mDir.Write("common/shared.xml", "");
    mDir.Write("plain.txt", "");
    struct Case {
        const char* name;
        bool mustExist;
        std::string expected;
    };
    const Case cases[] = {
        {"user:Profile.DAT", true, Full("user") + "/Profile.DAT"},
        {"user:new.dat", true, ""},
        {"user:New.dat", false, Full("user") + "/New.dat"},
        {"COMMON:shared.xml", true, Full("common") + "/shared.xml"},
        {"desktop:shot.png", false, Full("desktop") + "/shot.png"},
        {"::plain.txt", true, "plain.txt"},
        {"::plain.txt", false, "plain.txt"},
        {"::missing.txt", false, ""}, // "::" needs a readable file even for writing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.mustExist ? " must exist" : ""));
        EXPECT_EQ(Resolve(c.name, c.mustExist), c.expected);
    }
    // A resolved root name is remembered under its lower-cased key.
    EXPECT_EQ(KnownFiles().count(str("user:new.dat")), 1u);
    EXPECT_EQ(Resolve("user:NEW.DAT"), Full("user") + "/New.dat");
}

TEST_F(ResolveTest, NamesThatClimbOutOfTheirRootAreRefused) {
    UseRoots();
    mDir.Write("outside.txt", "");
    mDir.Write("user/inside.txt", "");
    const char* refused[] = {
        "user:../outside.txt",  "user:a/../../outside.txt",
        "user:..\\outside.txt", "common:..",
        "desktop:x/../../y",    "::../outside.txt",
        "::/etc/passwd",        "::\\etc\\passwd",
        "user:/etc/passwd",     "::C:\\x",
    };
    for (const char* name : refused) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Resolve(name, true), "");
        EXPECT_EQ(Resolve(name, false), "");
        EXPECT_EQ(FileOpen(name, kModeWriteBinary), nullptr);
    }
    // Dots that are not a parent step are ordinary names.
    EXPECT_EQ(Resolve("user:..inside", false), Full("user") + "/..inside");
    EXPECT_EQ(Resolve("user:x/..y/../inside.txt", false), "");
    EXPECT_NE(Resolve("::outside.txt"), "");
}

TEST_F(ResolveTest, UnsetRootsResolveNothing) {
    EXPECT_EQ(Resolve("user:prefs.dat", false), "");
    EXPECT_EQ(FileOpen("user:prefs.dat", kModeWriteBinary), nullptr);
}

std::vector<std::string> Walk(const char* prefix, bool recurse) {
    std::vector<std::string> keys;
    str name;
    while (FindNextKnownFile(str(prefix), &name, recurse) && keys.size() < 20) {
        keys.emplace_back(name.CStr());
    }
    return keys;
}

TEST_F(ResolveTest, FindNextKnownFileWalksOneLevelOrTheWholeTree) {
    for (const char* key : {"a.qzmod.dll", "b/c.txt", "b/d/e.txt", "common:f.qzmod", "user:x.qzmod",
                            "user:sub/y.txt", "z.txt"}) {
        KnownFiles()[str(key)] = TKnownFile{str("somewhere"), TFileSource::kDisk};
    }
    using V = std::vector<std::string>;
    struct Case {
        const char* prefix;
        bool recurse;
        V keys;
    };
    const Case cases[] = {
        // The empty prefix is the assets tree only: nothing under "user:" or "common:".
        {"", false, V{"a.qzmod.dll", "z.txt"}},
        {"", true, V{"a.qzmod.dll", "b/c.txt", "b/d/e.txt", "z.txt"}},
        {"user:", false, V{"user:x.qzmod"}},
        {"USER:", true, V{"user:sub/y.txt", "user:x.qzmod"}},
        {"b/", false, V{"b/c.txt"}},
        {"b/", true, V{"b/c.txt", "b/d/e.txt"}},
        {"q", true, V{}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.prefix) + (c.recurse ? " recurse" : ""));
        EXPECT_EQ(Walk(c.prefix, c.recurse), c.keys);
    }
}

using ScanTest = FileLayerTest;

TEST_F(ScanTest, UserAndCommonFoldersAreScannedUnderTheirRoots) {
    UseRoots();
    mDir.Write("assets/UI/Main.XML", "");
    mDir.Write("assets/.svn/entries", "");
    mDir.Write("user/Strings.xml", "");
    mDir.Write("user/Saves/Slot1.sav", "");
    mDir.Write("common/display.xml", "");
    BuildKnownFiles();

    const TKnownFileMap& map = KnownFiles();
    std::vector<std::string> keys;
    for (const auto& [key, known] : map) {
        keys.emplace_back(key.CStr());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"common:display.xml", "ui/main.xml",
                                              "user:saves/slot1.sav", "user:strings.xml"}));
    EXPECT_EQ(std::string(map.at(str("ui/main.xml")).mPath.CStr()), "assets/UI/Main.XML");
    EXPECT_EQ(std::string(map.at(str("user:saves/slot1.sav")).mPath.CStr()),
              Full("user") + "/Saves/Slot1.sav");
}

TEST_F(ScanTest, FolderLinkLoopEnds) {
    UseRoots();
    mDir.Write("user/a.txt", "");
    std::filesystem::create_directory_symlink(Full("user"), Full("user/loop"));
    BuildKnownFiles();
    EXPECT_EQ(KnownFiles().count(str("user:a.txt")), 1u);
    EXPECT_EQ(KnownFiles().count(str("user:loop/loop/a.txt")), 1u);
}

TEST_F(ScanTest, EmbeddedModeScansTheAssetsOnly) {
    UseRoots();
    mDir.Write("assets/a.txt", "");
    mDir.Write("user/b.txt", "");
    SetSetting(str("activex"), str("1"));
    BuildKnownFiles();
    SetSetting(str("activex"), str("0"));
    EXPECT_EQ(KnownFiles().size(), 1u);
    EXPECT_EQ(KnownFiles().count(str("a.txt")), 1u);
}

TEST_F(ScanTest, DirIteratorListsEntriesWithoutDots) {
    mDir.Write("dir/b.txt", "");
    mDir.Write("dir/a/inner.txt", "");
    TDirIterator listing((Full("dir") + "/").c_str());
    std::vector<std::string> names;
    str name;
    bool isFolder = false;
    while (listing.Next(&name, &isFolder)) {
        names.push_back(std::string(name.CStr()) + (isFolder ? "/" : ""));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a/", "b.txt"}));
    EXPECT_FALSE(listing.Next(&name, &isFolder));

    listing.Open(Full("dir").c_str());
    ASSERT_TRUE(listing.Next(&name, nullptr)); // folders passed over
    EXPECT_STREQ(name.CStr(), "b.txt");
    EXPECT_FALSE(listing.Next(&name, nullptr));
    listing.Open(nullptr);
    EXPECT_FALSE(listing.Next(&name, &isFolder));
}

using FolderTest = FileLayerTest;

std::string WindowsForm(const std::string& path) {
    std::string text = path;
    for (char& c : text) {
        if (c == '/') {
            c = '\\';
        }
    }
    return text;
}

TEST_F(FolderTest, DataFolderFitsItsBufferExactlyOrReportsTheSize) {
    SetSetting(str("publisher"), str());
    const std::string appData = WindowsForm(Full(".local/share")) + "\\";
    const std::string expected = appData + "Kelvane\\Game\\";
    const int need = static_cast<int>(expected.size()) + 1;

    std::vector<char> buffer(static_cast<size_t>(need) + 1, '#');
    // One byte short: nothing past the buffer is touched, the size needed comes back.
    EXPECT_EQ(GetDataFolder(false, "Game", buffer.data(), need - 1), need);
    EXPECT_EQ(buffer[static_cast<size_t>(need) - 1], '#');
    EXPECT_EQ(std::string(buffer.data()), appData);

    EXPECT_EQ(GetDataFolder(false, "Game", buffer.data(), need), 0);
    EXPECT_EQ(std::string(buffer.data()), expected);
    EXPECT_EQ(buffer[static_cast<size_t>(need)], '#');
    EXPECT_TRUE(std::filesystem::is_directory(Full(".local/share/Kelvane/Game")));

    EXPECT_EQ(GetDataFolder(false, nullptr, buffer.data(), need), -1);
    EXPECT_EQ(GetDataFolder(false, "Game", nullptr, need), -1);
}

TEST_F(FolderTest, DataFolderUsesThePublisherAndTheCommonRoot) {
    SetSetting(str("publisher"), str("Maker"));
    char buffer[MAX_PATH];
    EXPECT_EQ(GetDataFolder(true, "Game", buffer, MAX_PATH), 0);
    SetSetting(str("publisher"), str());
    EXPECT_EQ(std::string(buffer), WindowsForm(Full(".local/share/common")) + "\\Maker\\Game\\");
    EXPECT_TRUE(std::filesystem::is_directory(Full(".local/share/common/Maker/Game")));
}

TEST_F(FolderTest, DesktopFolderIsAlwaysTerminated) {
    const std::string expected = WindowsForm(Full("Desktop")) + "\\";
    const int length = static_cast<int>(expected.size());
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '#');
    // Room for the text but not its NUL.
    EXPECT_EQ(GetDesktopFolder(buffer.data(), length), length + 1);
    EXPECT_STREQ(buffer.data(), "");
    EXPECT_EQ(buffer[static_cast<size_t>(length)], '#');
    EXPECT_EQ(GetDesktopFolder(buffer.data(), length + 1), 0);
    EXPECT_EQ(std::string(buffer.data()), expected);
    EXPECT_EQ(GetDesktopFolder(nullptr, 10), -1);
}

TEST_F(FolderTest, FullPathOfARelativeName) {
    EXPECT_EQ(std::string(GetFullPath("a/../b.txt").CStr()), WindowsForm(Full("b.txt")));
    EXPECT_STREQ(GetFullPath("").CStr(), "");
}

} // namespace
