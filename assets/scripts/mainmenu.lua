-- The main menu over the stage: the welcome line with the current player, the game's buttons
-- under the title ("Play" with Enter), and along the bottom "Change player", "Quit" (Esc) and
-- "More games", which the menu window hides while the demo has no cross-sell file. The menu window (TMainMenu) asks
-- for the first player when there is none. The menus play the interface music.
ReadFile("scripts/common.lua")

if PlayMusic then
  PlayMusic(5, 1)
end

-- The level chosen is played in a statistics session of its own, filed with the total score
-- when the player is back in the menu, so the hiscores show it at once; after the demo's last
-- level they do, and the credits after them.
local function Play()
  -- A level's number, or the name of the button that closed the choice.
  local level = DoModal("scripts/levels.lua")
  if type(level) ~= "number" then
    return
  end
  gLevelNum = level
  CPP_StatisticOnGameSessionStart()
  CPP_StatisticOnGameStart()
  DoModal("scripts/game.lua")
  CPP_StatisticOnSessionEnd(GetTotalScore())
  if gDemoFinished then
    gDemoFinished = nil
    DoModal("scripts/hiscores.lua")
    DoModal("scripts/credits.lua")
  end
end

-- The game main's close request asks the same question the same way.
local function Quit()
  result = DisplayDialog{ "scripts/yesno.lua", body = "quitconfirm", title = "quittitle",
                          name = "quit_dialog" }
  if result == 'yes' then
    PostMessage(CreateNamedMessage(kQuitNow, "Quit"))
  end
end

local function Screen(file)
  return function() DoModal(file) end
end

MakeDialog{
  name = "mainmenu",
  MainMenu{ name = "main_menu", x = 0, y = 0, w = 800, h = 600,
    Bitmap{ name = "background", x = 0, y = 0, image = "menu/background.png" },
    Text{ name = "welcome", x = 0, y = 20, w = 800, h = 44, label = "",
          flags = kHAlignCenter + kVAlignCenter,
          font = { "fonts/default.mvec", 30, Color(255, 243, 230) } },
    DemoButton("play", kCenter, 252, "play", { default = true, command = Play }),
    DemoButton("options", kCenter, 320, "options", { command = Screen("scripts/options.lua") }),
    DemoButton("hiscores", kCenter, 388, "hiscores", { command = Screen("scripts/hiscores.lua") }),
    DemoButton("credits", kCenter, 456, "credits", { command = Screen("scripts/credits.lua") }),
    DemoButton("changeplayer", 20, 524, "changeplayer",
               { command = Screen("scripts/chooseplayer.lua") }),
    DemoButton("quit", kCenter, 524, "quit", { cancel = true, command = Quit }),
    DemoButton("moregames", 540, 524, "moregames"),
  },
}
