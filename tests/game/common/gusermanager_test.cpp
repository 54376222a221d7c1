// The player profiles against a real "prefs.dat" in a temporary user folder, driven through the
// Lua functions the menus call.
#include "game/common/GUserManager.h"

#include "engine/core/prefs.h"
#include "engine/core/qzhiscores.h"
#include "engine/core/random.h"
#include "tests/game/shell/shell_fixture.h"

#include <climits>
#include <string>
#include <vector>

namespace {

using manager_test::Text;

class UserProfiles : public shell_test::TShellTest {
protected:
    void TearDown() override {
        DestroyUserManager();
        TShellTest::TearDown();
    }

    // The generator new players' ids are drawn from; the game hands over the statistics' one.
    TRandom mRandom;

    // Players stored before the manager is made, each {name, soundlevel}; the global record's
    // "curuser" is `selected`.
    static void StorePlayers(const std::vector<std::string>& names, int selected) {
        TPrefs prefs(true);
        for (size_t i = 0; i < names.size(); ++i) {
            prefs.SetString("name", names[i].c_str(), static_cast<int>(i), false);
        }
        prefs.SetInt("curuser", selected, -1, true);
    }

    static TPrefs& Prefs() { return *GetUserManager()->GetPrefs(); }
    static int Get(const char* key, int user) { return Prefs().GetInt(key, INT_MIN, user); }
    static std::string Name(int user) { return Text(Prefs().GetString("name", "<none>", user)); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int user = 0; user < Prefs().GetUserCount(); ++user) {
            names.push_back(Name(user));
        }
        return names;
    }
};

TEST_F(UserProfiles, TheFirstPlayerTakesTheDefaultsAndIsSelected) {
    CreateUserManager(mRandom);
    Run("before = GetNumUsers()");
    EXPECT_EQ(Number("before"), 0);
    EXPECT_EQ(GetUserManager()->GetCurrentUser(), -1);
    mSound->calls.clear();

    Run("CreateNewUser('Ann'); after = GetNumUsers()");
    EXPECT_EQ(Number("after"), 1);
    EXPECT_EQ(Name(0), "Ann");
    EXPECT_EQ(Get("soundlevel", 0), 500);
    EXPECT_EQ(Get("musiclevel", 0), 500);
    EXPECT_EQ(Get("soundoff", 0), 0);
    EXPECT_EQ(GetUserManager()->GetCurrentUser(), 0);
    EXPECT_EQ(Text(GetUserManager()->GetCurrentUserName()), "Ann");
    const std::vector<std::string> volumes = {"set 1000 0.5", "set 0 0.5", "set 1001 0.5",
                                              "set -1 1"};
    EXPECT_EQ(mSound->calls, volumes);
}

TEST_F(UserProfiles, ANewPlayerInheritsTheSelectedOnesVolumesAndMute) {
    StorePlayers({"Ann", "Bob"}, 0);
    CreateUserManager(mRandom);
    Prefs().SetInt("soundlevel", 200, 0, false);
    Prefs().SetInt("musiclevel", 300, 0, false);
    Prefs().SetInt("soundoff", 1, 0, false);
    Prefs().SetInt("soundlevel", 900, 1, false);
    mSound->calls.clear();

    Run("CreateNewUser('Cid')");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Ann", "Bob", "Cid"}));
    EXPECT_EQ(Get("soundlevel", 2), 200);
    EXPECT_EQ(Get("musiclevel", 2), 300);
    EXPECT_EQ(Get("soundoff", 2), 1);
    EXPECT_EQ(GetUserManager()->GetCurrentUser(), 2);
    const std::vector<std::string> volumes = {"set 1000 0.2", "set 0 0.2", "set 1001 0.3",
                                              "set -1 0"};
    EXPECT_EQ(mSound->calls, volumes);
}

TEST_F(UserProfiles, PlayerIdsAreDrawnFromTheGivenGeneratorBetweenOneAndTheLimit) {
    CreateUserManager(mRandom);
    TRandom& random = mRandom;
    random.Seed(20240611);
    TRandom same;
    same.Seed(20240611);
    Run("CreateNewUser('Ann')");
    EXPECT_EQ(Get("uniq_id", 0), 1 + static_cast<int>(RandomUnitReal(same) * 2147483646.0));
    for (int i = 1; i < 40; ++i) {
        Run("CreateNewUser('x')");
        const int id = Get("uniq_id", i);
        EXPECT_GE(id, 1);
        EXPECT_LE(id, 2147483646);
    }
}

