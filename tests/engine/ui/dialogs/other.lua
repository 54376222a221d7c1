MakeDialog{
  Window{ name = "swapped", w = 50, h = 60 },
}
