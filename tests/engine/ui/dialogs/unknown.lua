-- A description of a type that creates no window, among its siblings.
MakeDialog{
  Window{ name = "parent", w = 200, h = 100,
    Gadget{ name = "ghost", w = 5, h = 5, Probe{ name = "orphan" } },
    Probe{ name = "sibling" },
  },
}