TEST_F(UserProfiles, DeletingAPlayerSelectsTheOneBeforeItOrTheLast) {
    struct TCase {
        const char* name;
        std::vector<std::string> players;
        int selected;
        int deleted;
        std::vector<std::string> left;
        int selectedAfter;
    };
    const TCase cases[] = {
        {"first of three", {"Ann", "Bob", "Cid"}, 0, 0, {"Bob", "Cid"}, 1},
        {"middle of three", {"Ann", "Bob", "Cid"}, 2, 1, {"Ann", "Cid"}, 0},
        {"the only one", {"Ann"}, 0, 0, {}, -1},
        {"past the last", {"Ann", "Bob", "Cid"}, 2, 3, {"Ann", "Bob", "Cid"}, 2},
        {"far past the last", {"Ann", "Bob", "Cid"}, 1, 5, {"Ann", "Bob", "Cid"}, 1},
        {"negative", {"Ann", "Bob"}, 1, -1, {"Ann", "Bob"}, 1},
    };
    for (const TCase& item : cases) {
        DestroyUserManager();
        std::filesystem::remove(UserFolder() / "prefs.dat");
        StorePlayers(item.players, item.selected);
        CreateUserManager(mRandom);
        Run(("DeleteUser(" + std::to_string(item.deleted) + ")").c_str());
        EXPECT_EQ(Names(), item.left) << item.name;
        EXPECT_EQ(GetUserManager()->GetCurrentUser(), item.selectedAfter) << item.name;
        // Saved: the deletion is in the file, not only in the store.
        TPrefs file(false);
        EXPECT_EQ(file.GetUserCount(), static_cast<int>(item.left.size())) << item.name;
    }
}

TEST_F(UserProfiles, SelectingAPlayerThatDoesNotExistChangesNothing) {
    StorePlayers({"Ann", "Bob", "Cid"}, 1);
    CreateUserManager(mRandom);
    const std::string stored = mFolder.Read("user/prefs.dat");
    for (const char* call :
         {"SetCurrentUser(3)", "SetCurrentUser(5)", "SetCurrentUser(-2)", "SetCurrentUser(-5)"}) {
        mSound->calls.clear();
        Run(call);
        EXPECT_EQ(GetUserManager()->GetCurrentUser(), 1) << call;
        EXPECT_TRUE(mSound->calls.empty()) << call;
        EXPECT_EQ(mFolder.Read("user/prefs.dat"), stored) << call;
    }
    // -1 selects nobody: only "curuser" changes, the volumes stay.
    mSound->calls.clear();
    Run("SetCurrentUser(-1)");
    EXPECT_EQ(GetUserManager()->GetCurrentUser(), -1);
    EXPECT_TRUE(mSound->calls.empty());
    Run("SetCurrentUser(2)");
    EXPECT_EQ(GetUserManager()->GetCurrentUser(), 2);
    EXPECT_EQ(mSound->calls.size(), 4u);
}

TEST_F(UserProfiles, AStaleSelectionIsKeptButNotApplied) {
    StorePlayers({"Ann"}, 4);
    CreateUserManager(mRandom);
    EXPECT_EQ(GetUserManager()->GetCurrentUser(), 4);
    EXPECT_TRUE(mSound->calls.empty());
    // No player name was given to the hiscore client: a score is filed under none.
    GetUserManager()->GetHiscores()->AddLocalScore(10, true, nullptr, nullptr);
    char name[32] = "unchanged";
    ASSERT_TRUE(GetUserManager()->GetHiscores()->GetScore(
        true, 0, nullptr, name, static_cast<int>(sizeof name), nullptr, nullptr, nullptr, 0));
    EXPECT_STREQ(name, "");
}

