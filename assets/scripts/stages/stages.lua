-- The stage file of the four demo levels. The level runs it in a state of its own and reads:
-- "timer_delay", "LevelData" (the placements of the level being loaded, one section per object
-- group, chosen by CPP_GetLevelNum), "Objects" (the types and instance data the sections name),
-- "PreloadObjectsSection", GetPreloadingXml, LevelTimerFunc and "retUpgradeStr".

-- The level timer ticks every second: the try-again screen opens 7 ticks after a lost level.
timer_delay = 1000

-- ---------------------------------------------------------------------------------------------
-- Types: what every placement of a kind shares.

-- The table with the entries of `extra` added (replacing its own of the same keys).
local function Extended(base, extra)
  for key, value in pairs(extra or {}) do
    base[key] = value
  end
  return base
end

-- The numbers of a girl of a playing type on a level ("LevelBaseTypes" gives them to her): her
-- times are in ms; her poise runs from 0 to base_poise, starts at base_start_poise and falls by
-- base_stat_poise a second while she waits; scene_scores are the points of each station (a part
-- she likes adds to them, one she dislikes takes off).
local kGirlBase = {
  cheerleader = {},
  -- The singer asks a little later and keeps her poise a little longer.
  singer = { base_request_time = 2000, base_poise = 70, base_start_poise = 70 },
  -- The gymnast is quick at the stations and quick to lose heart.
  gymnast = { base_request_time = 1000, base_hairstyle_time = 1600, base_makeup_time = 1600,
              base_stat_poise = 3 },
}

local function GirlBase(kind, level)
  local base = Extended({
    base_request_time = 1500,
    base_poise = 60, base_start_poise = 60, base_stat_poise = 2, base_restore_poise = 10,
    base_hairstyle_time = 2000, base_makeup_time = 2000, base_judging_time = 2400,
    scene_scores = { hairstyle = 25, makeup = 25, hairstyle_power = 25, makeup_power = 25 },
  }, kGirlBase[kind])
  return Extended(base, level)
end

-- The girls' numbers on a level: the types' own, with the level's changes for every type.
local function GirlBases(level)
  local bases = { base_type_extension = true }
  for kind in pairs(kGirlBase) do
    bases[kind] = GirlBase(kind, level)
  end
  return bases
end

-- A girl of one of the three playing types: her look, script, scenes and tasks.
local function Girl(kind)
  return Extended({
    class_name = "GStudent", base_type = kind, xml_anim = kind,
    script_name = "scripts/objects/" .. kind .. ".lua",
    delta_score_x = 0, delta_score_y = -100,
    triggers = { delay = 100, { func_name = "GirlTick" }, { func_name = "PoiseTrigger" } },
    scenes = { "hairstyle", "makeup", "judging_a", "judging_b", "judging_scene", "make_touchup",
               "makeup_power", "hairstyle_power", "tussle", "take_pacifier", "assistant" },
    tasks = {
      hairstyle = { tick_count = 20, delay = 100 },
      makeup = { tick_count = 20, delay = 100 },
      podium = { tick_count = 24, delay = 100 },
      quarrel = { tick_count = 15, delay = 100 },
      touchup_wait = { tick_count = 10, delay = 100 },
      death = { tick_count = 10, delay = 100 },
    },
  }, GirlBase(kind))
end

-- A seat of the stations: the heroine stands at its approach point, the girl sits on its landing
-- point, an assistant stands at the helper's point and a power serves from the power's point.
local function Seat(look, scenes)
  return { class_name = "GSeat", base_type = look, xml_anim = look, scenes = scenes,
           point_approach = { x = 44, y = 6, z = 1 },
           point_approach_helper = { x = -44, y = 6, z = 1 },
           point_landing = { x = 0, y = 2, z = 1 },
           point_approach_power = { x = 44, y = 6, z = 1 } }
end

-- Walking tasks tick every 20 ms; the scripts turn their speed into a step.
local function WalkerTasks(extra)
  return Extended({
    walk = { sub_type = 1, tick_count = 1, delay = 20 },
    moving = { sub_type = 1, tick_count = 1, delay = 20 },
    work = { tick_count = 20, delay = 100 },
    touchup = { tick_count = 10, delay = 100 },
  }, extra)
end

