-- The developer cheats' level jump (key L while "gCheatMode" is 1): one button per demo level on
-- the dialog panel; a press closes the dialog and starts that level in place of the one played,
-- through the game window's CPP_LoadLevel, as CheatLevel does.
ReadFile("scripts/common.lua")

-- Two buttons a row under the title.
local panel = LevelButtonsPanel("jump_level_title", 88, function(level)
  return { close = true,
           command = function()
             gLevelNum = level
             CPP_LoadLevel(level, gStageNum)
           end }
end)

MakeDialog{ name = "jump_level",
  Window{ name = "shade", x = 0, y = 0, w = 800, h = 600, Bitmap(panel) },
  FitToChildren() }
