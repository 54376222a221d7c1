-- The singer: the parts she likes best, then what every girl does.
kFavourite = { hairstyle = 1, makeup = 3, hairstyle_power = 1, makeup_power = 3 }

dofile("scripts/objects/girl.lua")
