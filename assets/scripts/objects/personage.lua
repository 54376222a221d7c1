-- What the heroine and the assistant share: their walks and their work at the stations, run in
-- the walker's own state. Walking tasks tick every kWalkDelay ms; "speed" of ObjectData is in
-- pixels a second (the powers change it).

local kWalkDelay = 20

local gFacing = "right"
-- Walking right (2) or left (4) turns the walker; up and down keep the way she faces.
local kFacings = { [2] = "right", [4] = "left" }

local function Face(direction)
  gFacing = kFacings[direction] or gFacing
end

local function Stand()
  CPP_SetSimpleAnimState("stay_" .. gFacing)
end

-- A walk's step: the task moves by the value returned over its delay each tick.
local function Walk(direction)
  Face(direction)
  CPP_SetSimpleAnimState("walk_" .. gFacing)
  local speed = ObjectData.speed or 100
  return speed * kWalkDelay * kWalkDelay / 1000
end

function walkBeginTask(direction) return Walk(direction) end
function walkTaskTimer(direction) Face(direction) CPP_SetSimpleAnimState("walk_" .. gFacing) return 1 end
function walkEndTask(direction) Stand() return 0 end

function movingBeginTask(direction) return Walk(direction) end
function movingTaskTimer(direction) Face(direction) CPP_SetSimpleAnimState("walk_" .. gFacing) return 1 end
function movingEndTask(direction) Stand() return 0 end

-- At a girl: turned toward her as the scene says.
local function Work()
  if personageTouchUpDirection then
    gFacing = personageTouchUpDirection
  end
  CPP_SetSimpleAnimState("work")
  return 1
end

function workBeginTask(resumed) return Work() end
function workTaskTimer(n) return 1 end
function workEndTask(reason) Stand() return 0 end

function touchupBeginTask(resumed) return Work() end
function touchupTaskTimer(n) return 1 end
function touchupEndTask(reason) Stand() return 0 end
