-- The player's progress: the table gGlobalPlayerInfo and the functions through which the game
-- reads and changes it. The game keeps the table in the player's profile as Lua text, written
-- back by a writer that drops the keys of numbered entries and writes other keys bare, so every
-- list below runs from 1 without gaps and every key is a plain name. Level numbers count from 1.
--
-- gGlobalPlayerInfo holds:
--   version            the layout of the table (kProgressVersion)
--   money              earned with won levels, spent on upgrades
--   totalScore         the sum of the best scores of the levels won
--   lastLevel          the last level reached: 1 at first, the level after the furthest won
--   currentLevel       the level last chosen (gLevelNum while the game runs)
--   bestScores         the best score of each level, 0 where none was won
--   expert             1 for each level whose expert score was reached, else 0
--   upgrades           bought upgrades: { name = <upgrade>, level = <level>, index = <index> }
--   statistics         per level: { starts, lost, won, seconds } as LevelStatistic keeps them
--   gUpgradeIntroShow  1 once the upgrade introduction was shown

kProgressVersion = 1

-- Level numbers above this are refused: the lists by level are filled up to the level named.
kMostLevels = 999

-- The kinds of LevelStatistic, in their order.
local kStatisticKeys = { "starts", "lost", "won", "seconds" }

-- A number truncated toward zero, within the range of a 32-bit integer (beyond it, or for a
-- value that is no number, the answer is negative or 0).
local function Whole(value)
  value = tonumber(value)
  if not value then
    return 0
  end
  return tonumber(string.format("%d", value))
end

local function NewStatistics()
  return { starts = 0, lost = 0, won = 0, seconds = 0 }
end

local function Zero()
  return 0
end

-- The entry of `level` in a list by level, made (with those before it) when missing.
local function Reach(list, level, make)
  local n = table.getn(list)
  while n < level do
    n = n + 1
    list[n] = make()
  end
  return list[level]
end

-- The table, made afresh when the game has none.
local function Progress()
  if type(gGlobalPlayerInfo) ~= "table" then
    SetDefaultInfo()
  end
  return gGlobalPlayerInfo
end

function SetDefaultInfo()
  gGlobalPlayerInfo = {
    version = kProgressVersion,
    money = 0,
    totalScore = 0,
    lastLevel = 1,
    currentLevel = 1,
    bestScores = {},
    expert = {},
    upgrades = {},
    statistics = {},
    gUpgradeIntroShow = 0,
  }
end

-- The working globals from the table: gLevelNum is the level last chosen.
function SetGlobalVariable()
  gLevelNum = Progress().currentLevel
end

-- The working globals into the table, before the game writes it.
function SetUserVariable()
  local info = Progress()
  if tonumber(gLevelNum) then
    local level = Whole(gLevelNum)
    if level >= 1 and level <= info.lastLevel then
      info.currentLevel = level
    end
  end
end

-- Run after a profile's table was read back: keeps what is sound of it and puts the defaults
-- where anything is missing or damaged, so that a profile of an older or broken layout plays on.
function CheckVersionProfiles()
  local stored = gGlobalPlayerInfo
  SetDefaultInfo()
  if type(stored) ~= "table" then
    return
  end
  local info = gGlobalPlayerInfo
  local function Count(value)
    if type(value) == "number" and value >= 0 then
      return Whole(value)
    end
    return 0
  end
  local function List(value)
    if type(value) == "table" then
      return value
    end
    return {}
  end
  info.money = Count(stored.money)
  info.gUpgradeIntroShow = Count(stored.gUpgradeIntroShow)
  local scores = List(stored.bestScores)
  local experts = List(stored.expert)
  for level = 1, table.getn(scores) do
    info.bestScores[level] = Count(scores[level])
    info.totalScore = info.totalScore + info.bestScores[level]
  end
  for level = 1, table.getn(experts) do
    if Count(experts[level]) > 0 then
      info.expert[level] = 1
    else
      info.expert[level] = 0
    end
  end
  info.lastLevel = Count(stored.lastLevel)
  if info.lastLevel < 1 then
    info.lastLevel = 1
  end
  info.currentLevel = Count(stored.currentLevel)
  if info.currentLevel < 1 or info.currentLevel > info.lastLevel then
    info.currentLevel = info.lastLevel
  end
  local upgrades = List(stored.upgrades)
  for i = 1, table.getn(upgrades) do
    local bought = upgrades[i]
    if type(bought) == "table" and type(bought.name) == "string" and Count(bought.level) >= 1 and
        Count(bought.index) >= 1 then
      table.insert(info.upgrades, { name = bought.name, level = Count(bought.level),
                                    index = Count(bought.index) })
    end
  end
  local statistics = List(stored.statistics)
  for level = 1, table.getn(statistics) do
    local record = NewStatistics()
    if type(statistics[level]) == "table" then
      for i = 1, table.getn(kStatisticKeys) do
        local key = kStatisticKeys[i]
        record[key] = Count(statistics[level][key])
      end
    end
    info.statistics[level] = record
  end