TEST_F(UserProfiles, ToggleSoundMuteFlipsBetweenZeroAndOne) {
    StorePlayers({"Ann"}, 0);
    CreateUserManager(mRandom);
    struct TCase {
        int stored;
        int after;
        const char* master;
    };
    // The remainder keeps the dividend's sign: -2 + 1 gives -1, which is not 0, so muted.
    const TCase cases[] = {{3, 0, "set -1 1"},
                           {0, 1, "set -1 0"},
                           {1, 0, "set -1 1"},
                           {-2, -1, "set -1 0"},
                           {INT_MAX, 0, "set -1 1"}};
    for (const TCase& item : cases) {
        Prefs().SetInt("soundoff", item.stored, 0, false);
        mSound->calls.clear();
        Run("ToggleSoundMute()");
        EXPECT_EQ(Get("soundoff", 0), item.after) << item.stored;
        EXPECT_EQ(mSound->calls, std::vector<std::string>{item.master}) << item.stored;
    }
}

TEST_F(UserProfiles, OnlyAStoredOneStartsFullScreen) {
    struct TCase {
        const char* stored;
        bool fullScreen;
    };
    const TCase cases[] = {{nullptr, true}, {"1", true}, {"2", false}, {"0", false}, {"x", false}};
    for (const TCase& item : cases) {
        DestroyUserManager();
        std::filesystem::remove(UserFolder() / "prefs.dat");
        if (item.stored != nullptr) {
            TPrefs prefs(true);
            prefs.SetString("fullscreen", item.stored, -1, true);
        }
        CreateUserManager(mRandom);
        mDisplay.setDisplays.clear();
        mSound->calls.clear();
        GetUserManager()->ApplyVideoMode();
        const std::string name = item.stored != nullptr ? item.stored : "absent";
        ASSERT_EQ(mDisplay.setDisplays.size(), 1u) << name;
        EXPECT_EQ(mDisplay.setDisplays[0].width, 800) << name;
        EXPECT_EQ(mDisplay.setDisplays[0].height, 600) << name;
        EXPECT_EQ(mDisplay.setDisplays[0].fullScreen, item.fullScreen) << name;
        EXPECT_EQ(mSound->calls.size(), 4u) << name << ": the volumes follow";
    }
}

// A display that refuses to change its mode.
struct TStubbornDisplay : platform_test::TFakeDisplay {
    bool SetFullscreen(bool /*full*/) override { return false; }
};

TEST_F(UserProfiles, ToggleFullScreenStoresOnlyAModeTheDisplayTook) {
    CreateUserManager(mRandom);
    Run("switched = ToggleFullScreen()");
    EXPECT_TRUE(Bool("switched"));
    EXPECT_TRUE(mDisplay.fullScreen);
    EXPECT_EQ(Get("fullscreen", -1), 1);
    Run("switched = ToggleFullScreen()");
    EXPECT_TRUE(Bool("switched"));
    EXPECT_EQ(Get("fullscreen", -1), 0);

    TStubbornDisplay stubborn;
    SetDisplayLink(&stubborn);
    Run("switched = ToggleFullScreen()");
    EXPECT_FALSE(Bool("switched"));
    EXPECT_EQ(Get("fullscreen", -1), 0);
    SetDisplayLink(&mDisplay);

    // Alt+Enter switched the display behind the game's back: the preference follows.
    mDisplay.fullScreen = true;
    GetUserManager()->StoreFullScreen();
    EXPECT_EQ(TPrefs(false).GetInt("fullscreen", -1, -1), 1);
}

