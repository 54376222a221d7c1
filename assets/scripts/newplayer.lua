-- Asks the new player's name: the edit's hint goes at the first click or key, "OK" (Enter) is
-- enabled while there is a name and makes that player current with fresh progress; a name in use
-- is refused. "Cancel" (Esc) is there only when a player exists already.
ReadFile("scripts/common.lua")

local kDark = Color(74, 10, 38)

local function Accept()
  local name = GetLabel("name_edit")
  if name == "" then
    return
  end
  if IsNameInUse(name) then
    SetLabel("body", GetString("name_in_use"))
    return
  end
  CreateNewUser(name)
  SetDefaultInfo()
  SetGlobalVariable()
  if CPP_WriteGO then
    CPP_WriteGO()
  end
  CloseWindow()
end

local panel = { name = "panel", x = kCenter, y = kCenter, image = "menu/panel.png",
  Text{ name = "title", x = 20, y = 14, w = 480, h = 52, label = "newplayer_title",
        flags = kHAlignCenter + kVAlignCenter, font = { "fonts/default.mvec", 32, kDark } },
  Text{ name = "body", x = 30, y = 64, w = 460, h = 40, label = "newplayer_body",
        flags = kHAlignCenter + kVAlignCenter, font = { "fonts/default.mvec", 20, kDark } },
  TextEdit{ name = "name_edit", x = 60, y = 112, w = 400, h = 48, label = GetString("newplayer_hint"),
            length = 16, clearinitial = true, enablewindow = "ok",
            font = { "fonts/default.mvec", 30, kDark } },
  DemoButton("ok", 12, 180, "ok", { default = true, command = Accept }),
}
if GetNumUsers() > 0 then
  table.insert(panel, DemoButton("cancel", 268, 180, "cancel", { close = true, cancel = true }))
end

MakeDialog{ name = "newplayer",
  Window{ name = "shade", x = 0, y = 0, w = 800, h = 600, Bitmap(panel) },
  FitToChildren() }
SetFocus("name_edit")
