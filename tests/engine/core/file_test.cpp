#include "engine/core/file.h"
#include "engine/core/knownfiles.h"

#include "tests/engine/core/filelayer_fixture.h"

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// The lines FileGets hands out until it returns null.
std::vector<std::string> Lines(TFile* file, int size) {
    std::vector<std::string> lines;
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '#');
    while (char* line = FileGets(file, buffer.data(), size)) {
        EXPECT_EQ(line, buffer.data());
        lines.emplace_back(line);
        if (lines.size() > 20) {
            break;
        }
    }
    return lines;
}

using FileGetsTest = FileLayerTest;

TEST_F(FileGetsTest, SplitsLinesAndKeepsTheLastOneWithoutABreak) {
    using L = std::vector<std::string>;
    struct Case {
        const char* what;
        std::string bytes;
        bool memory;
        int mode;
        int size;
        L lines;
    };
    const Case cases[] = {
        {"disk", "one\ntwo\nthree", false, 0, 64, L{"one\n", "two\n", "three"}},
        {"memory", "one\ntwo\nthree", true, 0, 64, L{"one\n", "two\n", "three"}},
        {"ends with a break", "one\n", false, 0, 64, L{"one\n"}},
        {"binary pair", "a\r\nb", false, 0, 64, L{"a\r", "\n", "b"}},
        {"text pair", "a\r\nb", false, 1, 64, L{"a\n", "b"}},
        {"memory text", "a\r\nb", true, 1, 64, L{"a\n", "b"}},
        {"short buffer", "abcdef\n", false, 0, 4, L{"abc", "def", "\n"}},
        {"empty", "", false, 0, 64, L{}},
        {"empty memory", "", true, 0, 64, L{}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearKnownFiles();
        std::string name;
        if (c.memory) {
            name = "lines.txt";
            RegisterMemoryFile(str(name.c_str()), c.bytes.empty() ? "" : c.bytes.data(),
                               static_cast<unsigned>(c.bytes.size()));
        } else {
            mDir.Write("lines.txt", c.bytes);
            name = "::lines.txt";
        }
        TFile* file = FileOpen(name.c_str(), c.mode);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(Lines(file, c.size), c.lines);
        FileClose(file);
    }
}

TEST_F(FileGetsTest, RefusesUnusableBuffers) {
    mDir.Write("x.txt", "abc");
    TFile* file = FileOpen("::x.txt", 0);
    ASSERT_NE(file, nullptr);
    char buffer[4];
    EXPECT_EQ(FileGets(file, buffer, 0), nullptr);
    EXPECT_EQ(FileGets(file, nullptr, 4), nullptr);
    EXPECT_EQ(FileGets(nullptr, buffer, 4), nullptr);
    // Room for the NUL only: an empty line, nothing consumed.
    EXPECT_EQ(FileGets(file, buffer, 1), buffer);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(FileGetc(file), 'a');
    FileClose(file);
}

using FileHandleTest = FileLayerTest;

TEST_F(FileHandleTest, GetcAndUngetAtTheEnd) {
    mDir.Write("ab.bin", "ab");
    TFile* file = FileOpen("::ab.bin", 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(FileGetc(file), 'a');
    EXPECT_EQ(FileGetc(file), 'b');
    EXPECT_EQ(FileGetc(file), -1);
    EXPECT_EQ(FileEof(file), 1);
    EXPECT_EQ(FileGetc(file), -1);
    FileUngetc(file); // the last byte read comes back
    EXPECT_EQ(FileGetc(file), 'b');
    FileUngetc(file);
    FileUngetc(file); // a second unget in a row pushes nothing more
    EXPECT_EQ(FileTell(file), 1);
    EXPECT_EQ(FileGetc(file), 'b');
    EXPECT_EQ(FileGetc(file), -1);
    FileClose(file);
}

TEST_F(FileHandleTest, SeekOriginsOfEachKind) {
    const std::string digits = "0123456789";
    mDir.Write("digits.bin", digits);
    RegisterMemoryFile(str("digits.mem"), digits.data(), 10);
    struct Case {
        int offset;
        int origin;
        long disk; // position after the seek, starting from 5
        long memory;
    };
    const Case cases[] = {
        {2, kSeekCurrent, 7, 7},
        {2, kSeekStart, 2, 2},
        {-2, kSeekEnd, 8, 8},
        {3, 0, 8, 8},             // standard I/O's "start" is the engine's "current"
        {2, 7, 2, 5},             // disk: any other origin is the start; memory: no move
        {20, kSeekStart, 20, 10}, // memory clamps to the size
        {-9, kSeekCurrent, 5, 5}, // before the start: no move
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.offset) + " origin " + std::to_string(c.origin));
        for (const char* name : {"::digits.bin", "digits.mem"}) {
            TFile* file = FileOpen(name, 0);
            ASSERT_NE(file, nullptr);
            FileSeek(file, 5, kSeekStart);
            FileSeek(file, c.offset, c.origin);
            EXPECT_EQ(FileTell(file), name[0] == ':' ? c.disk : c.memory) << name;
            FileClose(file);
        }
    }
}

