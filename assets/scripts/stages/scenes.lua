-- The logical scenes of the demo: each brings a girl together with a station, the heroine, the
-- assistant, the judges or another girl. The logical manager runs this file in its scene script;
-- the hooks below run there with the scene that calls them as the current scene, so "CPP_"
-- calls address its objects by entry (0 is the first of "objects").

-- A hook that lets the scene go on.
function Go()
  return 1
end

-- Walks go to the entry each scene names: the seat of a station, the door, the meter.
local kWalkTargets = {
  hairstyle = 1, makeup = 1, judging_scene_door = 0, take_power = 0,
  hairstyle_power = 2, makeup_power = 2,
}

function OnCalcPath(scene)
  return kWalkTargets[scene] or -1
end

-- The parts the selector offers at each station: the demo's three hair styles and make-ups.
function GetMinChoiceIndex(girlType, scene)
  return 1
end

function GetMaxChoiceIndex(girlType, scene)
  if scene == "hairstyle" or scene == "hairstyle_power" or scene == "makeup" or
     scene == "makeup_power" then
    return 3
  end
  return 0
end

-- ---------------------------------------------------------------------------------------------
-- Stations: the girl waits on the seat until the player clicks her; the heroine comes, the player
-- chooses a part, and both work until the girl's task is done.

-- The girl waits for the heroine: a click on her now calls the heroine.
function StationCreate()
  CPP_SendMessageToObject(0, 1, "")
  return 1
end

function StationBegin()
  CPP_SetTouchUpDirection()
  return 1
end

-- The selector: the stage ends when the player chose.
function ChoosePart(stage)
  CPP_SetTouchUpDirection()
  CPP_RunChooseUser(0)
  return 1
end

-- The part chosen: the girl's task runs for its time and the heroine's work as long.
function ApplyPart(stage)
  CPP_SyncTaskTime(2, "work", 0, StationTask())
  return 1
end

local gStationTask = "hairstyle"
function StationTask()
  return gStationTask
end

function HairstyleApply(stage)
  gStationTask = "hairstyle"
  return ApplyPart(stage)
end

function MakeupApply(stage)
  gStationTask = "makeup"
  return ApplyPart(stage)
end

function StationEnd()
  CPP_ModifyCheck(0, -1)
end

local function Station(task, apply)
  return { class_name = "GLogicalScene", OnCreate = "StationCreate", OnBegin = "StationBegin",
    OnEnd = "StationEnd",
    objects = { { class_type = "GStudent" }, { class_type = "GSeat" },
                { class_type = "GMainHeroine" } },
    stages = {
      { tasks = { "", "", "@walk" } },
      { OnBegin = "ChoosePart" },
      { OnBegin = apply, tasks = { task, "", "work" } },
    } }
end

-- The powers serve a girl at once: the heroine walks to her seat and the part is the script's.
function PowerPart(stage)
  CPP_GenerateChooseUser(0, 1)
  CPP_SyncTaskTime(1, "work", 0, StationTask())
  return 1
end

function HairstylePower(stage)
  gStationTask = "hairstyle"
  return PowerPart(stage)
end

function MakeupPower(stage)
  gStationTask = "makeup"
  return PowerPart(stage)
end

local function PowerScene(task, apply)
  return { class_name = "GLogicalScene", OnBegin = "Go",
    objects = { { class_type = "GStudent" }, { class_type = "GMainHeroine" },
                { class_type = "GSeat" } },
    stages = {
      { tasks = { "", "@walk", "" } },
      { OnBegin = apply, tasks = { task, "work", "" } },
    } }
end

-- ---------------------------------------------------------------------------------------------
-- Touch-ups: the heroine (or the assistant, in her own scene) comes to a girl after a station and
-- gives her poise.

function TouchUpBegin(stage)
  CPP_SetTouchUpDirection()
  return 1
end

function TouchUpDone(stage)
  CPP_TouchUp(0)
  return 1
end

function TouchUpEnd()
  CPP_ModifyCheck(0, -1)
end

-- ---------------------------------------------------------------------------------------------
-- The judges.

-- A girl on the podium: when she leaves it, her judging is over.
function JudgingEnd(stage)
  CPP_OnEndJudging()
  return 1
end

-- The heroine at the door waits there until the queue has gone in.
function DoorWaitBegin(stage)
  return 1
end

-- How long a quarrel takes to break out in the judging queue (ms): the less poise the girl with
-- the least of it has, the sooner. Mode 0: the first wait, 1: after a tussle, -1: after a check
-- that found nobody.
function CalcTussleDelayTime(poise, mode)
  if mode == 1 then
    return 12000
  end
  if mode == -1 then
    return 4000
  end
  return 3000 + poise * 100
