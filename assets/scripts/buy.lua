-- The buy dialog of an upgrade in the upgrade phase. The logical manager sets, before it opens
-- this: price.cost, upgrade_name and upgrade_description (string-table labels) and buy_image (the
-- upgrade's picture). "Buy" (buy_ok) answers CPP_EndBuyDialog(true), "Cancel" (buy_cancel) and
-- Esc false.
ReadFile("scripts/common.lua")

local kDark = Color(74, 10, 38)
local cost = price and price.cost or 0

local function Answer(ok)
  return function()
    CPP_EndBuyDialog(ok)
  end
end

local panel = { name = "panel", x = kCenter, y = kCenter, image = "menu/panel.png",
  Text{ name = "title", x = 20, y = 12, w = 480, h = 44, label = upgrade_name or "empty_text",
        flags = kHAlignCenter + kVAlignCenter, font = { "fonts/default.mvec", 30, kDark } },
  Text{ name = "description", x = 140, y = 58, w = 360, h = 80,
        label = upgrade_description or "empty_text", flags = kVAlignCenter,
        font = { "fonts/default.mvec", 20, kDark } },
  Text{ name = "price", x = 140, y = 138, w = 360, h = 30,
        label = "#" .. GetString("buy_price", cost), flags = kVAlignCenter,
        font = { "fonts/default.mvec", 22, kDark } },
  DemoButton("buy_ok", 12, 186, "buy", { close = true, default = true, command = Answer(true) }),
  DemoButton("buy_cancel", 268, 186, "cancel", { close = true, cancel = true,
                                             command = Answer(false) }),
}
if buy_image then
  table.insert(panel, Bitmap{ name = "buy_image", x = 28, y = 62, image = buy_image })
end

MakeDialog{ name = "buy",
  Window{ name = "shade", x = 0, y = 0, w = 800, h = 600, Bitmap(panel) },
  FitToChildren() }
