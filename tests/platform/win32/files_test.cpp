#include "platform/win32/fileapi.h"
#include "platform/win32/pathconv.h"
#include "platform/win32/processenv.h"

#include "tests/fixtures/tempdir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string WindowsForm(const fs::path& path) {
    return standin::ToWindowsPath(path.string());
}

// Runs a test inside its own temporary folder and goes back afterwards.
class InTempFolder : public ::testing::Test {
protected:
    InTempFolder() : mOld(fs::current_path()) { fs::current_path(mDir.Path()); }
    ~InTempFolder() override { fs::current_path(mOld); }

    testing_fixtures::TempDir mDir;
    fs::path mOld;
};

using PathConversion = InTempFolder;

TEST_F(PathConversion, MatchesExistingNamesWithoutRegardToCase) {
    mDir.Write("Data/Sub/File.TXT", "x");
    struct Case {
        const char* windows;
        const char* posix;
    };
    const Case cases[] = {
        {"Data\\Sub\\File.TXT", "Data/Sub/File.TXT"},
        {"data\\sub\\file.txt", "Data/Sub/File.TXT"},
        {"DATA/sub\\FILE.txt", "Data/Sub/File.TXT"},
        {"C:data\\sub\\new.txt", "Data/Sub/new.txt"},             // drive dropped, new name kept
        {"data\\missing\\Deeper.txt", "Data/missing/Deeper.txt"}, // nothing below a missing folder
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.windows);
        EXPECT_EQ(standin::ToPosixPath(c.windows), c.posix);
    }
    EXPECT_EQ(standin::ToWindowsPath("/a/b/"), "\\a\\b\\");
}

using CreateDirectory = InTempFolder;

TEST_F(CreateDirectory, MakesOneLevel) {
    EXPECT_TRUE(CreateDirectoryA("one", nullptr));
    EXPECT_TRUE(fs::is_directory("one"));
    EXPECT_FALSE(CreateDirectoryA("one", nullptr));        // exists
    EXPECT_FALSE(CreateDirectoryA("two\\three", nullptr)); // parent missing
    EXPECT_TRUE(CreateDirectoryA("one\\inner", nullptr));
    EXPECT_TRUE(fs::is_directory("one/inner"));
}

using FindFiles = InTempFolder;

std::vector<std::string> List(const char* pattern, std::vector<DWORD>* attributes = nullptr) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.push_back(data.cFileName);
        if (attributes != nullptr) {
            attributes->push_back(data.dwFileAttributes);
        }
    } while (FindNextFileA(find, &data));
    EXPECT_TRUE(FindClose(find));
    return names;
}

TEST_F(FindFiles, ListsSortedWithoutRegardToCaseAndMatchesMasks) {
    mDir.Write("dir/b.txt", "12345");
    mDir.Write("dir/A.png", "");
    mDir.Write("dir/c.TXT", "");
    fs::create_directory("dir/Sub");

    const std::vector<std::string> all = {".", "..", "A.png", "b.txt", "c.TXT", "Sub"};
    EXPECT_EQ(List("dir\\*"), all);
    EXPECT_EQ(List("dir/*.*"), all);
    EXPECT_EQ(List("dir/*.txt"), (std::vector<std::string>{"b.txt", "c.TXT"}));
    EXPECT_EQ(List("dir/?.png"), (std::vector<std::string>{"A.png"}));
    EXPECT_TRUE(List("dir/*.jpg").empty());
    EXPECT_TRUE(List("nowhere/*").empty());

    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA("dir/b.txt", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    FindClose(find);
}

TEST_F(FindFiles, ReportsFoldersAndReadOnlyFiles) {
    mDir.Write("dir/locked.txt", "");
    chmod("dir/locked.txt", 0444);
    fs::create_directory("dir/folder");
    std::vector<DWORD> attributes;
    const std::vector<std::string> names = List("dir/*", &attributes);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[2], "folder");
    EXPECT_EQ(attributes[2] & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(names[3], "locked.txt");
    EXPECT_EQ(attributes[3], static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

using FullPath = InTempFolder;

TEST_F(FullPath, FoldsRelativeNamesIntoTheCurrentFolder) {
    const std::string here = WindowsForm(fs::current_path());
    struct Case {
        const char* name;
        std::string expected;
    };
    const Case cases[] = {
        {"a.txt", here + "\\a.txt"},   {"sub\\..\\b.txt", here + "\\b.txt"},
        {".\\x/./y", here + "\\x\\y"}, {"\\abs\\c", "\\abs\\c"},
        {"/abs/../d", "\\d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char buffer[MAX_PATH];
        char* filePart = nullptr;
        const DWORD length = GetFullPathNameA(c.name, MAX_PATH, buffer, &filePart);
        EXPECT_EQ(std::string(buffer), c.expected);
        EXPECT_EQ(length, c.expected.size());
        ASSERT_NE(filePart, nullptr);
        EXPECT_EQ(std::string(filePart), c.expected.substr(c.expected.rfind('\\') + 1));
    }
}

TEST_F(FullPath, ReportsTheSizeNeededWhenTheBufferIsShort) {
    const std::string expected = WindowsForm(fs::current_path()) + "\\name";
    std::vector<char> buffer(expected.size(), '#');
    // One byte short of room for the NUL: nothing written, the size with the NUL returned.
    EXPECT_EQ(GetFullPathNameA("name", static_cast<DWORD>(buffer.size()), buffer.data(), nullptr),
              expected.size() + 1);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(GetFullPathNameA("", MAX_PATH, buffer.data(), nullptr), 0u);
}

using CurrentDirectory = InTempFolder;

TEST_F(CurrentDirectory, ReadsAndChangesTheFolder) {
    fs::create_directory("Inner");
    const std::string here = WindowsForm(fs::current_path());
    char buffer[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, buffer), here.size());
    EXPECT_EQ(std::string(buffer), here);
    EXPECT_EQ(GetCurrentDirectoryA(2, buffer), here.size() + 1);

    EXPECT_TRUE(SetCurrentDirectoryA("inner")); // case-insensitive like Windows
    EXPECT_EQ(fs::current_path(), mDir.Path() / "Inner");
    EXPECT_FALSE(SetCurrentDirectoryA("missing"));
}

using CreateFile = InTempFolder;

TEST_F(CreateFile, OpensRegularFilesOnly) {
    mDir.Write("file.bin", "abcdef");
    mDir.Write("locked.bin", "x");
    chmod("locked.bin", 0444);
    fs::create_directory("folder");

    HANDLE file = CreateFileA("FILE.BIN", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(file, &high), 6u);
    EXPECT_EQ(high, 0u);
    EXPECT_TRUE(CloseHandle(file));

    EXPECT_EQ(CreateFileA("missing", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("folder", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("locked.bin", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("file.bin", GENERIC_READ, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(nullptr, nullptr), INVALID_FILE_SIZE);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

} // namespace