TEST_F(FileHandleTest, NegativeCountsReadAndWriteNothing) {
    UseRoots();
    mDir.Write("user/data.bin", "abc");
    RegisterMemoryFile(str("mem.bin"), "abc", 3);
    for (const char* name : {"user:data.bin", "mem.bin"}) {
        SCOPED_TRACE(name);
        TFile* file = FileOpen(name, 0);
        ASSERT_NE(file, nullptr);
        char buffer[8] = {};
        EXPECT_EQ(FileRead(file, buffer, -1), 0);
        EXPECT_EQ(FileRead(file, buffer, 0), 0);
        EXPECT_EQ(FileTell(file), 0);
        EXPECT_EQ(FileRead(file, buffer, 8), 3);
        FileClose(file);
    }
    TFile* out = FileOpen("user:data.bin", kModeWriteBinary);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(FileWrite(out, "xyz", -3), 0);
    FileClose(out);
    EXPECT_EQ(mDir.Read("user/data.bin"), "");
}

TEST_F(FileHandleTest, EmptyHandleGivesNeutralValues) {
    TFile file;
    char byte = 0;
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.IsEof());
    EXPECT_EQ(file.GetSize(), 0);
    EXPECT_EQ(file.Tell(), -1);
    EXPECT_EQ(file.Read(&byte, 1), 0);
    EXPECT_EQ(file.Write(&byte, 1), 0);
    file.Seek(1, kSeekStart);
    file.UngetByte();
    EXPECT_EQ(FileError(&file), 1);
    EXPECT_EQ(FileOpen("::missing.txt", 0), nullptr);
    EXPECT_EQ(FileOpen("nothing-known", 0), nullptr);
    FileClose(nullptr);
}

TEST_F(FileHandleTest, DiskFileSizeAndTextMode) {
    mDir.Write("crlf.txt", "a\r\nb\r\n");
    TFile* file = FileOpen("::crlf.txt", kModeReadText);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetSize(), 6); // the bytes on disk
    char buffer[8] = {};
    EXPECT_EQ(FileRead(file, buffer, 8), 4);
    EXPECT_EQ(std::string(buffer, 4), "a\nb\n");
    EXPECT_EQ(FileEof(file), 1);
    FileClose(file);
}

using FileWriteTest = FileLayerTest;

TEST_F(FileWriteTest, WritingBelowAUserFolderMakesItsFolders) {
    UseRoots();
    TFile* file = FileOpen("user:a/b/c.txt", kModeWriteText);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(FileWrite(file, "line\n", 5), 5);
    FileClose(file);
    EXPECT_EQ(mDir.Read("user/a/b/c.txt"), "line\r\n");

    // Back-slashed folders and the common root work alike; appending adds to the end.
    for (int i = 0; i < 2; ++i) {
        TFile* log = FileOpen("common:x\\y\\log.bin", kModeAppendBinary);
        ASSERT_NE(log, nullptr);
        EXPECT_EQ(FileWrite(log, "ab", 2), 2);
        FileClose(log);
    }
    EXPECT_EQ(mDir.Read("common/x/y/log.bin"), "abab");

    TFile* back = FileOpen("USER:A/B/C.TXT", kModeReadText);
    ASSERT_NE(back, nullptr);
    char buffer[8] = {};
    EXPECT_EQ(FileRead(back, buffer, 8), 5);
    EXPECT_STREQ(buffer, "line\n");
    FileClose(back);
}

TEST_F(FileWriteTest, ReadOnlyUserFileDoesNotOpenForReadingEither) {
    UseRoots();
    mDir.Write("user/locked.dat", "x");
    chmod(Full("user/locked.dat").c_str(), 0444);
    EXPECT_EQ(FileOpen("user:locked.dat", 0), nullptr);
    EXPECT_FALSE(EngineFileExists(str("user:locked.dat")));
    EXPECT_EQ(FileOpen("user:locked.dat", kModeWriteBinary), nullptr);
}

TEST_F(FileWriteTest, DiskFilesNamedLikeReferencesStayDiskFiles) {
    // Were the first character trusted, these would be read as a memory address or a pack slot.
    mDir.Write("&123,456", "memory-like");
    mDir.Write("@0:1,2", "pack-like");
    struct Case {
        const char* name;
        const char* content;
    };
    const Case cases[] = {{"::&123,456", "memory-like"}, {"::@0:1,2", "pack-like"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TFile* file = FileOpen(c.name, 0);
        ASSERT_NE(file, nullptr);
        char buffer[32] = {};
        EXPECT_EQ(FileRead(file, buffer, 31), static_cast<int>(std::strlen(c.content)));
        EXPECT_STREQ(buffer, c.content);
        FileClose(file);
    }
}

TEST_F(FileWriteTest, MemoryFilesAreReadOnly) {
    static const char kBytes[] = "abc";
    RegisterMemoryFile(str("Built.In"), kBytes, 3);
    EXPECT_TRUE(EngineFileExists(str("BUILT.IN")));
    for (int mode = kModeWriteBinary; mode <= kModeAppendText; ++mode) {
        EXPECT_EQ(FileOpen("built.in", mode), nullptr) << mode;
    }
    TFile* file = FileOpen("built.in", 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(FileWrite(file, "x", 1), 0);
    FileClose(file);
    RegisterMemoryFile(str("built.in"), nullptr, 0);
    EXPECT_FALSE(EngineFileExists(str("built.in")));
}

} // namespace
