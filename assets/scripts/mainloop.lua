-- The main window script's game side, run once by the game main at start-up: the globals and
-- functions the game calls by name, then the loading screen and the first menu it swaps to, which
-- runs in the window script's coroutine until the program quits.

ReadFile("scripts/progress.lua")

-- 1 sends play-tracking reports; the demo sends none.
gSendReport = 0
-- 1 gives the game control its developer cheats.
gCheatMode = 0
-- Appended to the version in tracking reports.
gGameVersionPostfix = nil

-- The level and stage the game window starts, and how many levels the demo has.
gLevelNum = 1
gStageNum = 0
gDemoLevelCount = 4

-- The grid of the power buttons on the game screen: two rows a column, from the first button's
-- top left corner, on the wall between the money panel and the entrance, where no bench, station
-- or girl stands (over the benches they would take the clicks meant for the waiting girls).
power_begin_x = 16
power_begin_y = 100
power_delta_x = 64
power_delta_y = 58

SetDefaultInfo()
SetGlobalVariable()

-- Run by the main menu when there is no player: the new-player dialog asks for a name. The menu
-- is then built anew, so that it welcomes the player.
function NewUser()
  DoModal("scripts/newplayer.lua")
  PopModal("mainmenu")
end

-- The game screen's power buttons and their disabled looks, by the names of the game data's
-- powers. The level hides them when it loads and ends; the game window shows those it places.
local kPowerButtons = { "energy_boost", "makeup_power", "hairstyle_power", "poise_power",
                        "podium_power" }

function HidePowerButtons()
  for _, name in ipairs(kPowerButtons) do
    EnableWindow(name, false)
    EnableWindow(name .. "_dis", false)
  end
end

-- The power selection's buttons show their power's icon in the bitmap the button holds.
function SetPowerIconBitmap(window, image)
  SetBitmap(window, image)
end

-- The number of parts the selector offers a girl of the type at the station: the demo has three
-- hair styles and three make-ups for every girl on every level.
local kSelectorParts = { hairstyle = 3, makeup = 3 }

function GetSelectorCount(stage, level, scene, girlType)
  return kSelectorParts[scene] or 0
end

-- The judging scene names the last judged event over the hall ("last_event_" + its name in the
-- string table), and takes it away again. The scene cannot go on without these two.
function ShowLastEvent(event)
  SetLabel("last_event", GetString("last_event_" .. event))
  EnableWindow("last_event", true)
end

function HideLastEvent()
  EnableWindow("last_event", false)
end

-- The developer cheats' level jumps (PgUp, PgDn): the level `step` levels on, kept within the
-- demo's levels, starts in place of the one played, as the jump screen's buttons start theirs.
function CheatLevel(step)
  gLevelNum = gLevelNum + step
  if gLevelNum < 1 then
    gLevelNum = 1
  elseif gLevelNum > gDemoLevelCount then
    gLevelNum = gDemoLevelCount
  end
  CPP_LoadLevel(gLevelNum, gStageNum)
end

-- Run by a loading screen other than the first of the run once its bar is full: it closes, and
-- whatever opened it goes on.
function CheckBeforeCloseLoader()
  PopModal("loading")
end

-- The part selector (scripts/selector.lua). Its menu is built, and flown out of the heroine, once
-- the opening has run the set-up text; it dims the game only once it stands.
function OnSelectorInitComplete()
  SetImageAlpha("grayimage", 0)
  CPP_OnSelectorInitComplete()
  CPP_BeginSelectorDialogFly(SelectorWindowsNumber or 0)
end

function OnEndClosingSelector()
  PopModal("SelectorModalWindow")
end

-- The part's preview file: the station's parts are numbered from 1.
local function PartImage(part)
  return string.format("selector/parts/%s_%02d.png", SelectorSceneType or "hairstyle", part)
end

function SetSelectorChildGraphicsVars(part)
  gSelectorChildPart = part
end

function SetSelectorChildGraphics(name)
  SetBitmap(name .. "_img", PartImage(gSelectorChildPart or 1))
end

-- The lips the girl shows for the hovered part, by the reaction it would bring.
LipsNormal = "selector_lips_normal"
LipsHappy = "selector_lips_happy"
LipsSad = "selector_lips_sad"

function SetCurrentPartsGraphics(part, lips)
  SetBitmap("current_part", PartImage(part))
  SetLabel("selector_mood", GetString(lips))
end

-- How many lines the girls of the type say on the statistics screen ("<type>_say_text_<n>").
function GetSayMaxIndex(girlType)
  return 3
end

-- The loading screen comes first and swaps itself for the first menu.
-- QuitToMainMenu (an end-of-level screen's "Menu") leaves the bottom screen alone; the menu
-- comes back over it.
return function()
  if PlayMusic then
    PlayMusic(5, 1)
  end
  DoModal("scripts/loader.lua")
  while true do
    DoModal("scripts/mainmenu.lua")
  end
end
