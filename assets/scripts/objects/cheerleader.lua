-- The cheerleader: the parts she likes best, then what every girl does.
kFavourite = { hairstyle = 2, makeup = 1, hairstyle_power = 2, makeup_power = 1 }

dofile("scripts/objects/girl.lua")
