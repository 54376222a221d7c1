-- The judges' stand: while the game lets girls in (check_enter_delay above 0, in tenths of a
-- second) it asks for the next waiting girl once that time has passed.
check_enter_delay = 0
local gWaited = 0

function JudgesTick(tick)
  if check_enter_delay > 0 then
    gWaited = gWaited + 1
    if gWaited >= check_enter_delay then
      gWaited = 0
      CPP_EnterDelayRequest()
    end
  else
    gWaited = 0
  end
  return 1
end
