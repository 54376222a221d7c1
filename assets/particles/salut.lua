-- A burst of the award ceremony's celebration: coloured sparks while gActive holds, from the
-- moment the winner is revealed.
SetNumParticles(96)
pPosition:Init(dLocus)
pScale:Init(6)
pColor:Init(Color(1, 0.75, 0.3, 0.9))
NewParticleGenerator()

function Create() end

function Update(s)
  if gActive then
    Spawn(ParticlesPerSecond(90, s * 1000))
  end
end
