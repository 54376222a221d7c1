-- The player-progress functions of assets/scripts/progress.lua, run in a plain script after that
-- file. Every expected value is worked out by hand from the rules in the file's comments.

local function Check(actual, expected, what)
  if actual ~= expected then
    error(what .. ": " .. tostring(actual) .. " instead of " .. tostring(expected), 2)
  end
end

-- The profile writer of the game: numbered entries lose their keys, other keys are written bare,
-- numbers with "%g", strings between single quotes.
local function Written(value)
  local kind = type(value)
  if kind == "nil" then
    return "nil"
  elseif kind == "boolean" then
    return tostring(value)
  elseif kind == "number" then
    return string.format("%g", value)
  elseif kind == "string" then
    return "'" .. value .. "'"
  elseif kind == "table" then
    local text = "{"
    for key, entry in pairs(value) do
      if type(key) == "number" then
        text = text .. Written(entry) .. "; "
      else
        text = text .. tostring(key) .. "=" .. Written(entry) .. "; "
      end
    end
    return text .. "} "
  end
  return ""
end

-- The game's load of a stored profile.
local function Load(text)
  local chunk = assert(loadstring("gGlobalPlayerInfo = " .. text .. "; CheckVersionProfiles(); SetGlobalVariable();"))
  chunk()
end

-- Defaults.
SetDefaultInfo()
SetGlobalVariable()
Check(GetMoney(), 0, "money at first")
Check(GetTotalScore(), 0, "total score at first")
Check(GetCountLevel(0), 1, "last level at first")
Check(GetUpgradeIndex("seat_hair", 1), 0, "no upgrade at first")
Check(gLevelNum, 1, "level to play at first")
Check(gGlobalPlayerInfo.gUpgradeIntroShow, 0, "upgrade introduction not shown")

-- Level 1 won with 60, then again with 120 and the expert score.
LevelCompleted(1, 60, 0)
Check(GetMoney(), 60, "money after the first win")
Check(GetTotalScore(), 60, "total after the first win")
Check(GetCountLevel(0), 2, "the next level is reached")
Check(gGlobalPlayerInfo.expert[1], 0, "no expert score yet")
LevelCompleted(1, 120, 1)
Check(GetMoney(), 180, "money earns each win")
Check(GetTotalScore(), 120, "the total counts the level's best score once")
Check(GetCountLevel(0), 2, "replaying a level reaches nothing new")
Check(gGlobalPlayerInfo.expert[1], 1, "expert score reached")
-- A lower score later keeps the best; the money still grows.
LevelCompleted(1, 30, 0)
Check(GetTotalScore(), 120, "a worse score keeps the best")
Check(GetMoney(), 210, "money after the third win")
Check(gGlobalPlayerInfo.expert[1], 1, "the expert mark stays")
-- Winning level 3 fills level 2's entries, so the lists keep no gaps.
LevelCompleted(3, 50, 0)
Check(GetCountLevel(0), 4, "level 3 won")
Check(table.getn(gGlobalPlayerInfo.bestScores), 3, "scores by level without gaps")
Check(gGlobalPlayerInfo.bestScores[2], 0, "level 2 not won")
Check(GetTotalScore(), 170, "total of the best scores")
-- Nothing counts for a level out of range; no list grows to reach it.
LevelCompleted(0, 500, 1)
LevelCompleted(kMostLevels + 1, 500, 1)
Check(GetMoney(), 260, "levels out of range earn nothing")
Check(table.getn(gGlobalPlayerInfo.bestScores), 3, "no list grows for them")

-- Upgrades: bought for a level, kept for the levels after it, replaced by a later purchase.
Check(UpgradeBuyed("seat_hair", 100, 2, 1), 1, "first purchase")
Check(GetMoney(), 160, "the price is paid")
Check(GetUpgradeIndex("seat_hair", 1), 0, "not bought before level 2")
Check(GetUpgradeIndex("seat_hair", 2), 1, "bought at level 2")
Check(GetUpgradeIndex("seat_hair", 5), 1, "kept for later levels")
Check(GetUpgradeIndex("upgr_student_1", 5), 0, "another upgrade")
Check(UpgradeBuyed("seat_hair", 60, 4, 2), 1, "second purchase")
Check(GetMoney(), 100, "the second price is paid")
Check(GetUpgradeIndex("seat_hair", 3), 1, "level 3 still has the first")
Check(GetUpgradeIndex("seat_hair", 4), 2, "level 4 has the second")
Check(UpgradeBuyed("seat_hair", 40, 4, 3), 1, "bought again for the same level")
Check(GetUpgradeIndex("seat_hair", 4), 3, "the same level's purchase is replaced")
Check(table.getn(gGlobalPlayerInfo.upgrades), 2, "one record a name and level")
Check(UpgradeBuyed("upgr_student_1_1", 61, 4, 1), 0, "more than the money")
Check(GetMoney(), 60, "a refused purchase costs nothing")
Check(GetUpgradeIndex("upgr_student_1_1", 4), 0, "a refused purchase is not booked")
Check(UpgradeBuyed("upgr_student_1_1", 10, 4, 0), 0, "index 0 buys nothing")
Check(UpgradeBuyed("upgr_student_1_1", 10, 0, 1), 0, "level 0 buys nothing")
Check(UpgradeBuyed("upgr_student_1_1", -10, 4, 1), 0, "a negative price buys nothing")
Check(GetMoney(), 60, "refusals cost nothing")

