-- The pacifier container: once every pacifier is taken its "reset" task brings them back.
function resetBeginTask(resumed) return 1 end
function resetTaskTimer(n) return 1 end
function resetEndTask(reason)
  CPP_PlaySound("bottle_open")
  return 0
end
