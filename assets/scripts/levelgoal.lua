-- The level-goal dialog before play: the game data sets scorelimits (goal and expert score),
-- level_intro and preview_caption (string-table labels) and bonus_num before it opens this.
ReadFile("scripts/common.lua")

local limits = scorelimits or { goal = 0, expert = 0 }
local body = GetString(level_intro or "empty_text") .. " " ..
             GetString("levelgoal_scores", limits.goal, limits.expert)

MakeDialog(PanelDialog{ name = "levelgoal", title = preview_caption or "empty_text",
                        body = "#" .. body,
                        buttons = { { name = "ok", label = "start_level", default = true,
                                      cancel = true } } })
