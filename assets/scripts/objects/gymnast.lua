-- The gymnast: the parts she likes best, then what every girl does.
kFavourite = { hairstyle = 3, makeup = 2, hairstyle_power = 3, makeup_power = 2 }

dofile("scripts/objects/girl.lua")
