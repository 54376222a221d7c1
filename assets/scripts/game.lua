-- The game screen, opened with DoModal from the menu's "Play": its modal window is named "game"
-- (the game main pauses only over that name). The game window starts the level of gLevelNum and
-- gStageNum; the game control under it takes the mouse and draws the level's objects, the scene
-- control the girls in a scene. Along the bottom: the upgrade phase's panels ("Start the show"
-- ends it) and, once the show runs, the level panel with the power buttons, which the game places
-- on the grid of power_begin_x/y and power_delta_x/y. The pause button does what Esc does.
ReadFile("scripts/common.lua")

local kDark = Color(74, 10, 38)
local kLight = Color(255, 243, 230)

local function Label(name, x, y, w, h, label, size, colour, flags)
  return Text{ name = name, x = x, y = y, w = w, h = h, label = label,
               flags = flags or (kHAlignCenter + kVAlignCenter),
               font = { "fonts/default.mvec", size, colour } }
end

local function Pause()
  if CPP_StatisticOnPause then
    CPP_StatisticOnPause(true)
  end
  DoModal("scripts/pause.lua")
end

local function StartShow()
  CPP_OnUpgradeModeFinished()
end

-- A small hint panel: a tag (image_1 for a gain, image_2 otherwise) centred on its point (80, 50)
-- under its caption and text; it flies by its vector and hides at the end of its flight.
local function SmallHint(name, vectorY)
  return GSmallHintPanel{ name = name, x = 0, y = 0, w = 160, h = 100,
    vector_x = 0, vector_y = vectorY,
    image_1 = "game/small_hint_1.png", image_2 = "game/small_hint_2.png",
    FontColorFlyUp = kDark, FontColorFlyDown = kDark,
    Bitmap{ name = "hint_bg", x = 10, y = 32, image = "game/small_hint_1.png" },
    Label("small_hint_caption", 10, 8, 140, 24, "#", 18, kLight),
    Label("small_hint_descript", 10, 32, 140, 36, "#", 20, kDark),
  }
end

-- The upgrade shop's hint beside the score panel: the upgrade's name, description and price, the
-- ribbon and note of a recommended one, and the strip and note of one above the player's money.
local function HintPanel()
  return GHintPanel{ name = "hint_panel", x = 572, y = 128, image = "game/hint_panel.png",
    Bitmap{ name = "hint_top", x = 8, y = 6, image = "game/hint_recommended.png" },
    Label("recomend_text", 8, 6, 204, 20, "hint_recommended", 16, kDark),
    Label("hint_caption", 10, 28, 200, 26, "#", 22, kLight),
    Label("hint_descript", 12, 56, 196, 40, "#", 16, kLight, kHAlignLeft),
    Label("item_cost", 10, 96, 200, 24, "#", 20, Color(255, 213, 79)),
    Bitmap{ name = "hint_bottom", x = 8, y = 120, image = "game/hint_expensive.png" },
    Label("coment_text", 8, 120, 204, 24, "hint_expensive", 16, kLight),
  }
end

-- The power's button over its disabled look, both hidden until the level places them.
local kPowers = { "energy_boost", "makeup_power", "hairstyle_power", "poise_power",
                  "podium_power" }

local function PowerButtons(t)
  for i = 1, table.getn(kPowers) do
    local name = kPowers[i]
    table.insert(t, Bitmap{ name = name .. "_dis", x = 0, y = 0, image = "game/power_dis.png" })
    table.insert(t, Button{ name = name, x = 0, y = 0,
                            graphics = { "game/power_" .. i .. ".png",
                                         "game/power_pressed.png",
                                         "game/power_" .. i .. ".png" },
                            command = function() CPP_PressPowerButton(name) end })
  end
  return t
end

-- A small button of the tutorial window with its label.
local function TutorialButton(name, x, y, label)
  return Button{ name = name, x = x, y = y, graphics = { "game/tutorial_button.png",
                 "game/tutorial_button_pressed.png", "game/tutorial_button.png" },
    Label("label", 0, 0, 120, 36, label, 18, kLight),
  }
end

-- The tutorial window the level's tutorial steps name, hidden until a step opens it. The panel
-- holds the picture, the message and the buttons; the arrow sits in the window's corner toward
-- what it points at, the panel in the opposite corner. The label type is the global "Label"
-- (the local Label above makes texts).
local function Tutorial()
  return TutorialWindow{ name = "tutorial", x = 216, y = 211, w = 368, h = 178,
    Bitmap{ name = "imgBG", x = 48, y = 48, image = "game/tutorial_panel.png",
      Bitmap{ name = "imgImage", x = 12, y = 12, image = "game/tutorial_image.png" },
      Label("txtMessage", 68, 8, 240, 72, "#", 18, kDark, kHAlignLeft + kVAlignCenter),
      TutorialButton("btnOK", 186, 86, "tut_ok"),
      TutorialButton("btnSkip", 14, 86, "tut_skip"),
    },
    _G.Label{ name = "arwArrow", x = 0, y = 0, w = 48, h = 48, xc = 24, yc = 24, length = 32,
              image = "game/tutorial_arrow.png" },
  }
