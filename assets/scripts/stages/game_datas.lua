-- The game data's script: the powers and the upgrades the demo offers, and the numbers the game
-- asks of them. A record's "level" is the first level that offers it; "upgrade_level" counts the
-- upgrades of one object from 0; "value" is the factor an upgrade applies.

Upgrades = {
  powers = {
    -- Touch-ups (the heroine's or the assistant's care after a station) from level 2 on.
    touchup = { level = 2, price = 0 },
    -- The power buttons, in their display order, from level 3 on.
    energy_boost = { level = 3, index = 1, price = 0 },
    makeup_power = { level = 3, index = 2, price = 0 },
    hairstyle_power = { level = 3, index = 3, price = 0 },
    poise_power = { level = 3, index = 4, price = 0 },
  },
  objects = {
    -- The make-up seat: bought once, then faster.
    { name = "makeup_seat",
      { level = 2, upgrade_level = 0, price = 100, value = 1.0, recommended = true },
      { level = 3, upgrade_level = 1, price = 150, value = 0.75 } },
    -- The assistant touches up the girls after their make-up, later after their hair style too.
    { name = "assistant",
      { level = 2, upgrade_level = 0, price = 150 },
      { level = 3, upgrade_level = 1, price = 200 } },
    -- The singers' training: quicker at the stations and steadier.
    { name = "girl_upgrade_1", girl_base_type = "singer",
      { level = 2, upgrade_level = 0, price = 120, value = 0.8 } },
    -- The pacifiers: three, then stronger ones.
    { name = "pacifier_container",
      { level = 2, upgrade_level = 0, price = 80,
        start_command = "BaseType.poise_boost = 20; BaseType.reset_time = 8000;" },
      { level = 3, upgrade_level = 1, price = 120,
        start_command = "BaseType.poise_boost = 30; BaseType.reset_time = 6000;" } },
  },
}

-- The numbers the powers run with, asked by power and parameter name.
local kPowerData = {
  -- The soda: the heroine's speed for action_time seconds.
  energy_boost = { speed = 320, action_time = 10 },
  -- The heroine's speed while the make-up and hair-style powers serve the waiting girls.
  dialog_powers_data = { speed = 320 },
  -- The poise the poise glow gives every girl.
  poise = { poise_power = 20 },
}

function GetPowerData(power, parameter)
  local data = kPowerData[power]
  return data and data[parameter] or 0
end

-- The assistant's numbers by upgrade level (1 = first bought): her touch-up time and speed.
local kUpgradeData = {
  assistant = {
    { touchup_time = 1500, speed = 120 },
    { touchup_time = 1000, speed = 160 },
  },
}

function GetUpgradeDataParam(name, level, parameter)
  local levels = kUpgradeData[name]
  local data = levels and levels[level]
  return data and data[parameter] or 0
end

-- Stations of one kind in a row make a combo: the scenes of each group.
local kComboGroups = {
  hairstyle = "hair", hairstyle_power = "hair",
  makeup = "makeup", makeup_power = "makeup",
}

function IsInComboList(name)
  return kComboGroups[name] or ""
end
