#include "platform/win32/crtio.h"

#include "tests/fixtures/tempdir.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {

std::string ReadAll(crt::FILE* stream, size_t chunk = 1) {
    std::string text;
    char buffer[64];
    for (;;) {
        const size_t got = crt::fread(buffer, 1, chunk, stream);
        text.append(buffer, got);
        if (got < chunk) {
            return text;
        }
    }
}

TEST(CrtText, ReadsLineEndPairsAsLineFeeds) {
    testing_fixtures::TempDir dir;
    struct Case {
        std::string disk;
        const char* mode;
        std::string read;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", "rt", "a\nb\n"},
        {"a\r\nb\r\n", "r", "a\nb\n"}, // text is the default
        {"a\r\nb\r\n", "rb", "a\r\nb\r\n"},
        {"a\rb\r", "rt", "a\rb\r"}, // a carriage return alone stays
        {"a\r\r\nb", "rt", "a\r\nb"},
        {"\n\r\n", "rt", "\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode + (" " + c.disk));
        const std::string path = dir.Write("f.txt", c.disk).string();
        for (size_t chunk : {size_t{1}, size_t{3}, size_t{64}}) {
            crt::FILE* stream = crt::fopen(path.c_str(), c.mode);
            ASSERT_NE(stream, nullptr);
            EXPECT_EQ(ReadAll(stream, chunk), c.read);
            EXPECT_EQ(crt::feof(stream), 1);
            EXPECT_EQ(crt::ftell(stream), static_cast<long>(c.disk.size()));
            crt::fclose(stream);
        }
    }
}

TEST(CrtText, PairSplitAcrossTheReadBufferStillJoins) {
    testing_fixtures::TempDir dir;
    // The buffer holds 4096 bytes: the carriage return is its last byte.
    std::string disk(4095, 'x');
    disk += "\r\nend";
    const std::string path = dir.Write("f.txt", disk).string();
    crt::FILE* stream = crt::fopen(path.c_str(), "rt");
    ASSERT_NE(stream, nullptr);
    std::string expected(4095, 'x');
    expected += "\nend";
    EXPECT_EQ(ReadAll(stream, 64), expected);
    crt::fclose(stream);
}

TEST(CrtText, PositionsAreFileOffsets) {
    testing_fixtures::TempDir dir;
    const std::string path = dir.Write("f.txt", "ab\r\ncd").string();
    crt::FILE* stream = crt::fopen(path.c_str(), "rt");
    ASSERT_NE(stream, nullptr);
    char buffer[3] = {};
    ASSERT_EQ(crt::fread(buffer, 1, 3, stream), 3u);
    EXPECT_EQ(std::string(buffer, 3), "ab\n");
    EXPECT_EQ(crt::ftell(stream), 4); // both bytes of the pair are behind us
    EXPECT_EQ(crt::fgetc(stream), 'c');
    EXPECT_EQ(crt::ungetc('c', stream), 'c');
    EXPECT_EQ(crt::ftell(stream), 4);
    EXPECT_EQ(crt::fgetc(stream), 'c');
    EXPECT_EQ(crt::fseek(stream, 2, SEEK_SET), 0);
    EXPECT_EQ(crt::fgetc(stream), '\n');
    EXPECT_EQ(crt::fseek(stream, -1, SEEK_END), 0);
    EXPECT_EQ(crt::fgetc(stream), 'd');
    EXPECT_EQ(crt::fgetc(stream), EOF);
    EXPECT_EQ(crt::feof(stream), 1);
    // Before the start: refused, the position stays.
    EXPECT_EQ(crt::fseek(stream, -10, SEEK_CUR), -1);
    EXPECT_EQ(crt::ftell(stream), 6);
    EXPECT_EQ(crt::fseek(stream, 0, SEEK_SET), 0);
    EXPECT_EQ(crt::feof(stream), 0);
    EXPECT_EQ(crt::ungetc(EOF, stream), EOF);
    crt::fclose(stream);
}

TEST(CrtText, WritesLineFeedsAsPairs) {
    testing_fixtures::TempDir dir;
    struct Case {
        const char* mode;
        std::string disk;
    };
    const Case cases[] = {
        {"wt", "one\r\ntwo\r\n"},
        {"w", "one\r\ntwo\r\n"},
        {"wb", "one\ntwo\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const std::string path = (dir.Path() / "out.txt").string();
        crt::FILE* stream = crt::fopen(path.c_str(), c.mode);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(crt::fwrite("one\ntwo\n", 1, 8, stream), 8u);
        EXPECT_EQ(crt::ftell(stream), static_cast<long>(c.disk.size()));
        crt::fclose(stream);
        EXPECT_EQ(dir.Read("out.txt"), c.disk);
    }
}

TEST(CrtFile, AppendAndUpdateModes) {
    testing_fixtures::TempDir dir;
    const std::string path = dir.Write("f.bin", "abc").string();

    crt::FILE* append = crt::fopen(path.c_str(), "ab");
    ASSERT_NE(append, nullptr);
    EXPECT_EQ(crt::fseek(append, 0, SEEK_SET), 0);
    EXPECT_EQ(crt::fwrite("de", 1, 2, append), 2u); // appends whatever the position
    char c;
    EXPECT_EQ(crt::fread(&c, 1, 1, append), 0u); // not open for reading
    EXPECT_EQ(crt::ferror(append), 1);
    crt::fclose(append);
    EXPECT_EQ(dir.Read("f.bin"), "abcde");

    crt::FILE* update = crt::fopen(path.c_str(), "r+b");
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(crt::fgetc(update), 'a');
    EXPECT_EQ(crt::fwrite("X", 1, 1, update), 1u);
    EXPECT_EQ(crt::fgetc(update), 'c');
    crt::fclose(update);
    EXPECT_EQ(dir.Read("f.bin"), "aXcde");
}

TEST(CrtFile, RefusesWhatWindowsRefuses) {
    testing_fixtures::TempDir dir;
    const std::string locked = dir.Write("locked.txt", "x").string();
    chmod(locked.c_str(), 0444);
    EXPECT_EQ(crt::fopen(locked.c_str(), "wb"), nullptr);
    EXPECT_EQ(crt::fopen(locked.c_str(), "r+"), nullptr);
    crt::FILE* reading = crt::fopen(locked.c_str(), "rb");
    EXPECT_NE(reading, nullptr);
    crt::fclose(reading);
    EXPECT_EQ(crt::fopen(dir.Path().string().c_str(), "rb"), nullptr); // a folder
    EXPECT_EQ(crt::fopen((dir.Path() / "missing").string().c_str(), "rb"), nullptr);
    EXPECT_EQ(crt::fopen((dir.Path() / "no/such/folder.txt").string().c_str(), "wb"), nullptr);
    EXPECT_EQ(crt::fopen(locked.c_str(), "x"), nullptr);
}

TEST(CrtAccess, ChecksExistenceAndTheReadOnlyAttribute) {
    testing_fixtures::TempDir dir;
    const std::string plain = dir.Write("plain.txt", "").string();
    const std::string locked = dir.Write("locked.txt", "").string();
    chmod(locked.c_str(), 0444);
    const std::string missing = (dir.Path() / "missing").string();
    struct Case {
        const std::string* path;
        int mode;
        int expected;
    };
    const Case cases[] = {
        {&plain, 0, 0},   {&plain, 2, 0},  {&plain, 4, 0},   {&plain, 6, 0},    {&locked, 0, 0},
        {&locked, 2, -1}, {&locked, 4, 0}, {&locked, 6, -1}, {&missing, 0, -1}, {&missing, 4, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(*c.path + " mode " + std::to_string(c.mode));
        EXPECT_EQ(crt::_access(c.path->c_str(), c.mode), c.expected);
    }
}

TEST(CrtMkdir, MakesOneLevel) {
    testing_fixtures::TempDir dir;
    const std::string one = (dir.Path() / "one").string();
    EXPECT_EQ(crt::_mkdir(one.c_str()), 0);
    EXPECT_EQ(crt::_mkdir(one.c_str()), -1);
    EXPECT_EQ(crt::_mkdir((dir.Path() / "a/b").string().c_str()), -1);
}

} // namespace
