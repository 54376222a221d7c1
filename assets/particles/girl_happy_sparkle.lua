-- A girl's joy at the judges' verdict: pink and gold hearts of light that burst from her and
-- float up while her "particles_happy" or "particles_happy_xl" state shows.
pAge = Allocate(1)
RequireVelocity()
SetNumParticles(64)
SetTexture("spark.png")
SetBlendMode(kBlendAdditiveAlpha)

pPosition:Init((dPos or dLocus) + f2dRadius(12))
pVelocity:Init(f2dRadius(50) + Vec2(0, -40))
pScale:Init(fRange(5, 12))
pColor:Init(fPick(Color(1, 0.5, 0.75, 1), Color(1, 0.86, 0.35, 1)))
pAge:Init(0)

pAge:Anim(pAge + fAge())
pPosition:Anim(pPosition + fTimeScale(pVelocity))
pColor:Anim(fAlpha(pColor, fFade(pAge, 1, 500, 1, 500, 0)))
Anim(fExpire(fLess(1000, pAge)))

gActive = false
NewParticleGenerator()

function Create() end

function OnStart()
  gActive = true
end

function Update(seconds)
  if gActive then
    Spawn(ParticlesPerSecond(50, seconds * 1000))
  end
end