end

MakeDialog{
  name = "game",
  GGameWnd(PowerButtons{ name = "game_wnd", x = 0, y = 0, w = 800, h = 600,
    FlyEmittersNum = 0,
    ScoreLabelsTemplateName = "score_label_%d", ScoreLabelsNum = 4,
    Bitmap{ name = "background", x = 0, y = 0, w = 800, h = 600, image = "game/hall.png" },
    GGameCtrl{ name = "game_ctrl", x = 0, y = 0, w = 800, h = 600 },
    GSceneCtrl{ name = "scene_ctrl", x = 0, y = 0, w = 800, h = 600 },

    Bitmap{ name = "caption_panel", x = 8, y = 8, image = "game/caption_panel.png",
      Label("name_level1", 0, 0, 220, 44, "#", 26, kLight),
    },
    Bitmap{ name = "money_panel", x = 8, y = 58, image = "game/money_panel.png",
      Label("money_account", 36, 0, 104, 36, "#0", 24, kLight),
    },
    Bitmap{ name = "judging_counter_img", x = 158, y = 58, image = "game/judging_counter.png",
      Label("judging_count_value", 0, 0, 36, 36, "#0", 22, kDark),
    },

    Bitmap{ name = "score_panel", x = 572, y = 8, image = "game/score_panel.png",
      Label("goal_mode_name", 10, 4, 100, 24, "goal_txt", 20, kLight),
      Label("goal_number", 110, 4, 100, 24, "#0", 20, kLight),
      Label("score_number", 10, 28, 200, 30, "#0", 28, kLight),
      Label("score_number_up", 150, 28, 60, 30, "#", 20, Color(255, 213, 79)),
      ProgressBar{ name = "score_progress", x = 10, y = 60, Background = "game/score_bar_back.png",
                   Foreground = "game/score_bar_front.png", dX = 2, dY = 2 },
      ProgressBar{ name = "goal_progress", x = 10, y = 76, Background = "game/goal_bar_back.png",
                   Foreground = "game/goal_bar_front.png", dX = 2, dY = 2 },
      Label("goal_reach_txt", 0, 86, 220, 24, "goal_reached", 20, Color(255, 213, 79)),
      Label("expert_reach_txt", 0, 86, 220, 24, "expert_reached", 20, Color(255, 213, 79)),
      TPSimple{ name = "score_glow", x = 0, y = 0, w = 220, h = 112,
                FX_fly = "particles/score_glow.lua", FX_LocalPos_X = 110, FX_LocalPos_Y = 56 },
    },

    Bitmap{ name = "buy_panel", x = 0, y = 528, image = "game/bottom_panel.png",
      Label("buy_hint", 20, 0, 480, 72, "buy_hint", 20, kLight, kVAlignCenter),
      DemoButton("start_show", 540, 4, "start_show", { command = StartShow }),
    },
    Window{ name = "girl_upgrade_panel", x = 0, y = 488, w = 800, h = 40,
      Label("girl_upgrade_text", 0, 0, 800, 40, "girl_upgrade_text", 20, kLight),
    },
    Window{ name = "level_panel", x = 0, y = 528, w = 800, h = 72,
      Label("level_panel_text", 360, 0, 300, 72, "show_running", 20, kLight),
    },
    Label("last_event", 200, 100, 400, 40, "#", 26, Color(255, 213, 79)),
    TPSimple{ name = "guide_glow", x = 540, y = 532, w = 240, h = 64,
              FX_fly = "particles/guide_glow.lua", FX_LocalPos_X = 120, FX_LocalPos_Y = 32 },
    Button{ name = "pause", x = 748, y = 128, graphics = { "game/pause.png",
            "game/pause_pressed.png", "game/pause.png" }, command = Pause },

    -- Over everything: the girls' score pop-ups (rising labels and the white score text), the
    -- hover hint and the upgrade shop's hint.
    SmallHint("score_label_0", -1.5),
    SmallHint("score_label_1", -1.5),
    SmallHint("score_label_2", -1.5),
    SmallHint("score_label_3", -1.5),
    GFlyText{ name = "white_score_text", x = 0, y = 0, w = 160, h = 32, label = "#",
              flags = kHAlignCenter + kVAlignCenter,
              font = { "fonts/default.mvec", 26, kLight },
              FontColorFlyUp = kLight, FontColorFlyDown = Color(255, 213, 79) },
    SmallHint("small_hint_panel", 0),
    HintPanel(),
    Tutorial(),
  }),
}

-- Shown only when the level calls for them; the power buttons when the level places them.
for _, name in ipairs{ "goal_reach_txt", "expert_reach_txt", "last_event" } do
  EnableWindow(name, false)
end
HidePowerButtons()
