-- A dialog with a close button and a plain one in a panel.
MakeDialog{
  Window{ name = "panel", x = 20, y = 20, w = 200, h = 100,
    Button{ name = "closer", x = 10, y = 10, w = 30, h = 20, close = true },
    Button{ name = "other", x = 50, y = 10, w = 30, h = 20 },
  },
}
