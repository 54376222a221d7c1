-- Style scopes: a SetStyle or AppendStyle lasts to the end of the description it stands in.
gKeep = gCurrentDefaultStyle
gOuter = { font = "outer" }
gInner = { size = 9 }
MakeDialog{
  SetStyle(gOuter),
  Probe{ name = "first" },
  Window{ name = "box",
    AppendStyle(gInner),
    Probe{ name = "nested" },
    Window{ name = "again",
      AppendStyle(gInner),
      Probe{ name = "twice" },
      function() gTwiceFont = GetTag({}, "font") end,
    },
  },
  Probe{ name = "after" },
}