TEST_F(UserProfiles, ScoresAreFiledUnderTheSelectedPlayerAndTheGameMode) {
    StorePlayers({"Ann", "Bob"}, 1);
    CreateUserManager(mRandom);
    TQzHiscores& hiscores = *GetUserManager()->GetHiscores();
    const auto rows = [&hiscores] { return hiscores.GetScoreCount(true); };
    hiscores.AddLocalScore(100, true, nullptr, nullptr);
    char name[32] = {};
    ASSERT_TRUE(hiscores.GetScore(true, 0, nullptr, name, static_cast<int>(sizeof name), nullptr,
                                  nullptr, nullptr, 0));
    EXPECT_STREQ(name, "Bob");

    Run("SetCurrentGameMode(1)");
    EXPECT_EQ(GetUserManager()->GetGameMode(), 1);
    EXPECT_EQ(rows(), 0) << "the empty mode's table";
    hiscores.AddLocalScore(50, true, nullptr, nullptr);
    EXPECT_EQ(rows(), 1);
    for (const char* ignored : {"SetCurrentGameMode(2)", "SetCurrentGameMode(-1)"}) {
        Run(ignored);
        EXPECT_EQ(GetUserManager()->GetGameMode(), 1) << ignored;
    }
    Run("SetCurrentGameMode(0)");
    ASSERT_EQ(rows(), 1);
    int score = 0;
    ASSERT_TRUE(hiscores.GetScore(true, 0, nullptr, nullptr, 0, nullptr, &score, nullptr, 0));
    EXPECT_EQ(score, 100) << "the story mode's table";
}

TEST_F(UserProfiles, NamesAreComparedExactlyAndRenamed) {
    StorePlayers({"Ann", "Bob"}, 1);
    CreateUserManager(mRandom);
    Run("a = IsNameInUse('Ann'); b = IsNameInUse('ann'); c = IsNameInUse('An'); d = "
        "IsNameInUse('')");
    EXPECT_TRUE(Bool("a"));
    EXPECT_FALSE(Bool("b"));
    EXPECT_FALSE(Bool("c"));
    EXPECT_FALSE(Bool("d"));
    Run("ChangeCurrentUserName('Rob')");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Ann", "Rob"}));
    EXPECT_EQ(Text(GetUserManager()->GetUserName(1)), "Rob");
}

TEST_F(UserProfiles, QuitToMainMenuPopsDownToTheBottomWindow) {
    CreateUserManager(mRandom);
    Run("QuitToMainMenu()");
    EXPECT_EQ(Stack(), std::vector<std::string>{Text(mScreen->GetName())}) << "nothing to pop";
    Push("menu");
    Push("game");
    Push("pause");
    Run("QuitToMainMenu()");
    EXPECT_EQ(Stack(), std::vector<std::string>{Text(mScreen->GetName())});
}

TEST_F(UserProfiles, TheFileReadBackAfterDestructionHoldsEveryChange) {
    CreateUserManager(mRandom);
    Run("CreateNewUser('Ann'); CreateNewUser('Bob'); CreateNewUser('Cid')");
    Run("DeleteUser(0); ChangeCurrentUserName('Rob'); ToggleSoundMute(); ToggleFullScreen()");
    // Written without saving, as the player progress does between its own saves.
    Prefs().SetString("gGlobalPlayerInfo", "{level=3}", 0, false);
    const int firstId = Get("uniq_id", 0);
    DestroyUserManager();
    EXPECT_EQ(GetUserManager(), nullptr);

    // Deleting Ann selected the last player, Cid, who was then renamed and muted.
    TPrefs file(false);
    ASSERT_EQ(file.GetUserCount(), 2);
    EXPECT_EQ(Text(file.GetString("name", "", 0)), "Bob");
    EXPECT_EQ(Text(file.GetString("name", "", 1)), "Rob");
    EXPECT_EQ(file.GetInt("curuser", -9, -1), 1);
    EXPECT_EQ(file.GetInt("soundoff", -9, 0), 0);
    EXPECT_EQ(file.GetInt("soundoff", -9, 1), 1);
    EXPECT_EQ(file.GetInt("fullscreen", -9, -1), 1);
    EXPECT_EQ(file.GetInt("uniq_id", -9, 0), firstId);
    EXPECT_EQ(Text(file.GetString("gGlobalPlayerInfo", "", 0)), "{level=3}");
}

TEST_F(UserProfiles, TheLuaFunctionsLeaveWithTheManager) {
    CreateUserManager(mRandom);
    Run("ok = pcall(GetNumUsers)");
    EXPECT_TRUE(Bool("ok"));
    DestroyUserManager();
    Run("ok = pcall(GetNumUsers); gone = GetNumUsers == nil");
    EXPECT_FALSE(Bool("ok"));
    EXPECT_TRUE(Bool("gone"));
    DestroyUserManager();
}

} // namespace
