-- What the screens that close a level share, read by each with ReadFile: the veil over the game,
-- a caption, the buttons that go on to the next level, play the level again or go back to the
-- menu, and the level score table.
ReadFile("scripts/common.lua")

kEndLight = Color(255, 243, 230)

function EndCaption(name, x, y, w, h, label, size)
  return Text{ name = name, x = x, y = y, w = w, h = h, label = label,
               flags = kHAlignCenter + kVAlignCenter,
               font = { "fonts/default.mvec", size, kEndLight } }
end

-- The next level of the stage; back to the menu when the stage has no more. After the demo's
-- last level the way back shows the hiscores and the credits (the menu's Play does).
function EndGoNextLevel()
  PopModal(gEndScreen)
  if gLevelNum >= gDemoLevelCount then
    gDemoFinished = true
    QuitToMainMenu()
    return
  end
  gLevelNum = gLevelNum + 1
  if CPP_LoadLevel(gLevelNum, gStageNum) == 0 then
    QuitToMainMenu()
  end
end

function EndPlayAgain()
  PopModal(gEndScreen)
  CPP_LoadLevel(gLevelNum, gStageNum)
end

function EndToMenu()
  QuitToMainMenu()
end

-- The seven numbers of the level score window, each under its caption, at (x, y).
function ScoreTable(t, x, y)
  local rows = { { "beginner_goal_val", "end_goal" }, { "expert_goal_val", "end_expert" },
                 { "breakdowns_val", "end_breakdowns" }, { "order_bonus_val", "end_order_bonus" },
                 { "total_points_val", "end_points" }, { "new_score_val", "end_total_score" },
                 { "new_money_val", "end_money" } }
  table.insert(t, GLevelScoreValues{ x = 0, y = 0, w = 1, h = 1, anim_delay = 60 })
  for i = 1, table.getn(rows) do
    local top = y + (i - 1) * 34
    table.insert(t, Text{ name = rows[i][2], x = x, y = top, w = 220, h = 30, label = rows[i][2],
                          flags = kVAlignCenter,
                          font = { "fonts/default.mvec", 22, kEndLight } })
    table.insert(t, Text{ name = rows[i][1], x = x + 220, y = top, w = 120, h = 30, label = "#0",
                          flags = kHAlignRight + kVAlignCenter,
                          font = { "fonts/default.mvec", 22, kEndLight } })
  end
end
