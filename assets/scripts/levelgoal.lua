-- The level-goal dialog before play: the game data sets scorelimits (goal and expert score),
-- level_intro and preview_caption (string-table labels) and bonus_num before it opens this.
ReadFile("scripts/common.lua")

-- Each level plays its own track, the five game tracks in turn (the caption names the level).
local _, _, levelNumber = string.find(preview_caption or "", "(%d+)$")
if PlayMusic and levelNumber then
  local track = tonumber(levelNumber) - 1
  while track > 4 do
    track = track - 5
  end
  PlayMusic(track, 1)
end

local limits = scorelimits or { goal = 0, expert = 0 }
local body = GetString(level_intro or "empty_text") .. " " ..
             GetString("levelgoal_scores", limits.goal, limits.expert)

MakeDialog(PanelDialog{ name = "levelgoal", title = preview_caption or "empty_text",
                        body = "#" .. body,
                        buttons = { { name = "ok", label = "start_level", default = true,
                                      cancel = true } } })
