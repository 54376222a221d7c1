MakeDialog{
  Window{ name = "menu", w = 1000, h = 650 },
}
