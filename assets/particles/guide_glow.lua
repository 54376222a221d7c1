-- The guide glow over "Start the show": pink sparkles while gActive holds, that is while the
-- player cannot afford any upgrade on offer and should start the level.
SetNumParticles(64)
pPosition:Init(dLocus)
pScale:Init(6)
pColor:Init(Color(1, 0.55, 0.75, 0.7))
NewParticleGenerator()

function Create() end

function Update(s)
  if gActive then
    Spawn(ParticlesPerSecond(60, s * 1000))
  end
end
