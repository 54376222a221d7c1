-- A dialog of one panel larger than the screen; it keeps the table DisplayDialog was given.
gSeenTable = gDialogTable
MakeDialog{
  Window{ name = "panel", x = 10, y = 20, w = 900, h = 700 },
}
