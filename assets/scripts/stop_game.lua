-- Shown while the game's window is in the background; the game main closes it by its name,
-- "stop_game", when the window comes back.
ReadFile("scripts/common.lua")
MakeDialog(PanelDialog{ name = "stop_game", title = "stoptitle", body = "stopbody" })
