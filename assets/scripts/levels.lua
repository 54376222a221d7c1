-- The level choice, opened by the menu's "Play": one button per demo level, those up to the last
-- level the player reached enabled. A level's button closes the choice and answers its number;
-- "Back" (Esc) answers nothing.
ReadFile("scripts/common.lua")

local reached = GetCountLevel(0)

local function LevelButton(level)
  local column = level - 1
  local row = 0
  while column >= 2 do
    column = column - 2
    row = row + 1
  end
  return DemoButton("level_" .. level, 12 + column * 256, 72 + row * 80,
                    "level_caption_" .. level,
                    { close = true, enabled = level <= reached,
                      command = function() ModalReturn(level) end },
                    GLevelJumpButton)
end

local panel = { name = "panel", x = kCenter, y = kCenter, image = "menu/panel.png",
  Text{ name = "title", x = 20, y = 14, w = 480, h = 52, label = "levels_title",
        flags = kHAlignCenter + kVAlignCenter,
        font = { "fonts/default.mvec", 32, Color(74, 10, 38) } },
}
for level = 1, gDemoLevelCount do
  table.insert(panel, LevelButton(level))
end

MakeDialog{ name = "levels",
  Window{ name = "shade", x = 0, y = 0, w = 800, h = 600, Bitmap(panel),
          DemoButton("back", kCenter, 500, "back", { close = true, cancel = true }) },
  FitToChildren() }
