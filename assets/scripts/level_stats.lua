-- The end of a level won (LevelResult "win" or "expert"): the score table counting up, a girl of
-- a type that played in the level saying her line, and "Next" and "Menu".
ReadFile("scripts/level_end.lua")
gEndScreen = "level_stats"

local screen = { name = "level_stats",
  Bitmap{ name = "veil", x = 0, y = 0, image = "selector/gray.png" },
  EndCaption("stats_title", 0, 30, 800, 50, "end_title_" .. (LevelResult or "win"), 40),
  GStatWnd{ name = "stat", x = 430, y = 110, w = 340, h = 360, girl_x = 130, girl_y = 40,
    GSeparateLayer{ name = "girls_layer", x = 0, y = 0, w = 340, h = 300, no_game_layer = true },
    Text{ name = "girl_say_text", x = 0, y = 300, w = 340, h = 60, label = "#",
          flags = kHAlignCenter + kVAlignCenter,
          font = { "fonts/default.mvec", 20, kEndLight } } },
  DemoButton("next", 40, 500, "end_next", { close = true, default = true,
                                            command = EndGoNextLevel }),
  DemoButton("menu", 520, 500, "end_menu", { close = true, cancel = true, command = EndToMenu }),
}
ScoreTable(screen, 60, 120)
MakeDialog(screen)
CPP_OnLevelScoreInitComplete()
