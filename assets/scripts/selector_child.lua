-- One choice of the part selector, made by the menu for every part with gSelectorParamsData set
-- (name, char_part_id from 1, graphics, custom, part_poise): a ring with the part's preview
-- (SetSelectorChildGraphics fills it), which answers the choose dialog with its number and closes
-- the selector. It takes no click for its first three tenths of a second, so that the click that
-- opened the selector cannot choose.
local part = gSelectorParamsData.char_part_id

local function Choose()
  CPP_EndSelectorChoose(SelectorIDS or 0, SelectorIndObj or 0, part)
  CPP_OnBeginClosingSelector(CurrentObjectId or "", SelectorSceneType or "")
end

GSelectMenuChild{ name = gSelectorParamsData.name, x = 0, y = 0, w = 80, h = 80,
  char_part_id = part, delay_click = 3,
  graphics = { "selector/child.png", "selector/child_pressed.png", "selector/child_hover.png" },
  command = Choose,
  Bitmap{ name = gSelectorParamsData.graphics .. "_img", x = 8, y = 8,
          image = "selector/parts/hairstyle_01.png" },
}()
