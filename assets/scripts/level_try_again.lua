-- The end of a level lost: the score table and "Try again" and "Menu".
ReadFile("scripts/level_end.lua")
gEndScreen = "level_try_again"

local screen = { name = "level_try_again",
  Bitmap{ name = "veil", x = 0, y = 0, image = "selector/gray.png" },
  EndCaption("try_again_title", 0, 30, 800, 50, "end_title_lost", 40),
  DemoButton("again", 40, 500, "end_again", { close = true, default = true,
                                              command = EndPlayAgain }),
  DemoButton("menu", 520, 500, "end_menu", { close = true, cancel = true, command = EndToMenu }),
}
ScoreTable(screen, 230, 120)
MakeDialog(screen)
CPP_OnLevelScoreInitComplete()
