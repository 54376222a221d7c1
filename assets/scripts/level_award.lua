-- The award ceremony after an award level won: the level's girls side by side in their final
-- looks, the crown running over their heads, then the best girl on the winner's spot under the
-- award crown, the celebration and "Ok", which goes on to the next level (after the demo's
-- last one: back to the menu by the hiscores and the credits). The first pair of
-- girl_x_y is the winner's spot, each later one a girl's place.
ReadFile("scripts/level_end.lua")
gEndScreen = "level_award"

local function Glow(name, x, y)
  return TPSimple{ name = name, x = x, y = y, w = 4, h = 4, FX_fly = "particles/award_glow.lua" }
end

local function Salut(name, x, y)
  return TPSimple{ name = name, x = x, y = y, w = 4, h = 4, FX_fly = "particles/salut.lua" }
end

MakeDialog{ name = "level_award",
  Bitmap{ name = "veil", x = 0, y = 0, image = "selector/gray.png" },
  EndCaption("award_title", 0, 20, 800, 50, "end_award_title", 40),
  -- Before the ceremony, which labels it "Ok" at the reveal (at once when no girl is shown).
  DemoButton("aw_btn", 280, 500, "end_wait", { close = true, default = true,
                                               command = EndGoNextLevel }),
  Glow("scene_glow", 400, 420),
  GAwardWnd{ name = "award", x = 0, y = 0, w = 800, h = 600, crown_offset_x = 4,
             crown_offset_y = -36,
             girl_x_y = { 376, 150, 96, 360, 216, 360, 336, 360, 456, 360, 576, 360, 696, 360 },
    GSeparateLayer{ name = "award_layer", x = 0, y = 0, w = 800, h = 600, no_game_layer = true,
      Bitmap{ name = "crown", x = -100, y = -100, image = "game/crown.png" },
      Bitmap{ name = "award_crown", x = 380, y = 112, image = "game/award_crown.png" } },
    EndCaption("award_text", 0, 80, 800, 40, "#", 28) },
  Glow("girl_glow", 400, 220),
  Salut("salut_0", 200, 140), Salut("salut_1", 400, 90), Salut("salut_2", 600, 140),
}
