-- The tutorials every level shares, loaded once into the tutorial engine before the level's own
-- set ("tutorial_%02d.lua"). Keys of a tutorial: "initor" (what starts it), "message" (the step
-- shown in a tutorial window of the game screen), "post_block" and "next_tutorial".
tutorials = {
  -- The first girl the player drags and lets go: a tip that closes by itself after four seconds.
  drag_tip = {
    initor = { action = "drag_end" },
    message = { window = "tutorial", msg = "tut_drag", transferring = 1, skipeable = 0,
                close = { timer = 4000 } },
  },
}
