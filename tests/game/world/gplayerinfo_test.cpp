// The player progress against a real "prefs.dat" with the demo's progress functions: the table
// through the stored text and back, where it is stored, damaged texts, and the figures asked of the
// scripts.
#include "game/world/GPlayerInfo.h"

#include "platform/win32/winuser.h"
#include "tests/game/world/progress_fixture.h"

#include <filesystem>
#include <string>

namespace world_test {
namespace {

// Deep equality of two Lua values, and the defaults the demo's SetDefaultInfo makes.
constexpr char kSame[] =
    "function Same(a, b)\n"
    "  if type(a) ~= 'table' or type(b) ~= 'table' then return a == b end\n"
    "  for k, v in pairs(a) do if not Same(v, b[k]) then return false end end\n"
    "  for k, v in pairs(b) do if a[k] == nil then return false end end\n"
    "  return true\n"
    "end\n"
    "function IsDefault(t)\n"
    "  local saved = gGlobalPlayerInfo\n"
    "  SetDefaultInfo()\n"
    "  local same = Same(t, gGlobalPlayerInfo)\n"
    "  gGlobalPlayerInfo = saved\n"
    "  return same\n"
    "end\n";

class PlayerProgress : public TProgressTest {
protected:
    void SetUp() override {
        TProgressTest::SetUp();
        Run(kSame);
    }

    // Players named in order, the last one selected.
    void MakePlayers(std::initializer_list<const char*> names) {
        CreateUserManager(mRandom);
        for (const char* name : names) {
            GetUserManager()->CreateNewUser(name);
        }
    }

