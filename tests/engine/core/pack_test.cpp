#include "engine/core/file.h"
#include "engine/core/filescan.h"
#include "engine/core/flatfilemap.h"
#include "engine/core/knownfiles.h"
#include "engine/core/log.h"

#include "tests/engine/core/filelayer_fixture.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

void PutLe32(std::string& out, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((bits >> shift) & 0xFF);
    }
}

struct Entry {
    std::string name;
    std::string data;
};

// A well-formed pack: magic, count, directory, then the entries' bytes in order.
std::string MakePack(const std::vector<Entry>& entries) {
    size_t directory = 8;
    for (const Entry& e : entries) {
        directory += 1 + e.name.size() + 8;
    }
    std::string pack = "QZPK";
    PutLe32(pack, static_cast<int32_t>(entries.size()));
    size_t offset = directory;
    for (const Entry& e : entries) {
        pack += static_cast<char>(e.name.size());
        pack += e.name;
        PutLe32(pack, static_cast<int32_t>(offset));
        PutLe32(pack, static_cast<int32_t>(e.data.size()));
        offset += e.data.size();
    }
    for (const Entry& e : entries) {
        pack += e.data;
    }
    return pack;
}

// One directory record with the offset and size as given.
std::string Record(const std::string& name, int32_t offset, int32_t size) {
    std::string record(1, static_cast<char>(name.size()));
    record += name;
    PutLe32(record, offset);
    PutLe32(record, size);
    return record;
}

