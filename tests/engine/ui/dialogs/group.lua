-- Group, SelectLayer and FitToChildren act where they stand in the description.
gGroupStyle = { font = "group" }
MakeDialog{
  Window{ name = "holder", w = 100, h = 100,
    Group{ SetStyle(gGroupStyle), Probe{ name = "g1" }, SelectLayer(2) },
    Probe{ name = "g2" },
  },
  Window{ name = "fit",
    Window{ name = "content", x = 10, y = 20, w = 50, h = 40 },
    FitToChildren(),
  },
}
