-- The soft glow of the award scene and of the winner once she is revealed: pink sparkles while
-- gActive holds.
SetNumParticles(64)
pPosition:Init(dLocus)
pScale:Init(8)
pColor:Init(Color(1, 0.6, 0.8, 0.6))
NewParticleGenerator()

function Create() end

function Update(s)
  if gActive then
    Spawn(ParticlesPerSecond(40, s * 1000))
  end
end
