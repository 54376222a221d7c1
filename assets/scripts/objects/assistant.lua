-- The assistant, hired in the upgrade phase: she touches up the girls after their make-up, and
-- once upgraded after their hair style too.
dofile("scripts/objects/personage.lua")

local kActions = { { "makeup" }, { "makeup", "hairstyle" } }

-- Her actions for the upgrade level bought (1 the first).
function LoadTouchupAction(name, level)
  for _, action in ipairs(kActions[level] or {}) do
    CPP_AddTouchupAction(action)
  end
end
