MakeDialog{
  Window{ name = "panel", w = 400, h = 300,
    function()
      gXs = table.concat(DistributeX(3), ",")
      gYs = table.concat(DistributeY(2), ",")
    end,
  },
}
