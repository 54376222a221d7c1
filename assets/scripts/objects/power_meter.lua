-- The power meter fills a segment at a time as the player scores; full, it may be clicked for a
-- power.
function powerSetProgress(progress, maximum, segments)
  local shown = math.floor(progress * segments / maximum)
  if shown > segments then
    shown = segments
  end
  CPP_SetSimpleAnimState("progress_" .. shown)
  if progress >= maximum then
    CPP_SetEnabled(1)
    CPP_SetSimpleAnimState("check_on")
  end
end

function ResetPowerMeter()
  CPP_Reset()
  CPP_SetSimpleAnimState("progress_0")
  CPP_SetSimpleAnimState("check_hide")
end

function resetBeginTask(resumed) return 1 end
function resetTaskTimer(n) return 1 end
function resetEndTask(reason) return 0 end