    bool Check(const char* expression) {
        Run((std::string("checked = ") + expression).c_str());
        return Bool("checked");
    }
};

TEST_F(PlayerProgress, TheStoredTextLoadsBackAsTheSameTable) {
    MakePlayers({"Ann"});
    // Only the text's round trip counts here, not the demo's repairs of what it reads.
    Run("CheckVersionProfiles = function() end\n"
        "expected = { money = 1234567, name = \"O'Neil\\nsecond line\", [1] = 'one', [2] = 2,"
        "  [5] = 'five', ['my key'] = 0.1, nested = { deep = { 1, 2, { x = -0.5 } }, e = {} } }\n"
        "gGlobalPlayerInfo = expected");
    mInfo->Save();
    Run("gGlobalPlayerInfo = { money = 1 }");
    mInfo->Load();
    EXPECT_TRUE(Check("gGlobalPlayerInfo ~= expected and Same(gGlobalPlayerInfo, expected)"));
    EXPECT_TRUE(Check("gGlobalPlayerInfo['my key'] == 0.1 and gGlobalPlayerInfo.money == 1234567"));
    EXPECT_TRUE(Check("gGlobalPlayerInfo.name == \"O'Neil\\nsecond line\""));
}

TEST_F(PlayerProgress, TheDemoFiguresSurviveTheProfile) {
    MakePlayers({"Ann"});
    mInfo->Load();
    Run("gGlobalPlayerInfo.money = 1234567");
    EXPECT_EQ(mInfo->UpgradeBuyed("it's\nmine", 1000, 2, 3), 1);
    EXPECT_EQ(mInfo->UpgradeBuyed("too dear", 5000000, 2, 1), 0);
    EXPECT_EQ(mInfo->LevelCompleted(1, 300, true), 1);
    // LevelCompleted saved; nothing of what follows is.
    EXPECT_EQ(mInfo->UpgradeBuyed("later", 1, 2, 1), 1);
    Run("SetDefaultInfo()");
    mInfo->Load();
    EXPECT_EQ(mInfo->GetMoney(), 1234567 - 1000 + 300);
    EXPECT_EQ(mInfo->GetTotalScore(), 300);
    EXPECT_EQ(mInfo->GetUpgradeIndex("it's\nmine", 5), 3);
    EXPECT_EQ(mInfo->GetUpgradeIndex("it's\nmine", 1), 0);
    EXPECT_EQ(mInfo->GetUpgradeIndex("later", 5), 0);
    EXPECT_TRUE(Check("gGlobalPlayerInfo.expert[1] == 1 and gGlobalPlayerInfo.lastLevel == 2"));
    Run("last = CPP_GetLastLevelNum()");
    EXPECT_EQ(Number("last"), 2);
}

TEST_F(PlayerProgress, TheLuaFunctionsLoadSaveAndClear) {
    MakePlayers({"Ann"});
    Run("CPP_LoadGO(); gGlobalPlayerInfo.money = 77; gLevelNum = 1; CPP_WriteGO()");
    EXPECT_NE(Stored("gGlobalPlayerInfo", 0).find("money=77"), std::string::npos);
    Run("gGlobalPlayerInfo = nil; CPP_LoadGO(); money = GetMoney()");
    EXPECT_EQ(Number("money"), 77);

    // Clearing saves even when the defaults are what is stored: the file comes back.
    Run("CPP_ClearCurrentProfile()");
    const std::string defaults = Stored("gGlobalPlayerInfo", 0);
    std::filesystem::remove(PrefsFile());
    Run("CPP_ClearCurrentProfile()");
    ASSERT_TRUE(std::filesystem::exists(PrefsFile()));
    EXPECT_EQ(Stored("gGlobalPlayerInfo", 0), defaults);
    Run("cleared = IsDefault(gGlobalPlayerInfo)");
    EXPECT_TRUE(Bool("cleared"));
}

TEST_F(PlayerProgress, WithoutACurrentPlayerTheGlobalRecordIsUsed) {
    CreateUserManager(mRandom);
    ASSERT_EQ(GetUserManager()->GetCurrentUser(), -1);
    mInfo->Load();
    Run("gGlobalPlayerInfo.money = 9");
    mInfo->Save();
    mInfo->SetUserValue("tutorial_03", 1);
    EXPECT_NE(Stored("gGlobalPlayerInfo", -1).find("money=9"), std::string::npos);
    EXPECT_EQ(StoredInt("tutorial_03", -1), 1);
    EXPECT_EQ(mInfo->GetUserValue("tutorial_03", 0), 1);
    EXPECT_EQ(mInfo->GetUserValue("tutorial_04", -7), -7);
}

TEST_F(PlayerProgress, UserValuesGoToTheCurrentPlayerAndAreWrittenAtOnce) {
    MakePlayers({"Ann", "Bob"});
    mInfo->SetUserValue("tutorial_01", 5);
    EXPECT_EQ(StoredInt("tutorial_01", 1), 5);
    EXPECT_EQ(StoredInt("tutorial_01", 0), INT_MIN);
    GetUserManager()->SetCurrentUser(0);
    EXPECT_EQ(mInfo->GetUserValue("tutorial_01", 0), 0);
}

TEST_F(PlayerProgress, WithoutAUserManagerSavesGoStraightToTheFile) {
    {
        TPrefs prefs(true);
        prefs.SetString("name", "Ann", 0, false);
        prefs.SetInt("curuser", 0, -1, true);
    }
    Run("SetDefaultInfo(); gGlobalPlayerInfo.money = 12");
    mInfo->Save();
    mInfo->SetUserValue("tutorial_02", 1);
    EXPECT_NE(Stored("gGlobalPlayerInfo", 0).find("money=12"), std::string::npos);
    EXPECT_EQ(StoredInt("tutorial_02", 0), 1);
    EXPECT_EQ(Stored("name", 0), "Ann");
}

TEST_F(PlayerProgress, SavingWithoutTheTableQuitsAndWritesNothing) {
    MakePlayers({"Ann"});
    Run("SetUserVariable = function() ran = 1 end");
    for (const char* missing : {"nil", "'not a table'"}) {
        SCOPED_TRACE(missing);
        std::filesystem::remove(PrefsFile());
        MSG stale;
        while (PeekMessageA(&stale, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0) {
        }
        Run((std::string("gGlobalPlayerInfo = ") + missing).c_str());
        mInfo->Save();
        MSG quit;
        ASSERT_NE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE), 0);
        EXPECT_EQ(quit.wParam, 1U);
        EXPECT_FALSE(std::filesystem::exists(PrefsFile()));
        EXPECT_TRUE(IsNil("ran"));
        EXPECT_NE(LogText().find("GPlayerInfo::Save: there is no gGlobalPlayerInfo table; the "
                                 "program quits"),
                  std::string::npos);
    }
}

TEST_F(PlayerProgress, ADamagedTextGivesTheDefaultsAndIsKeptAside) {
    struct TCase {
        const char* text;
        bool damaged;
    };
    // Texts that do not read back as a value, whatever they would have run; and one that reads
    // back as no table, which the scripts' check repairs.
    const TCase cases[] = {
        {"{money=7,", true},
        {"{money=7}; gHacked = 1", true},
        {"{money=7} gHacked = 1", true},
        {"{money = 1 + {}}", true},
        {"{money = GetMoney()}", true},
        {"(function() gHacked = 1 end)()", false},
        {"5", false},
    };
    MakePlayers({"Ann", "Bob"});
    GetUserManager()->SetCurrentUser(0);
    mInfo->Load();
    Run("gGlobalPlayerInfo.money = 500; annTable = gGlobalPlayerInfo");
    mInfo->Save();
    const std::string ann = Stored("gGlobalPlayerInfo", 0);
    size_t logged = LogText().size();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.text);
        GetUserManager()->SetCurrentUser(0);
        mInfo->Load();
        GetUserManager()->GetPrefs()->SetString("gGlobalPlayerInfo", c.text, 1, true);
        GetUserManager()->GetPrefs()->SetString("gGlobalPlayerInfo.bad", "", 1, true);
        GetUserManager()->SetCurrentUser(1);
        mInfo->Load();
        mInfo->Save();
        EXPECT_TRUE(Check("IsDefault(gGlobalPlayerInfo)"));
        EXPECT_TRUE(IsNil("gHacked"));
        EXPECT_EQ(Stored("gGlobalPlayerInfo.bad", 1), c.damaged ? c.text : "");
        const std::string log = LogText();
        const size_t line = log.rfind("GPlayerInfo::Load: the progress of user 1 does not read "
                                      "back (stored progress:");
        EXPECT_EQ(line != std::string::npos && line >= logged, c.damaged) << log;
        EXPECT_EQ(log.find("); kept under gGlobalPlayerInfo.bad, the player starts from the "
                           "defaults",
                           logged) != std::string::npos,
                  c.damaged);
        logged = log.size();
        EXPECT_EQ(Stored("gGlobalPlayerInfo", 0), ann);
        EXPECT_NE(Stored("gGlobalPlayerInfo", 1).find("money=0"), std::string::npos);
    }
}

} // namespace
} // namespace world_test
