-- The heroine: the player's helper at the stations, at the judges' door and with the powers.
dofile("scripts/objects/personage.lua")

-- Set to 1 by the judging door when the queue has gone in.
wait_task_exit = 0

function HeroineTick(tick)
  return 1
end

-- At the door: she waits until the door lets her go, and the judges learn how many wait.
function waitBeginTask(resumed)
  wait_task_exit = 0
  CPP_OnJudgingQueueChange()
  return 1
end
function waitTaskTimer(n)
  if wait_task_exit == 1 then
    return 0
  end
  return 1
end
function waitEndTask(reason) return 0 end

-- The poise glow: she shines while it lasts.
function shineBeginTask(resumed)
  CPP_SetSimpleAnimState("bless")
  return 1
end
function shineTaskTimer(n) return 1 end
function shineEndTask(reason)
  CPP_SetSimpleAnimState("stay_right")
  return 0
end

-- At the power meter.
function takeBeginTask(resumed) return 1 end
function takeTaskTimer(n) return 1 end
function takeEndTask(reason) return 0 end
