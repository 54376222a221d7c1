-- The selector's happy glow behind the preview: warm sparkles while gActive holds, that is while
-- the mouse is over the part that would make the girl happy.
SetNumParticles(48)
pPosition:Init(dLocus)
pScale:Init(5)
pColor:Init(Color(1, 0.85, 0.4, 0.8))
NewParticleGenerator()

function Create() end

function Update(s)
  if gActive then
    Spawn(ParticlesPerSecond(50, s * 1000))
  end
end