-- Statistics: counters by kind; a read answers without changing.
Check(LevelStatistic(2, 1, 1, 1), 1, "a start")
Check(LevelStatistic(2, 1, 1, 1), 2, "another start")
Check(LevelStatistic(2, 1, 0, 1), 2, "reading the starts")
Check(LevelStatistic(2, 2, 0, 1), 0, "no loss yet")
Check(LevelStatistic(2, 4, 1, 70), 70, "seconds played")
Check(LevelStatistic(2, 4, 1, 30), 100, "seconds add up")
Check(LevelStatistic(2, 4, 1, -5), 100, "negative time adds nothing")
Check(LevelStatistic(2, 4, 0, 1), 100, "reading the seconds")
Check(LevelStatistic(2, 9, 1, 1), 0, "an unknown kind")
Check(LevelStatistic(0, 1, 1, 1), 0, "level 0")
Check(LevelStatistic(kMostLevels + 1, 1, 1, 1), 0, "a level beyond the last")
Check(table.getn(gGlobalPlayerInfo.statistics), 2, "statistics by level without gaps")

-- The working globals go into the table before it is written, within the levels reached.
gLevelNum = 3
SetUserVariable()
Check(gGlobalPlayerInfo.currentLevel, 3, "the level chosen")
gLevelNum = 9
SetUserVariable()
Check(gGlobalPlayerInfo.currentLevel, 3, "a level not reached is not kept")
gGlobalPlayerInfo.gUpgradeIntroShow = 1

-- Written by the game's profile writer and read back, everything survives.
local text = Written(gGlobalPlayerInfo)
gGlobalPlayerInfo = nil
gLevelNum = nil
Load(text)
Check(GetMoney(), 60, "money read back")
Check(GetTotalScore(), 170, "total read back")
Check(GetCountLevel(0), 4, "last level read back")
Check(gLevelNum, 3, "level to play read back")
Check(gGlobalPlayerInfo.bestScores[1], 120, "best score read back")
Check(gGlobalPlayerInfo.bestScores[3], 50, "best score of level 3 read back")
Check(gGlobalPlayerInfo.expert[1], 1, "expert mark read back")
Check(GetUpgradeIndex("seat_hair", 3), 1, "first upgrade read back")
Check(GetUpgradeIndex("seat_hair", 4), 3, "second upgrade read back")
Check(LevelStatistic(2, 4, 0, 1), 100, "seconds read back")
Check(LevelStatistic(2, 1, 0, 1), 2, "starts read back")
Check(gGlobalPlayerInfo.gUpgradeIntroShow, 1, "introduction mark read back")

-- A damaged or older profile keeps what is sound and takes the defaults for the rest.
Load("{ money = -5; lastLevel = 'x'; bestScores = { 10; 'a'; 30; }; " ..
     "upgrades = { { name = 'door'; level = 2; index = 1; }; { level = 1; index = 1; }; 7; }; " ..
     "statistics = 4; }")
Check(GetMoney(), 0, "negative money")
Check(GetCountLevel(0), 1, "a last level that is no number")
Check(gGlobalPlayerInfo.bestScores[2], 0, "a score that is no number")
Check(GetTotalScore(), 40, "the total follows the scores kept")
Check(GetUpgradeIndex("door", 2), 1, "a sound upgrade record is kept")
Check(table.getn(gGlobalPlayerInfo.upgrades), 1, "damaged upgrade records go")
Check(type(gGlobalPlayerInfo.statistics), "table", "statistics made again")
Check(gGlobalPlayerInfo.version, kProgressVersion, "the layout's version")
Check(gLevelNum, 1, "the level to play falls back to the last reached")
Load("7")
Check(type(gGlobalPlayerInfo), "table", "a profile that is no table")
Check(GetCountLevel(0), 1, "defaults for a profile that is no table")

-- The functions make the table when the game has none.
gGlobalPlayerInfo = nil
Check(GetMoney(), 0, "money without a table")
LevelCompleted(2, 10, 0)
Check(GetCountLevel(0), 3, "a win without a table starts one")
