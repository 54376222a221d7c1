#include "platform/win32/fileapi.h"
#include "platform/win32/memoryapi.h"

#include "tests/fixtures/tempdir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

HANDLE OpenForReading(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(FileMapping, ViewShowsTheFileAndOutlivesItsHandles) {
    testing_fixtures::TempDir dir;
    const std::string path = dir.Write("pack.bin", "QZPK-mapped bytes").string();
    HANDLE file = OpenForReading(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY | SEC_COMMIT, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(std::memcmp(view, "QZPK-mapped bytes", 17), 0);
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view)); // already gone
}

TEST(FileMapping, RefusesWhatItCannotOffer) {
    testing_fixtures::TempDir dir;
    const std::string empty = dir.Write("empty.bin", "").string();
    const std::string some = dir.Write("some.bin", "1234").string();

    HANDLE emptyFile = OpenForReading(empty);
    EXPECT_EQ(CreateFileMappingA(emptyFile, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    CloseHandle(emptyFile);

    HANDLE file = OpenForReading(some);
    EXPECT_EQ(CreateFileMappingA(file, nullptr, 0x04 /* PAGE_READWRITE */, 0, 0, nullptr), nullptr);
    EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 5, nullptr), nullptr);
    EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, "named"), nullptr);
    EXPECT_EQ(CreateFileMappingA(nullptr, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);

    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, 0x0002 /* FILE_MAP_WRITE */, 0, 0, 0), nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 5), nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 1, 0), nullptr); // not on a page
    CloseHandle(mapping);
    CloseHandle(file);
    EXPECT_FALSE(UnmapViewOfFile(nullptr));
}

} // namespace
