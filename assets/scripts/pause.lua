-- The pause during play, opened by the game main on Esc or when the window loses the focus,
-- which counts the pause for the statistics from then on. "Continue" (Enter) ends both. Esc does
-- not: the Esc that opened the pause reaches the dialog too, and would close it at once.
ReadFile("scripts/common.lua")

local function Continue()
  if CPP_StatisticOnPause then
    CPP_StatisticOnPause(false)
  end
end

MakeDialog(PanelDialog{ name = "pause", title = "pausetitle", body = "pausebody",
                        buttons = { { name = "continue", label = "continue", default = true,
                                      command = Continue } } })
