// The window script of a platform made for one test with the demo's progress functions
// (assets/scripts/progress.lua) and the user profiles over a real "prefs.dat" in a temporary user
// folder; the player progress's Lua functions are published.
#pragma once

#include "engine/core/prefs.h"
#include "engine/core/random.h"
#include "game/common/GUserManager.h"
#include "game/world/GPlayerInfo.h"
#include "tests/fixtures/testpaths.h"
#include "tests/game/shell/shell_fixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace world_test {

using manager_test::Text;

class TProgressTest : public shell_test::TShellTest {
protected:
    void SetUp() override {
        TShellTest::SetUp();
        std::ifstream in(testing_fixtures::SourceDir() / "assets/scripts/progress.lua");
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        ASSERT_FALSE(text.empty());
        Run(text.c_str());
        ASSERT_FALSE(IsNil("SetDefaultInfo"));
        mInfo = GPlayerInfo::Instance();
    }

    void TearDown() override {
        DestroyUserManager();
        TShellTest::TearDown();
    }

    // What the file holds now, read by a store of its own.
    static std::string Stored(const char* key, int user) {
        const TPrefs prefs(false);
        return Text(prefs.GetString(key, "<none>", user));
    }
    static int StoredInt(const char* key, int user) {
        const TPrefs prefs(false);
        return prefs.GetInt(key, INT_MIN, user);
    }
    std::filesystem::path PrefsFile() const { return UserFolder() / "prefs.dat"; }

    // The generator new players' ids are drawn from.
    TRandom mRandom;
    GPlayerInfo* mInfo = nullptr;
};

} // namespace world_test