local kTypes = {
  cheerleader = Girl("cheerleader"),
  singer = Girl("singer"),
  gymnast = Girl("gymnast"),

  entrance_door = { class_name = "GInDoor", base_type = "entrance_door",
                    xml_anim = "entrance_door", script_name = "scripts/objects/entrance_door.lua",
                    triggers = { delay = 500, { func_name = "DoorTick" } } },
  prep_queue = { class_name = "GPreparationQueue", base_type = "prep_queue",
                 xml_anim = "prep_queue",
                 point_approach = { x = 40, y = 0, z = 1 }, point_landing = { x = 0, y = 0, z = 1 } },
  hair_seat = Seat("hair_seat", { "hairstyle", "hairstyle_power" }),
  makeup_seat = Seat("makeup_seat", { "makeup", "makeup_power" }),

  heroine = { class_name = "GMainHeroine", base_type = "heroine", xml_anim = "heroine",
              script_name = "scripts/objects/heroine.lua",
              -- At the judges' door, in the poise glow and at the power meter.
              tasks = WalkerTasks({ wait = { tick_count = 1000, delay = 100 },
                                    shine = { tick_count = 30, delay = 100 },
                                    take = { tick_count = 5, delay = 100 } }),
              triggers = { delay = 100, { func_name = "HeroineTick" } } },
  assistant = { class_name = "GPersonage", base_type = "assistant", xml_anim = "assistant",
                script_name = "scripts/objects/assistant.lua", tasks = WalkerTasks({}),
                scenes = { "assistant" } },

  judging_place = { class_name = "GJudgingQueue", base_type = "judging_place",
                    xml_anim = "judging_place", scenes = { "judging_a", "judging_b", "tussle" },
                    point_approach = { x = 0, y = 40, z = 1 },
                    point_landing = { x = 0, y = 10, z = 1 } },
  judging_scene = { class_name = "GJudgingScene", base_type = "judging_scene",
                    xml_anim = "judging_scene", xml_judges = "judges",
                    judges_delta = { x = 0, y = -52 },
                    point_landing = { x = 0, y = -4, z = 2 },
                    enter_scene_delay = 1000, score_combo = { 5, 10, 20 },
                    script_name = "scripts/objects/judging_scene.lua",
                    triggers = { delay = 100, { func_name = "JudgesTick" } } },
  judging_door = { class_name = "GJudgingSceneDoor", base_type = "judging_door",
                   xml_anim = "judging_door", scenes = { "judging_scene_door" },
                   point_approach = { x = -50, y = 6, z = 1 },
                   script_name = "scripts/objects/judging_door.lua",
                   triggers = { delay = 100, { func_name = "DoorTick" } } },

  pacifier_container = { class_name = "GPacifierContainer", base_type = "pacifier_container",
                         xml_anim = "pacifier_container",
                         script_name = "scripts/objects/pacifier_container.lua",
                         tasks = { reset = { tick_count = 10, delay = 100 } } },
  pacifier = { class_name = "GPacifierObject", base_type = "pacifier", xml_anim = "pacifier",
               container = "pacifier_container",
               poise_boost = 20, reset_time = 8000, point_approach = { x = 0, y = 20, z = 1 } },

  girl_upgrade = { class_name = "GStudentUpgrade", base_type = "girl_upgrade",
                   xml_anim = "girl_upgrade" },
  power_meter = { class_name = "GMarivellPowerMeter", base_type = "power_meter",
                  xml_anim = "power_meter", script_name = "scripts/objects/power_meter.lua",
                  point_approach = { x = -30, y = 10, z = 1 },
                  reset_time = 1000, power_to_add = 10, power_max_score = 100,
                  power_segments_num = 5, tasks = { reset = { tick_count = 10, delay = 100 } } },
}

-- Instance data: each object's name and the type it is made from.
local kData = {}
local function Instances(baseType, names)
  for _, name in ipairs(names) do
    kData[name] = { name = name, base_type = baseType }
  end
end
Instances("entrance_door", { "entrance_door" })
Instances("prep_queue", { "prep_queue_1", "prep_queue_2", "prep_queue_3" })
Instances("hair_seat", { "hair_seat" })
Instances("makeup_seat", { "makeup_seat" })
Instances("heroine", { "heroine" })
Instances("assistant", { "assistant" })
Instances("judging_place", { "judging_place_1", "judging_place_2", "judging_place_3" })
Instances("judging_scene", { "judging_scene" })
Instances("judging_door", { "judging_door" })
Instances("pacifier_container", { "pacifier_container" })
Instances("pacifier", { "pacifier_1", "pacifier_2", "pacifier_3" })
Instances("girl_upgrade", { "girl_upgrade_1" })
Instances("power_meter", { "power_meter" })
Instances("cheerleader", { "amber", "clara", "erin", "gwen" })
Instances("singer", { "bianca", "dora", "flora" })
Instances("gymnast", { "hanna", "iris", "jade" })

Objects = {
  types = kTypes,
  data = kData,
  level_types = {
    level = {},
  },
}

-- ---------------------------------------------------------------------------------------------
-- The levels. Every level has the entrance, the heroine, the stand with its judges and a row of
-- judging places before it; each adds its own stations and girls.

local function Place(x, y, extra)
  return Extended({ included = true, pos_x = x, pos_y = y }, extra)
end

-- A girl coming in `first` ms after the start, asking for the stations of her life cycle.
local function Arrival(first, cname, lifeCycle)
  return Place(40, 380, { first_appearance_time = first, appearance_time = 1500,
                          cname = cname, life_cycle = lifeCycle })
end

local function Hall(objects)
  local hall = { BaseType = "types", BaseData = "data",
    entrance_door = Place(40, 330),
    prep_queue_1 = Place(110, 400),
    prep_queue_2 = Place(110, 480),
    heroine = Place(650, 470, { speed = 160, touchup_time = 1000, touchup_poise = 15 }),
    judging_scene = Place(400, 176),
    judging_place_1 = Place(480, 250),
    judging_place_2 = Place(400, 250),
    hair_seat = Place(300, 430),
  }
  return Extended(hall, objects)
