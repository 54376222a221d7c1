-- The look the demo's screens share, read by each screen file with ReadFile: the pink button with
-- a label, and the dialog panel in the middle of the screen.

local kButtonGraphics = { "menu/button.png", "menu/button_pressed.png", "menu/button_hover.png" }

-- A 240 x 64 button whose text is the string-table label `label`. `options` holds further
-- fields of the button's description (close, default, cancel, command ...); `create` is the
-- window type's constructor, Button when not given.
function DemoButton(name, x, y, label, options, create)
  local button = { name = name, x = x, y = y, graphics = kButtonGraphics,
    Text{ name = "label", x = 0, y = 0, w = 240, h = 64, label = label,
          flags = kHAlignCenter + kVAlignCenter,
          font = { "fonts/default.mvec", 28, Color(255, 243, 230) } },
  }
  for key, value in pairs(options or {}) do
    button[key] = value
  end
  return (create or Button)(button)
end

-- The dialog panel with the title label and one GLevelJumpButton per demo level, two a row
-- `rowStep` apart under the title; `options(level)` gives each button's window options.
function LevelButtonsPanel(title, rowStep, options)
  local panel = { name = "panel", x = kCenter, y = kCenter, image = "menu/panel.png",
    Text{ name = "title", x = 20, y = 14, w = 480, h = 52, label = title,
          flags = kHAlignCenter + kVAlignCenter,
          font = { "fonts/default.mvec", 32, Color(74, 10, 38) } },
  }
  for level = 1, gDemoLevelCount do
    local column = level - 1
    local row = 0
    while column >= 2 do
      column = column - 2
      row = row + 1
    end
    table.insert(panel, DemoButton("level_" .. level, 12 + column * 256, 72 + row * rowStep,
                                   "level_caption_" .. level, options(level), GLevelJumpButton))
  end
  return panel
end

-- A dialog on a panel over the 800 x 600 screen: t.title and t.body are string-table labels,
-- t.name names the dialog's modal window, and t.buttons lists up to two buttons along the
-- bottom as { name, label, default, cancel, command }. Every button closes the dialog, which
-- returns the button's name.
function PanelDialog(t)
  local dark = Color(74, 10, 38)
  local panel = { name = "panel", x = kCenter, y = kCenter, image = "menu/panel.png",
    Text{ name = "title", x = 20, y = 18, w = 480, h = 52, label = t.title,
          flags = kHAlignCenter + kVAlignCenter, font = { "fonts/default.mvec", 32, dark } },
    Text{ name = "body", x = 30, y = 72, w = 460, h = 100, label = t.body,
          flags = kHAlignCenter + kVAlignCenter, font = { "fonts/default.mvec", 22, dark } },
  }
  local buttons = t.buttons or {}
  local count = table.getn(buttons)
  for i = 1, count do
    local b = buttons[i]
    local x = 140
    if count > 1 then
      x = 12 + (i - 1) * 256
    end
    table.insert(panel, DemoButton(b.name, x, 180, b.label, { close = true, default = b.default,
                                                              cancel = b.cancel,
                                                              command = b.command }))
  end
  return { name = t.name,
    Window{ name = "shade", x = 0, y = 0, w = 800, h = 600, Bitmap(panel) },
    FitToChildren() }
end
