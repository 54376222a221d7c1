-- The first menu, built in the modal window that DoModal pushed for it: the game's name over the
-- stage, "Play" (Enter) and "Quit" (Esc). "Play" opens the game screen on level gLevelNum.

ReadFile("scripts/common.lua")

local function Play()
  DoModal("scripts/game.lua")
end

-- The game main's close request asks the same question the same way.
local function Quit()
  result = DisplayDialog{ "scripts/yesno.lua", body = "quitconfirm", title = "quittitle",
                          name = "quit_dialog" }
  if result == 'yes' then
    PostMessage(CreateNamedMessage(kQuitNow, "Quit"))
  end
end

-- The real menu makes the first player as soon as it shows; so does this one.
if GetNumUsers and GetNumUsers() == 0 then
  NewUser()
end

MakeDialog{
  name = "mainmenu",
  Bitmap{ name = "background", x = 0, y = 0, image = "menu/background.png",
    DemoButton("play", kCenter, 300, "play", { default = true, command = Play }),
    DemoButton("quit", kCenter, 390, "quit", { cancel = true, command = Quit }),
  },
}
