-- The options: full screen and sound on or off (toggles that act at once), the volumes of the
-- sound effects and the music (sliders heard at once), and "Done" (Enter or Esc), which stores
-- the volumes for the current player.
ReadFile("scripts/common.lua")

local kDark = Color(74, 10, 38)

local function Caption(name, y, label)
  return Text{ name = name, x = 40, y = y, w = 200, h = 40, label = label,
               flags = kHAlignLeft + kVAlignCenter, font = { "fonts/default.mvec", 24, kDark } }
end

local function VolumeSlider(name, y)
  return Slider{ name = name, x = 250, y = y, w = 300, h = 28, hslider = true,
                 railtop = "menu/slider_left.png", railmid = "menu/slider_mid.png",
                 railbot = "menu/slider_right.png", sliderimage = "menu/slider_thumb.png",
                 sliderrollimage = "menu/slider_thumb_roll.png" }
end

MakeDialog{ name = "options",
  OptionsWindow{ name = "options_window", x = 0, y = 0, w = 800, h = 600,
    Bitmap{ name = "background", x = 0, y = 0, image = "menu/background.png" },
    Bitmap{ name = "panel", x = 100, y = 120, w = 600, h = 340, image = "menu/options_panel.png",
      Text{ name = "title", x = 0, y = 14, w = 600, h = 52, label = "options_title",
            flags = kHAlignCenter + kVAlignCenter, font = { "fonts/default.mvec", 34, kDark } },
      Caption("sfx_caption", 84, "options_sound"),
      VolumeSlider("sfxlevelslider", 90),
      Caption("music_caption", 144, "options_music"),
      VolumeSlider("musiclevelslider", 150),
      DemoButton("mutebox", 40, 200, "options_mute", { type = kToggle,
                                                       command = function() ToggleSoundMute() end }),
      DemoButton("fullscreen", 320, 200, "options_fullscreen",
                 { type = kToggle, command = function() ToggleFullScreen() end }),
    },
    DemoButton("ok", kCenter, 480, "done", { close = true, default = true, cancel = true,
                                             command = function() SaveVolumes() end }),
  },
}
