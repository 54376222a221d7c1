-- The power selection, opened by a scene that waits for the player's choice: the logical manager
-- sets PowerIDS (the dialog's id) and PowerIndObj (the scene's entry) before it opens this. The
-- selector fills the five power buttons once the screen is built: the soda first, then the game
-- data's powers that the level has reached, the others locked. A button answers its power's kind
-- (1 speed, 2 make-up, 3 hair style, 4 poise, 5 podium); "Not now" answers kind 0, no power.
ReadFile("scripts/common.lua")

local kDark = Color(74, 10, 38)
local kButtons = 5

local function Answer(kind)
  return function()
    CPP_EndPowerMeterDialog(PowerIDS or 0, kind, 0)
  end
end

local panel = { name = "panel", x = kCenter, y = kCenter, image = "menu/panel.png",
  Text{ name = "title", x = 20, y = 12, w = 480, h = 44, label = "powers_title",
        flags = kHAlignCenter + kVAlignCenter, font = { "fonts/default.mvec", 30, kDark } },
  GPowerMeterSelector{ name = "power_selector", x = 0, y = 0, w = 1, h = 1,
                       button_template_name = "power_button_%d", buttons_num = kButtons },
  Text{ name = "power_name", x = 20, y = 122, w = 480, h = 26, label = "#",
        flags = kHAlignCenter + kVAlignCenter, font = { "fonts/default.mvec", 22, kDark } },
  Text{ name = "power_hint", x = 20, y = 148, w = 480, h = 26, label = "#",
        flags = kHAlignCenter + kVAlignCenter, font = { "fonts/default.mvec", 18, kDark } },
  DemoButton("cancel", 140, 186, "powers_cancel", { close = true, cancel = true,
                                                    command = Answer(0) }),
}
for i = 0, kButtons - 1 do
  local name = "power_button_" .. i
  table.insert(panel, GPowerMeterButton{ name = name, x = 38 + i * 92, y = 60, w = 56, h = 56,
                                         close = true, command = Answer(i + 1),
    Bitmap{ name = name .. "_icon", x = 0, y = 0, image = "buttons/powers/locked.png" },
  })
end

MakeDialog{ name = "powers",
  Window{ name = "shade", x = 0, y = 0, w = 800, h = 600, Bitmap(panel) },
  FitToChildren() }

if CPP_OnPowersInitComplete then
  CPP_OnPowersInitComplete()
end
