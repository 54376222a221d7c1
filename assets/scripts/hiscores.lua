-- The hiscores: the ten best of the local table (name, score and rank in each row), the captions
-- that say whether the current player is in it, "Clear" (asked first) and "Back" (Enter or Esc).
-- The hiscore window (THiscore) fills the rows and the captions.
ReadFile("scripts/common.lua")

local kDark = Color(74, 10, 38)
local kLight = Color(255, 243, 230)

local function Label(name, x, y, w, h, label, size, colour, flags)
  return Text{ name = name, x = x, y = y, w = w, h = h, label = label,
               flags = flags or (kHAlignCenter + kVAlignCenter),
               font = { "fonts/default.mvec", size, colour } }
end

-- "Clear" only while the table holds something.
function UpdateButtons()
  EnableWindow("clear", CPP_GetScoreCount() > 0)
end

local function Clear()
  local answer = DisplayDialog{ "scripts/yesno.lua", body = "hiscores_clearconfirm",
                                title = "hiscores_clear", name = "clear_dialog" }
  if answer == 'yes' then
    CPP_Clear()
    UpdateButtons()
  end
end

-- Under the stage's title: ten rows of rank, name and score.
local rows = { name = "leftpanel", x = 150, y = 244, w = 500, h = 240 }
for i = 1, 10 do
  local y = (i - 1) * 24
  table.insert(rows, Label(tostring(i), 0, y, 60, 24, "", 20, kLight, kHAlignRight + kVAlignCenter))
  table.insert(rows, Label("name" .. i, 80, y, 280, 24, "", 20, kLight, kHAlignLeft + kVAlignCenter))
  table.insert(rows, Label("score" .. i, 360, y, 140, 24, "", 20, kLight,
                           kHAlignRight + kVAlignCenter))
end

MakeDialog{ name = "hiscores",
  HiscoreWindow{ name = "hiscore_window", x = 0, y = 0, w = 800, h = 600,
    Bitmap{ name = "background", x = 0, y = 0, image = "menu/background.png" },
    Label("title", 0, 24, 800, 52, "hiscores_title", 40, kLight),
    Label("local", 0, 76, 800, 36, "hiscores_local", 24, kLight),
    Label("topplayers", 0, 76, 800, 36, "hiscores_topplayers", 24, kLight),
    Window(rows),
    Label("eligible", 0, 486, 800, 24, "hiscores_eligible", 20, kLight),
    Label("eligibleasterisk", 180, 486, 30, 24, "#*", 20, kLight),
    Label("info", 0, 508, 800, 24, "hiscores_info", 18, kLight),
    DemoButton("clear", 140, 534, "hiscores_clear", { command = Clear }),
    DemoButton("back", 420, 534, "back", { close = true, default = true, cancel = true }),
  },
}
