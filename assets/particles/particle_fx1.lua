-- The default effect of the simple particle windows and the fly emitters: a small cloud of warm
-- sparkles at the window's locus while gActive holds.
SetNumParticles(48)
pPosition:Init(dLocus)
pScale:Init(4)
pColor:Init(Color(1, 0.86, 0.55, 0.8))
NewParticleGenerator()

function Create() end

function Update(s)
  if gActive then
    Spawn(ParticlesPerSecond(40, s * 1000))
  end
end