end

local kLevels = {
  -- The first show: one station and three girls, no upgrades.
  {
    level = { goal = 50, expert = 100 },
    hall = Hall({
      amber = Arrival(500, "amber_name", { "hairstyle", "judging_a" }),
      bianca = Arrival(4000, "bianca_name", { "hairstyle", "judging_b" }),
      clara = Arrival(8000, "clara_name", { "hairstyle", "judging_a" }),
    }),
  },
  -- The make-up seat, the assistant, the girl upgrade and the pacifiers are for sale; the judges
  -- have a door, and the girls lose heart quickly.
  {
    level = { goal = 150, expert = 300 },
    hall = Hall({
      makeup_seat = Place(470, 430),
      assistant = Place(720, 520),
      girl_upgrade_1 = Place(190, 520),
      judging_door = Place(640, 260),
      pacifier_container = Place(730, 400),
      pacifier_1 = Place(712, 372),
      pacifier_2 = Place(730, 372),
      pacifier_3 = Place(748, 372),
      dora = Arrival(500, "dora_name", { "makeup", "hairstyle", "judging_a" }),
      erin = Arrival(3000, "erin_name", { "hairstyle", "judging_b" }),
      hanna = Arrival(6000, "hanna_name", { "hairstyle", "makeup", "judging_a" }),
      flora = Arrival(9000, "flora_name", { "hairstyle", "judging_b" }),
      gwen = Arrival(12000, "gwen_name", { "makeup", "judging_a" }),
    }),
    LevelBaseTypes = GirlBases({ base_poise = 30, base_start_poise = 30 }),
  },
  -- The powers: six girls, two of them judged twice.
  {
    level = { goal = 250, expert = 450 },
    hall = Hall({
      prep_queue_3 = Place(110, 320),
      makeup_seat = Place(470, 430),
      judging_door = Place(640, 260),
      judging_place_3 = Place(320, 250),
      power_meter = Place(770, 300),
      amber = Arrival(500, "amber_name", { "hairstyle", "judging_a", "makeup", "judging_b" }),
      bianca = Arrival(2000, "bianca_name", { "makeup", "judging_b" }),
      hanna = Arrival(4000, "hanna_name", { "hairstyle", "makeup", "judging_a" }),
      dora = Arrival(6000, "dora_name", { "makeup", "judging_a", "hairstyle", "judging_b" }),
      iris = Arrival(8000, "iris_name", { "hairstyle", "judging_b" }),
      erin = Arrival(10000, "erin_name", { "makeup", "hairstyle", "judging_a" }),
    }),
  },
  -- The award: four girls and a short show.
  {
    level = { goal = 120, expert = 240 },
    hall = Hall({
      makeup_seat = Place(470, 430),
      judging_door = Place(640, 260),
      clara = Arrival(500, "clara_name", { "hairstyle", "judging_a" }),
      flora = Arrival(2500, "flora_name", { "makeup", "judging_b" }),
      jade = Arrival(4500, "jade_name", { "hairstyle", "judging_a" }),
      gwen = Arrival(6500, "gwen_name", { "makeup", "judging_b" }),
    }),
  },
}

-- Levels past the demo's play its last one.
local function ChosenNumber()
  local number = CPP_GetLevelNum()
  if number < 1 then
    return 1
  end
  if number > table.getn(kLevels) then
    return table.getn(kLevels)
  end
  return number
end

local kNumber = ChosenNumber()
local kChosen = kLevels[kNumber]

LevelData = {
  level = { BaseType = "level_types", goal = kChosen.level.goal, expert = kChosen.level.expert },
  hall = kChosen.hall,
  LevelBaseTypes = kChosen.LevelBaseTypes or GirlBases(),
}
Objects.level_types.level.background = string.format("backgrounds/level_%02d.png", kNumber)

-- ---------------------------------------------------------------------------------------------
-- Preloading: every visual object the levels use, handed out one by one by GetPreloadingXml.

PreloadObjectsSection = { "visuals" }

local kPreload = {
  visuals = { "cheerleader", "singer", "gymnast", "girl_marks", "heroine", "assistant",
              "hair_seat", "makeup_seat", "prep_queue", "judging_place", "judging_scene",
              "judges", "judging_door", "entrance_door", "pacifier", "pacifier_container",
              "girl_upgrade", "power_meter" },
}
local kPreloadNext = {}

-- The next object path of the section, then "" once at its end (which starts it over).
function GetPreloadingXml(section, flag)
  local list = kPreload[section]
  if not list then
    return ""
  end
  local index = (kPreloadNext[section] or 0) + 1
  if index > table.getn(list) then
    kPreloadNext[section] = 0
    return ""
  end
  kPreloadNext[section] = index
  return list[index]
end

-- ---------------------------------------------------------------------------------------------
-- The level's clock: nothing to do each second; the objects keep their own time.

function LevelTimerFunc(tick)
end

-- What a buying command starting with '@' leaves for the object's script.
retUpgradeStr = ""
