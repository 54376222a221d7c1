-- The tutorial of demo level 3 (the powers), shown to each player once. It walks through the first
-- girl's visit: her arrival (the show pauses), her first station, the part selector, a tip while
-- she waits, and the judges' door.
local kWindow = "tutorial"

tutorials = {
  -- Amber comes in: the show pauses and an arrow points at her.
  first_girl = {
    initor = { wait_creating = 1, id = "amber" },
    message = { window = kWindow, msg = "tut_first_girl", stop = 1, target = -1,
                FixedSkipButton = true, close = { button = "tut_ok" } },
    next_tutorial = "serve_her",
  },
  -- Only Amber takes the mouse until the player clicks her, which sends her to her station.
  serve_her = {
    message = { window = kWindow, msg = "tut_serve_her", target = { id = "amber" },
                not_block = { { id = "amber" } }, HideArrows = 1, FixedSkipButton = true,
                SkipButtonId = "tut_skip_all", close = { click = "amber" } },
  },
  -- The part selector opens for her make-up: the step closes once the choice is made.
  selector = {
    initor = { action = "before_makeup_dialog", dependence = "serve_her" },
    message = { window = kWindow, msg = "tut_selector", transferring = 1,
                position = { x = 0, y = -200 }, FixedSkipButton = true,
                close = { action = "after_makeup_dialog" } },
  },
  -- Her next wish: a short tip that closes by itself.
  wish = {
    initor = { wish = "judging_b", id = "amber", dependence = "selector" },
    message = { window = kWindow, msg = "tut_wish", transferring = 1, delay = 500,
                close = { timer = 5000 } },
  },
  -- A touch-up is due: the level stays blocked after the step until the door's step shows
  -- the door, the only object that takes the mouse then.
  touchup = {
    initor = { action = "touchup", dependence = "wish" },
    message = { window = kWindow, msg = "tut_touchup", stop = 1, close = { button = "tut_ok" } },
    post_block = 1,
    next_tutorial = "door",
  },
  door = {
    message = { window = kWindow, msg = "tut_door", target = { id = "judging_door" },
                FixedSkipButton = true,
                not_block = { { id = "judging_door" } }, close = { click = "judging_door" } },
  },
}
