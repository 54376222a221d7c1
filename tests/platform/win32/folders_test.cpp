#include "platform/win32/shlobj.h"

#include "tests/fixtures/tempdir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string BackslashForm(const std::filesystem::path& path) {
    std::string text = path.string();
    for (char& c : text) {
        if (c == '/') {
            c = '\\';
        }
    }
    return text;
}

TEST(SHGetSpecialFolderPathA, FoldersLieBelowHome) {
    testing_fixtures::TempDir home(true);
    struct Case {
        int csidl;
        const char* below;
    };
    const Case cases[] = {
        {CSIDL_DESKTOP, "Desktop"},
        {CSIDL_APPDATA, ".local/share"},
        {CSIDL_COMMON_APPDATA, ".local/share/common"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csidl);
        char path[MAX_PATH] = {};
        // Missing and not to be made: refused.
        EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, c.csidl, FALSE));
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, path, c.csidl, TRUE));
        EXPECT_EQ(std::string(path), BackslashForm(home.Path() / c.below));
        EXPECT_TRUE(std::filesystem::is_directory(home.Path() / c.below));
        // Present now: found without creating.
        EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, c.csidl, FALSE));
    }
}

TEST(SHGetSpecialFolderPathA, RefusesUnknownFoldersAndMissingHome) {
    testing_fixtures::TempDir home(true);
    char path[MAX_PATH] = {};
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, 0x0005, TRUE));
    unsetenv("HOME");
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_APPDATA, TRUE));
}

} // namespace