end

function TussleEnd()
  CPP_PlaySound("cry")
end

-- The judges' faces, score cards and the girl's look by the points she earned.
function GetJudgesAnimationState(points)
  if points >= 45 then
    return "happy_xl"
  end
  if points >= 35 then
    return "happy"
  end
  if points >= 25 then
    return "neutral"
  end
  return "sad"
end

function GetJudgesAnimationScore(points)
  -- The scene script has no math library: "%d" truncates.
  local score = tonumber(string.format("%d", points / 5))
  if score > 9 then
    score = 9
  end
  if score < 0 then
    score = 0
  end
  return score
end

function GetStudentAnimationState(points)
  return GetJudgesAnimationState(points)
end

-- ---------------------------------------------------------------------------------------------
-- The powers' own scenes and the pacifier.

-- The poise glow: the heroine shines, every girl gains poise, the glow goes out.
function PoiseGlowBegin(stage)
  CPP_OnPoisePower(0, 0)
  return 1
end

function PoiseGlowGive(stage)
  CPP_OnPoisePower(1, 0)
  return 1
end

function PoiseGlowEnd()
  CPP_OnPoisePower(2, 0)
end

-- The power meter: the heroine comes to it and the powers dialog opens.
function ChoosePower(stage)
  CPP_RunPowerMeterDialog(0)
  return 1
end

scenes = {
  hairstyle = Station("hairstyle", "HairstyleApply"),
  makeup = Station("makeup", "MakeupApply"),
  hairstyle_power = PowerScene("hairstyle", "HairstylePower"),
  makeup_power = PowerScene("makeup", "MakeupPower"),

  make_touchup = { class_name = "GTouchUpScene", OnEnd = "TouchUpEnd",
    objects = { { class_type = "GStudent" }, { class_type = "GMainHeroine" } },
    stages = {
      { tasks = { "", "@walk" } },
      { OnBegin = "TouchUpBegin", OnEnd = "TouchUpDone", tasks = { "touchup_wait", "touchup" } },
    } },
  -- The assistant's scene carries her object name; she works from where she stands.
  assistant = { class_name = "GLogicalScene", OnEnd = "TouchUpEnd",
    objects = { { class_type = "GStudent" }, { class_type = "GPersonage" } },
    stages = {
      { OnBegin = "TouchUpBegin", OnEnd = "TouchUpDone", tasks = { "touchup_wait", "touchup" } },
    } },

  -- The judging places: a girl dropped on one waits there for the judges of her kind.
  judging_a = { class_name = "GQueueLogicalScene" },
  judging_b = { class_name = "GQueueLogicalScene" },
  judging_scene = { class_name = "GLogicalScene", OnBegin = "Go",
    objects = { { class_type = "GStudent" }, { class_type = "GJudgingScene", block_on_begin = 1 } },
    stages = { { OnEnd = "JudgingEnd", tasks = { "podium", "" } } } },
  judging_scene_door = { class_name = "GLogicalScene", OnBegin = "Go",
    objects = { { class_type = "GJudgingSceneDoor" }, { class_type = "GMainHeroine" } },
    stages = {
      { tasks = { "", "@walk" } },
      { OnBegin = "DoorWaitBegin", tasks = { "", "wait" } },
    } },
  tussle = { class_name = "GLogicalScene", OnBegin = "Go", OnEnd = "TussleEnd",
    objects = { { class_type = "GStudent" }, { class_type = "GStudent" },
                { class_type = "GJudgingQueue" }, { class_type = "GJudgingQueue" } },
    stages = { { tasks = { "quarrel", "quarrel" } } } },

  poise_power = { class_name = "GLogicalScene",
    objects = { { class_type = "GMainHeroine" } },
    OnEnd = "PoiseGlowEnd",
    stages = {
      { OnBegin = "PoiseGlowBegin", OnEnd = "PoiseGlowGive", tasks = { "shine" } },
    } },
  take_power = { class_name = "GLogicalScene", OnBegin = "Go",
    objects = { { class_type = "GMarivellPowerMeter" }, { class_type = "GMainHeroine" } },
    stages = {
      { tasks = { "", "@walk" } },
      { OnBegin = "ChoosePower", tasks = { "", "take" } },
    } },
  take_pacifier = { class_name = "GPacifierScene", OnBegin = "Go",
    objects = { { class_type = "GPacifierObject" }, { class_type = "GStudent" } },
    stages = { { tasks = { "", "touchup_wait" } } } },
}
