-- The glow of the score panel when the goal or the expert score is reached: golden sparkles
-- while gActive holds.
SetNumParticles(64)
pPosition:Init(dLocus)
pScale:Init(5)
pColor:Init(Color(1, 0.9, 0.4, 0.9))
NewParticleGenerator()

function Create() end

function Update(s)
  if gActive then
    Spawn(ParticlesPerSecond(80, s * 1000))
  end
end
