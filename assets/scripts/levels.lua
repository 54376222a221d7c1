-- The level choice, opened by the menu's "Play": one button per demo level, those up to the last
-- level the player reached enabled. A level's button closes the choice and answers its number;
-- "Back" (Esc) answers nothing.
ReadFile("scripts/common.lua")

local reached = GetCountLevel(0)

local panel = LevelButtonsPanel("levels_title", 80, function(level)
  return { close = true, enabled = level <= reached,
           command = function() ModalReturn(level) end }
end)

MakeDialog{ name = "levels",
  Window{ name = "shade", x = 0, y = 0, w = 800, h = 600, Bitmap(panel),
          DemoButton("back", kCenter, 500, "back", { close = true, cancel = true }) },
  FitToChildren() }