std::string ReadWhole(const char* name, int mode = 0) {
    TFile* file = FileOpen(name, mode);
    if (file == nullptr) {
        return "<not open>";
    }
    std::string text;
    char buffer[7];
    for (int got; (got = FileRead(file, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<size_t>(got));
    }
    FileClose(file);
    return text;
}

int SlotOf(const char* key) {
    const auto found = KnownFiles().find(str(key));
    if (found == KnownFiles().end() || found->second.mSource != TFileSource::kPack) {
        return -1;
    }
    return std::atoi(found->second.mPath.CStr() + 1);
}

class PackTest : public FileLayerTest {
protected:
    void Replace(const std::string& relative, const std::string& bytes) {
        // A new file renamed over the old one, as an installer would: mapped views of the old
        // one stay valid.
        mDir.Write(relative + ".new", bytes);
        std::filesystem::rename(Full(relative + ".new"), Full(relative));
    }
};

TEST_F(PackTest, MountedEntriesReadLikeFiles) {
    mDir.Write("assets/data.qzp", MakePack({{"Scripts/Main.lua", "print(1)"},
                                            {"img/b.png", std::string("\x89PNG\0\r\n", 7)},
                                            {"empty.txt", ""}}));
    BuildKnownFiles();
    EXPECT_EQ(ReadWhole("scripts/main.lua"), "print(1)");
    EXPECT_EQ(ReadWhole("SCRIPTS/MAIN.LUA"), "print(1)");
    EXPECT_EQ(ReadWhole("assets/img/b.png"), std::string("\x89PNG\0\r\n", 7));
    EXPECT_EQ(ReadWhole("img/b.png", kModeReadText), std::string("\x89PNG\0\n", 6));
    EXPECT_EQ(ReadWhole("empty.txt"), "");
    EXPECT_TRUE(EngineFileExists(str("img/b.png")));
    EXPECT_GE(SlotOf("scripts/main.lua"), 0);
    // The pack file itself is a known file too.
    EXPECT_EQ(std::string(ResolveName(str("data.qzp"), true).CStr()), "assets/data.qzp");
}

TEST_F(PackTest, LooseFileBeatsPackEntryOfTheSameKey) {
    mDir.Write("assets/data.qzp", MakePack({{"ui/a.xml", "packed"}, {"b.txt", "packed"}}));
    mDir.Write("assets/UI/A.xml", "loose");
    BuildKnownFiles();
    EXPECT_EQ(ReadWhole("ui/a.xml"), "loose");
    EXPECT_EQ(ReadWhole("b.txt"), "packed");
}

TEST_F(PackTest, RemountReusesTheSlotAndKeepsOpenEntriesReadable) {
    mDir.Write("assets/p.qzp", MakePack({{"a.txt", "first"}}));
    TKnownFileMap& map = KnownFiles();
    MountPackFile(str("::assets/p.qzp"), map);
    const size_t slots = PackRegistry().size();
    const int slot = SlotOf("a.txt");
    ASSERT_GE(slot, 0);

    TFile* open = FileOpen("a.txt", 0);
    ASSERT_NE(open, nullptr);
    Replace("assets/p.qzp", MakePack({{"a.txt", "second!"}, {"new.txt", "n"}}));
    MountPackFile(str("::assets/p.qzp"), map);
    EXPECT_EQ(PackRegistry().size(), slots);
    EXPECT_EQ(SlotOf("a.txt"), slot);
    EXPECT_EQ(SlotOf("new.txt"), slot);
    EXPECT_EQ(ReadWhole("a.txt"), "second!");

    // The entry opened before the re-mount still reads the bytes it was opened on.
    char buffer[16] = {};
    EXPECT_EQ(FileRead(open, buffer, 16), 5);
    EXPECT_STREQ(buffer, "first");
    FileClose(open);
}

TEST_F(PackTest, RemountOfAVanishedPackFailsItsOldEntriesCleanly) {
    SetLogFolder(Full("log").c_str());
    mDir.Write("assets/p.qzp", MakePack({{"a.txt", "kept"}}));
    MountPackFile(str("::assets/p.qzp"), KnownFiles());
    TFile* open = FileOpen("a.txt", 0);
    ASSERT_NE(open, nullptr);
    std::filesystem::remove(Full("assets/p.qzp"));
    MountPackFile(str("::assets/p.qzp"), KnownFiles());
    EXPECT_EQ(FileOpen("a.txt", 0), nullptr);
    char buffer[8] = {};
    EXPECT_EQ(FileRead(open, buffer, 8), 4);
    FileClose(open);
    SetLogFolder(nullptr);
    EXPECT_NE(mDir.Read("log/logfile.txt").find("error reading @"), std::string::npos);
}

TEST_F(PackTest, EmptyPackRegistersItsMappingButNoKeys) {
    mDir.Write("assets/none.qzp", MakePack({}));
    const size_t slots = PackRegistry().size();
    MountPackFile(str("::assets/none.qzp"), KnownFiles());
    EXPECT_TRUE(KnownFiles().empty());
    ASSERT_EQ(PackRegistry().size(), slots + 1);
    EXPECT_NE(PackRegistry().back().GetData(), nullptr);
}

TEST_F(PackTest, DamagedPacksGiveOnlyTheirSoundEntries) {
    SetLogFolder(Full("log").c_str());
    const std::string good = Record("good.txt", 0, 4); // the magic itself, a valid range
    auto pack = [](int32_t count, const std::string& records, const std::string& tail = "") {
        std::string bytes = "QZPK";
        PutLe32(bytes, count);
        return bytes + records + tail;
    };
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> keys;
    };
    const Case cases[] = {
        {"wrong magic", "QZPX" + pack(1, good).substr(4), {}},
        {"empty file", "", {}},
        {"magic only", "QZPK", {}},
        {"negative count", pack(-5, good), {}},
        {"directory cut short", pack(3, good + Record("cut.txt", 0, 1).substr(0, 6)), {"good.txt"}},
        {"offset past the end", pack(2, good + Record("far.txt", 1000, 1)), {"good.txt"}},
        {"size past the end", pack(2, good + Record("long.txt", 0, 1000)), {"good.txt"}},
        {"negative offset", pack(2, good + Record("neg.txt", -4, 2)), {"good.txt"}},
        {"negative size", pack(2, good + Record("neg.txt", 0, -2)), {"good.txt"}},
        {"sum overflows", pack(2, good + Record("wrap.txt", 0x7FFFFFF0, 0x7FFFFFF0)), {"good.txt"}},
        {"no name", pack(2, good + Record("", 0, 1)), {"good.txt"}},
        {"name with a NUL", pack(2, good + Record(std::string("a\0b", 3), 0, 1)), {"good.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearKnownFiles();
        Replace("assets/bad.qzp", c.bytes);
        MountPackFile(str("::assets/bad.qzp"), KnownFiles());
        std::vector<std::string> keys;
        for (const auto& [key, known] : KnownFiles()) {
            keys.emplace_back(key.CStr());
        }
        EXPECT_EQ(keys, c.keys);
        if (!keys.empty()) {
            EXPECT_EQ(ReadWhole("good.txt"), "QZPK");
        }
    }
    SetLogFolder(nullptr);
    const std::string log = mDir.Read("log/logfile.txt");
    EXPECT_NE(log.find("MountPackFile: skipping entry far.txt of ::assets/bad.qzp"),
              std::string::npos);
    EXPECT_NE(log.find("MountPackFile: skipping entry wrap.txt"), std::string::npos);
}

TEST_F(PackTest, ReferencesThatDoNotFitTheirPackFailToOpen) {
    mDir.Write("assets/p.qzp", MakePack({{"a.txt", "abc"}}));
    MountPackFile(str("::assets/p.qzp"), KnownFiles());
    const int slot = SlotOf("a.txt");
    const std::string size = std::to_string(std::filesystem::file_size(Full("assets/p.qzp")));
    struct Case {
        std::string reference;
        bool opens;
    };
    const Case cases[] = {
        {"@" + std::to_string(slot) + ":0," + size, true},
        {"@" + std::to_string(slot) + ":1," + size, false},
        {"@" + std::to_string(slot) + ":-1,2", false},
        {"@" + std::to_string(slot) + ":0", false},
        {"@" + std::to_string(slot) + ",0", false},
        {"@99999:0,1", false},
        {"@x:0,1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reference);
        TFlatFileMap entry;
        EXPECT_EQ(entry.Open(str(c.reference.c_str()), 0), c.opens);
    }
}

// The same block read through a memory reference and through a pack entry.
class BlockFileTest : public PackTest {
protected:
    void SetUp() override {
        RegisterMemoryFile(str("block.mem"), kBytes, 4);
        mDir.Write("assets/p.qzp", MakePack({{"block.pak", std::string(kBytes, 4)}}));
        MountPackFile(str("::assets/p.qzp"), KnownFiles());
    }
    static constexpr const char* kBytes = "a\r\nb";
};

TEST_F(BlockFileTest, TextModeDropsCarriageReturns) {
    for (const char* name : {"block.mem", "block.pak"}) {
        SCOPED_TRACE(name);
        TFile* file = FileOpen(name, kModeReadText);
        ASSERT_NE(file, nullptr);
        char buffer[4] = {};
        EXPECT_EQ(FileRead(file, buffer, 4), 3);
        EXPECT_EQ(std::string(buffer, 3), "a\nb");
        FileClose(file);
    }
}

TEST_F(BlockFileTest, EndOfFileComesAtTheLastByteOrAfterAShortRead) {
    struct Case {
        const char* name;
        bool eofAfterExactRead;
    };
    const Case cases[] = {{"block.mem", true}, {"block.pak", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TFile* file = FileOpen(c.name, 0);
        ASSERT_NE(file, nullptr);
        char buffer[8];
        EXPECT_EQ(FileRead(file, buffer, 4), 4);
        EXPECT_EQ(FileEof(file), c.eofAfterExactRead ? 1 : 0);
        EXPECT_EQ(FileRead(file, buffer, 1), 0);
        EXPECT_EQ(FileEof(file), 1);
        FileClose(file);
    }
}

TEST_F(BlockFileTest, SeeksClampUngetStopsAtTheStartAndWritesFail) {
    for (const char* name : {"block.mem", "block.pak"}) {
        SCOPED_TRACE(name);
        for (int mode = kModeWriteBinary; mode <= kModeAppendText; ++mode) {
            EXPECT_EQ(FileOpen(name, mode), nullptr) << mode;
        }
        TFile* file = FileOpen(name, 0);
        ASSERT_NE(file, nullptr);
        FileUngetc(file); // at the start: stays there
        EXPECT_EQ(FileTell(file), 0);
        EXPECT_EQ(FileGetc(file), 'a');
        FileUngetc(file);
        EXPECT_EQ(FileGetc(file), 'a');
        FileSeek(file, 100, kSeekStart);
        EXPECT_EQ(FileTell(file), 4);
        FileSeek(file, -1, kSeekEnd);
        EXPECT_EQ(FileGetc(file), 'b');
        EXPECT_EQ(FileRead(file, nullptr, -1), 0);
        EXPECT_EQ(FileWrite(file, "x", 1), 0);
        EXPECT_EQ(file->GetSize(), 4);
        FileClose(file);
    }
}

} // namespace
