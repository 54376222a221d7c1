-- The developer cheats' level jump (key L while "gCheatMode" is 1): one button per demo level on
-- the dialog panel; a press closes the dialog and starts that level in place of the one played,
-- through the game window's CPP_LoadLevel, as CheatLevel does.
ReadFile("scripts/common.lua")

-- Two buttons a row under the title.
local function JumpButton(level)
  local column = level - 1
  local row = 0
  while column >= 2 do
    column = column - 2
    row = row + 1
  end
  return DemoButton("level_" .. level, 12 + column * 256, 72 + row * 88,
                    "level_caption_" .. level,
                    { close = true,
                      command = function()
                        gLevelNum = level
                        CPP_LoadLevel(level, gStageNum)
                      end },
                    GLevelJumpButton)
end

local panel = { name = "panel", x = kCenter, y = kCenter, image = "menu/panel.png",
  Text{ name = "title", x = 20, y = 14, w = 480, h = 52, label = "jump_level_title",
        flags = kHAlignCenter + kVAlignCenter,
        font = { "fonts/default.mvec", 32, Color(74, 10, 38) } },
}
for level = 1, gDemoLevelCount do
  table.insert(panel, JumpButton(level))
end

MakeDialog{ name = "jump_level",
  Window{ name = "shade", x = 0, y = 0, w = 800, h = 600, Bitmap(panel) },
  FitToChildren() }
