-- The door to the judges: it opens for the first girl in the queue, sends the queue in when the
-- player clicks it, and checks for a quarrel among the waiting girls while one may break out.
local gTussle = 0

function DoorTick(tick)
  if gTussle == 1 then
    CPP_CheckTussle(tick)
  end
  return 1
end

function SetPossibilityTussle(possible)
  gTussle = possible
end

-- The door's timer counts the ticks to the next quarrel itself.
function SetTickTussle(ticks)
end

function OnFirstGirlInQueue()
  CPP_SetSimpleAnimState("open")
  CPP_PlaySound("door_open")
end

function OnBeginSceneQueue()
  CPP_OnBeginGoToScene()
end

function OnEndSceneQueue()
  CPP_SetSimpleAnimState("normal")
end
