-- The player choice: one toggle a player (at most ten), the current one on; "OK" (Enter) makes
-- the chosen one current, "New player" asks for a name, "Delete" removes the chosen one after
-- asking, "Back" (Esc) leaves everything as it was. The choose-player window hands over the
-- players through UpdatePlayerChoices.
ReadFile("scripts/common.lua")

local kDark = Color(74, 10, 38)

-- Shows the first `count` toggles (at most ten) with the names, the current player's on.
function UpdatePlayerChoices(current, count, names)
  for i = 0, 9 do
    local name = names[i + 1]
    local button = "button" .. i
    EnableWindow(button, name ~= nil)
    if name then
      SetLabel(button, name)
      SetButtonToggleState(button, i == current)
    end
  end
end

-- The menu below welcomes whoever is current.
local function Welcome()
  if SetWelcomeName then
    SetWelcomeName()
  end
end

local function Choose()
  if GetNumUsers() > 0 then
    SetCurrentUser(GetCurrentSelectedUser())
    SetDefaultInfo()
    SetGlobalVariable()
    if CPP_LoadGO then
      CPP_LoadGO()
    end
  end
  Welcome()
end

local function AddPlayer()
  DoModal("scripts/newplayer.lua")
  SetPlayerChoices()
  Welcome()
end

local function Delete()
  if GetNumUsers() == 0 then
    return
  end
  local answer = DisplayDialog{ "scripts/yesno.lua", body = "deleteplayer_confirm",
                                title = "deleteplayer", name = "delete_dialog" }
  if answer == 'yes' then
    DeleteUser(GetCurrentSelectedUser())
    SetPlayerChoices()
    Welcome()
  end
end

local choices = { name = "chooseplayer_window", x = 0, y = 0, w = 800, h = 600,
  Bitmap{ name = "background", x = 0, y = 0, image = "menu/background.png" },
  Text{ name = "title", x = 0, y = 20, w = 800, h = 52, label = "chooseplayer_title",
        flags = kHAlignCenter + kVAlignCenter,
        font = { "fonts/default.mvec", 40, Color(255, 243, 230) } },
}
-- Three columns of toggles under the stage's title, the tenth below the first.
for i = 0, 9 do
  local column = i
  local row = 0
  while column >= 3 do
    column = column - 3
    row = row + 1
  end
  table.insert(choices, DemoButton("button" .. i, 20 + column * 260, 250 + row * 68, "#",
                                   { type = kRadio }))
end
table.insert(choices, DemoButton("new", 280, 454, "newplayer", { command = AddPlayer }))
table.insert(choices, DemoButton("delete", 540, 454, "deleteplayer", { command = Delete }))
table.insert(choices, DemoButton("ok", 20, 528, "ok", { close = true, default = true,
                                                        command = Choose }))
table.insert(choices, DemoButton("back", 540, 528, "back", { close = true, cancel = true }))

MakeDialog{ name = "chooseplayer", ChoosePlayerWindow(choices) }
