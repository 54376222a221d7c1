-- The stage file until the real stages come: one level in the contest hall, a background and a
-- few plain objects that stand where the stations will be.

timer_delay = 1000

LevelData = {
  level = { goal = 50, expert = 100 },
  hall = { BaseType = 'hall_types', BaseData = 'hall_data',
    podium = { included = true, pos_x = 300, pos_y = 150 },
    mirror = { included = true, pos_x = 90, pos_y = 200 },
    sofa = { included = true, pos_x = 560, pos_y = 330 },
    plant = { included = true, pos_x = 700, pos_y = 170 },
  },
}

Objects = {
  hall_types = {
    podium = { class_name = 'GGameObject', base_type = 'podium', xml_anim = 'podium' },
    mirror = { class_name = 'GGameObject', base_type = 'mirror', xml_anim = 'mirror' },
    sofa = { class_name = 'GGameObject', base_type = 'sofa', xml_anim = 'sofa' },
    plant = { class_name = 'GGameObject', base_type = 'plant', xml_anim = 'plant' },
  },
  hall_data = {
    podium = { name = 'podium', base_type = 'podium' },
    mirror = { name = 'mirror', base_type = 'mirror' },
    sofa = { name = 'sofa', base_type = 'sofa' },
    plant = { name = 'plant', base_type = 'plant' },
  },
  level_types = { level = { background = 'game/hall.png' } },
}

-- The level's clock: nothing happens in the placeholder hall.
function LevelTimerFunc(tick)
end
