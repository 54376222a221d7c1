-- The part selector, run once, by the first opening, in the modal window "SelectorModalWindow";
-- the logical manager keeps the menu and adds it to the modal window of every later opening. The
-- set-up text of each opening sets SelectorIDS and SelectorIndObj (the dialog to answer),
-- CurrentObjectId (the girl), SelectorSceneType (the station: "hairstyle" or "makeup") and
-- SelectorWindowsNumber (the number of parts). The veil, the preview of the hovered part with
-- the girl's reaction and the happy glow belong to the menu, so they come back with it; the
-- popupper that flies the menu out of the heroine belongs to this first modal window only.
GSelectMenu{ name = "select_control", x = 0, y = 0, w = 800, h = 600,
  childs_script = "scripts/selector_child.lua", childs_num = SelectorWindowsNumber or 3,
  child_name = "select_part_%d", child_start_angle = 0, child_distance_delta = -110,
  Bitmap{ name = "grayimage", x = 0, y = 0, image = "selector/gray.png" },
  Bitmap{ name = "current_part", x = 368, y = 238, image = "selector/parts/hairstyle_01.png" },
  Text{ name = "selector_mood", x = 300, y = 306, w = 200, h = 30, label = "#",
        flags = kHAlignCenter + kVAlignCenter,
        font = { "fonts/default.mvec", 22, Color(255, 243, 230) } },
  TPSimple{ name = "happy_glow", x = 400, y = 270, w = 4, h = 4,
            FX_fly = "particles/happy_glow.lua" },
}()
GSelectPopupper{ name = "select_menu_popupper", x = 0, y = 0, w = 800, h = 600 }()
