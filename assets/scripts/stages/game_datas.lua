-- The game data's script until the real stages come: the upgrades and powers the game offers.
-- The placeholder level offers nothing, so its play starts at once; the five powers come from
-- level 3 on.

Upgrades = {
  powers = {
    energy_boost = { level = 3, index = 1, price = 0 },
    makeup_power = { level = 4, index = 2, price = 0 },
    hairstyle_power = { level = 5, index = 3, price = 0 },
    poise_power = { level = 6, index = 4, price = 0 },
    podium_power = { level = 7, index = 5, price = 0 },
  },
  objects = {},
}

-- The numbers the powers run with, asked by power and parameter name.
local kPowerData = {
  -- The soda: the heroine's speed for action_time seconds.
  energy_boost = { speed = 250, action_time = 8 },
  -- The heroine's speed while the make-up and hair-style powers serve the waiting girls.
  dialog_powers_data = { speed = 250 },
  -- The poise the poise glow gives every girl.
  poise = { poise_power = 2 },
}

function GetPowerData(power, parameter)
  local data = kPowerData[power]
  return data and data[parameter] or 0
end

function GetUpgradeDataParam(first, number, last)
  return 0
end
