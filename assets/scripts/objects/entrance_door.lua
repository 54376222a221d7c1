-- The entrance: a girl coming in opens it (the game sets "open"); it closes again within a
-- second.
function DoorTick(tick)
  if tick - 2 * math.floor(tick / 2) == 0 then
    CPP_SetSimpleAnimState("normal")
  end
  return 1
end
