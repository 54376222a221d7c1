// The game's menu screens over the widget fixture's display and test font (size 20: glyphs 16
// pixels apart, 0.8 pixels a glyph for each size step below), with the user profiles on a real
// "prefs.dat" and hiscore file in a temporary user folder and the game's encryption key set.
#pragma once

#include "engine/core/knownfiles.h"
#include "engine/core/prefs.h"
#include "engine/core/qzhiscores.h"
#include "engine/core/random.h"
#include "engine/core/settings.h"
#include "game/common/GUserManager.h"
#include "tests/engine/ui/widget_fixture.h"
#include "tests/fixtures/tempdir.h"

#include <filesystem>
#include <string>
#include <vector>

namespace screen_test {

using widget_test::Text;

inline constexpr char kEncryptionKey[] = "Rw5uLk9cTbXe";

class TScreenTest : public widget_test::TWidgetTest {
protected:
    void SetUp() override {
        TWidgetTest::SetUp();
        SetSetting("encryptionkey", kEncryptionKey);
        std::filesystem::create_directories(mFolder.Path() / "user");
        SetFolderRoots(str((mFolder.Path() / "user").c_str()), str(), str());
        mOldCurrent = std::filesystem::current_path();
        std::filesystem::current_path(mFolder.Path());
    }

    void TearDown() override {
        Manager()->GetTopModal()->DeleteChildren();
        Manager()->DeletePendingWindows();
        DestroyUserManager();
        std::filesystem::current_path(mOldCurrent);
        SetFolderRoots(str(), str(), str());
        TWidgetTest::TearDown();
    }

    // Players stored before the profiles are made; "curuser" is `selected`.
    void MakeProfiles(const std::vector<std::string>& names, int selected) {
        {
            TPrefs prefs(true);
            for (size_t i = 0; i < names.size(); ++i) {
                prefs.SetString("name", names[i].c_str(), static_cast<int>(i), false);
            }
            prefs.SetInt("curuser", selected, -1, true);
        }
        CreateUserManager(mRandom);
    }

    static TPrefs& Prefs() { return *GetUserManager()->GetPrefs(); }
    static TQzHiscores& Hiscores() { return *GetUserManager()->GetHiscores(); }

    // Removes the window and deletes it, as closing a screen does.
    static void Close(TWindow* window) {
        window->GetParent()->RemoveChild(window);
        Manager()->DeleteWindowLater(window);
        Manager()->DeletePendingWindows();
    }

    // Globals read through the stack: Lua's truth of the value, and whether it is nil.
    static bool BoolGlobal(const char* name) {
        lua_State* state = Script()->GetState();
        lua_pushstring(state, name);
        lua_gettable(state, LUA_GLOBALSINDEX);
        const bool value = lua_toboolean(state, -1) != 0;
        lua_pop(state, 1);
        return value;
    }
    static bool IsNil(const char* name) {
        lua_State* state = Script()->GetState();
        lua_pushstring(state, name);
        lua_gettable(state, LUA_GLOBALSINDEX);
        const bool nil = lua_isnil(state, -1);
        lua_pop(state, 1);
        return nil;
    }

    static bool Shown(TWindow* window) {
        return window != nullptr && (window->GetFlags() & TWindow::kEnabled) != 0;
    }

    TRandom mRandom;
    testing_fixtures::TempDir mFolder;
    std::filesystem::path mOldCurrent;
};

} // namespace screen_test
