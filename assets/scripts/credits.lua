-- The credits: the credits file scrolling up under the stage's title, and "Back" (Enter or Esc).
ReadFile("scripts/common.lua")

MakeDialog{ name = "credits",
  Bitmap{ name = "background", x = 0, y = 0, image = "menu/background.png",
    Text{ name = "title", x = 0, y = 20, w = 800, h = 52, label = "credits_title",
          flags = kHAlignCenter + kVAlignCenter,
          font = { "fonts/default.mvec", 40, Color(255, 243, 230) } },
    CreditsWindow{ name = "credits_text", x = 40, y = 248, w = 720, h = 250,
                   file = "credits.txt", font = "fonts/default.mvec", fontsize = 22,
                   fontcolor = Color(255, 243, 230), headercolor = Color(255, 213, 79),
                   speed = 30, intropause = 1500 },
    DemoButton("back", kCenter, 508, "back", { close = true, default = true, cancel = true }),
  },
}
