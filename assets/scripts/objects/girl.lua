-- What every girl of the contest does, run in her own state after her type's file set kFavourite
-- (the parts she likes best). The girl's class calls the functions below by name;
-- her triggers GirlTick and PoiseTrigger run every 100 ms.

-- Set by the game: check_appearence (1 while she is to come in), check_request (1 while she is to
-- ask for her next station), poise_on (1 while she waits with a wish), cry_lock, and after a
-- chosen part scenes_used_dialog.<scene>, user_dialog_result and user_dialog_poisekoef.
check_appearence = 1
check_request = 0
poise_on = 0
cry_lock = 0
scenes_used_dialog = {}
user_dialog_result = 0
user_dialog_poisekoef = 0

-- Her score pop-up: over her head, and beside her on the podium.
offset_X = -20
offset_Y = 0
offsetScene_X = 40
offsetScene_Y = 20

current_poise = 0
local gPoiseTicks = 0
local gOfferTouchUp = 0
local gLeaving = 0

-- The type's stations by task: what a seat scales and what her base type times.
local kBaseTimes = { hairstyle = "base_hairstyle_time", makeup = "base_makeup_time",
                     podium = "base_judging_time" }

local function Clamp(value, low, high)
  if value < low then
    return low
  end
  if value > high then
    return high
  end
  return value
end

local function ShowPoise()
  current_poise = Clamp(current_poise, 0, BaseType.base_poise)
  CPP_PoiseChange(current_poise)
end

-- Before she comes in she is not seen.
function OnAfterLoad()
  CPP_SetVisible(0)
end

function OnStartGame()
  current_poise = BaseType.base_start_poise
  check_appearence = 1
end

function GirlTick(tick)
  if check_appearence == 1 then
    if CPP_CheckTimeAppearence() ~= 1 then
      return 1
    end
    check_appearence = 0
    CPP_SetVisible(1)
    CPP_SetAnimState("stay_right")
    CPP_SetPoiseOn(1)
  end
  if check_request == 1 and CPP_CheckTimeRequest() == 0 then
    check_request = 0
  end
  if gOfferTouchUp == 1 then
    gOfferTouchUp = 0
    CPP_SetCanTouchUp(1)
  end
  return 1
end

-- While she waits with a wish she loses heart, a second at a time; with none left she leaves.
function PoiseTrigger(tick)
  if poise_on ~= 1 or gLeaving == 1 then
    return 1
  end
  gPoiseTicks = gPoiseTicks + 1
  if gPoiseTicks < 10 then
    return 1
  end
  gPoiseTicks = 0
  current_poise = current_poise - BaseType.base_stat_poise
  ShowPoise()
  if current_poise <= 0 and CPP_DeathOn() > 0 then
    gLeaving = 1
  end
  return 1
end

function AddPoise(n)
  current_poise = current_poise + n
  ShowPoise()
  if n > 0 then
    CPP_PlaySound("girl_happy")
  end
end

-- The poise glow of the heroine.
function ChangePoisePower(n)
  AddPoise(n)
end

-- A pacifier dropped on her: its number is the poise it gives.
function TakePacifier(number)
  if number > 0 then
    AddPoise(number)
  else
    AddPoise(BaseType.base_restore_poise)
  end
end

-- Judged once and back to the entrance for her next round.
function OnReturnToPreQueue()
  CPP_SetVisible(0)
  CPP_SetPoiseOn(0)
end

-- The points of a scene for her: a station's points, more for a part she liked and most for her
-- favourite; a quarrel costs points and poise.
function OnSceneEnd(scene)
  local scores = BaseType.scene_scores
  if scores and scores[scene] then
    local mood = Clamp(user_dialog_poisekoef, -1, 2)
    local points = scores[scene] + 5 * mood
    if kFavourite[scene] == user_dialog_result then
      points = points + 5
    end
    user_dialog_poisekoef = 0
    gOfferTouchUp = 1
    CPP_SetAnimState("stay_right")
    return points
  end
  if scene == "tussle" then
    AddPoise(-BaseType.base_restore_poise)
    return -5
  end
  return 0
end

function MakeCheckState(holder)
  return "check_on"
end

function GetRealTaskName(task)
  return task
end

function GetTaskBaseTime(task)
  local key = kBaseTimes[task]
  return key and BaseType[key] or 0
end

-- The stations: the chosen part shows as her task begins.
function hairstyleBeginTask(resumed)
  CPP_ApplyHair(99 + Clamp(user_dialog_result, 1, 3))
  CPP_SetAnimState("stay_right")
  return 1
end
function hairstyleTaskTimer(n) return 1 end
function hairstyleEndTask(reason) return 0 end

function makeupBeginTask(resumed)
  CPP_ApplyMakeup(Clamp(user_dialog_result, 1, 3))
  CPP_SetAnimState("stay_right")
  return 1
end
function makeupTaskTimer(n) return 1 end
function makeupEndTask(reason) return 0 end

-- On the podium: the judges' points by her poise; her face and glow by their verdict.
function podiumBeginTask(resumed)
  CPP_SetPoiseOn(0)
  return 1
end
function podiumTaskTimer(n) return 1 end
function podiumEndTask(reason)
  local points = 30 + math.floor(current_poise * 10 / BaseType.base_poise)
  CPP_AddFlyScore(points, 1)
  if judging_lips_state then
    CPP_SetSimpleAnimState(judging_lips_state)
    CPP_SetSimpleAnimState(judging_particles_state)
  end
  return 0
end

function quarrelBeginTask(resumed)
  CPP_PlaySound("fight")
  CPP_SetSimpleAnimState("check_on")
  return 1
end
function quarrelTaskTimer(n) return 1 end
function quarrelEndTask(reason)
  CPP_SetSimpleAnimState("check_hide")
  return 0
end

function touchup_waitBeginTask(resumed) return 1 end
function touchup_waitTaskTimer(n) return 1 end
function touchup_waitEndTask(reason) return 0 end

-- Out of heart: she walks out and the level counts her as lost.
function deathBeginTask(resumed)
  CPP_SetPoiseOn(0)
  CPP_PlaySound("girl_sad")
  return 1
end
function deathTaskTimer(n) return 1 end
function deathEndTask(reason)
  CPP_SetVisible(0)
  CPP_WantDestroy()
  return 0
end
