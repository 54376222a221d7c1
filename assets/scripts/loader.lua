-- The loading screen: the game loads its scenes and data while the bar "LoadingProgressing" fills,
-- and the gray veil "grayimage" over the stage fades by the same steps. The first screen of a run
-- then swaps to the first menu; a later one calls CheckBeforeCloseLoader from the main script.

MakeDialog{
  name = "loading",
  Loader{ name = "loader", x = 0, y = 0,
    Bitmap{ name = "background", x = 0, y = 0, image = "loader/background.png" },
    ProgressBar{ name = "LoadingProgressing", x = 200, y = 460, Background = "loader/bar_back.png",
                 Foreground = "loader/bar_front.png", dX = 4, dY = 4 },
    Bitmap{ name = "grayimage", x = 0, y = 0, image = "loader/gray.png" },
  },
}