end

-- A won level (its score reached the goal); expert is 1 when the expert score was reached. The
-- score is earned as money each time; the total score counts each level's best score once.
function LevelCompleted(level, score, expert)
  local info = Progress()
  level = Whole(level)
  score = Whole(score)
  if level < 1 or level > kMostLevels then
    return
  end
  if score < 0 then
    score = 0
  end
  local best = Reach(info.bestScores, level, Zero)
  if score > best then
    info.totalScore = info.totalScore + score - best
    info.bestScores[level] = score
  end
  Reach(info.expert, level, Zero)
  if Whole(expert) == 1 then
    info.expert[level] = 1
  end
  info.money = info.money + score
  if level + 1 > info.lastLevel then
    info.lastLevel = level + 1
  end
end

-- Books a bought upgrade: the price leaves the money and the upgrade's index is kept for the
-- upgrade and the level (replacing one bought for both before). 1 when booked; 0, with nothing
-- changed, for a price the money does not cover or an index below 1.
function UpgradeBuyed(name, price, level, index)
  local info = Progress()
  name = tostring(name)
  price = Whole(price)
  level = Whole(level)
  index = Whole(index)
  if price < 0 or price > info.money or index < 1 or level < 1 or level > kMostLevels then
    DebugOut("UpgradeBuyed: " .. name .. " not booked")
    return 0
  end
  info.money = info.money - price
  for i = 1, table.getn(info.upgrades) do
    local bought = info.upgrades[i]
    if bought.name == name and bought.level == level then
      bought.index = index
      return 1
    end
  end
  table.insert(info.upgrades, { name = name, level = level, index = index })
  return 1
end

-- The index of the upgrade bought for `name` at the latest level up to `level`: what is bought
-- stays for the levels after; 0 when none was bought.
function GetUpgradeIndex(name, level)
  local info = Progress()
  name = tostring(name)
  level = Whole(level)
  local found = 0
  local foundLevel = 0
  for i = 1, table.getn(info.upgrades) do
    local bought = info.upgrades[i]
    if bought.name == name and bought.level <= level and bought.level >= foundLevel then
      found = bought.index
      foundLevel = bought.level
    end
  end
  return found
end

function GetMoney()
  return Progress().money
end

function GetTotalScore()
  return Progress().totalScore
end

-- The last level reached. The demo's levels form one line, so every stage answers the same.
function GetCountLevel(stage)
  return Progress().lastLevel
end

-- The per-level counters: kind 1 counts starts, 2 lost levels, 3 won levels, 4 adds up the
-- seconds played. With flag 1 the value is added (a negative value adds nothing); either way the
-- answer is the counter. 0 for an unknown kind or a level out of range.
function LevelStatistic(level, kind, flag, value)
  local key = kStatisticKeys[Whole(kind)]
  level = Whole(level)
  if not key or level < 1 or level > kMostLevels then
    return 0
  end
  local record = Reach(Progress().statistics, level, NewStatistics)
  if Whole(flag) == 1 and Whole(value) > 0 then
    record[key] = record[key] + Whole(value)
  end
  return record[key]
end
