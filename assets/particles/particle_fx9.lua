-- The default script of a particle layer: the layer draws and advances the particles of the fly
-- emitters that join it and makes none of its own.
SetNumParticles(0)

function Create() end

function Update(s) end
