-- The heroine's blessing: a short shower of gold stars falling around her, from when her
-- "bless" state starts until it ends.
pAge = Allocate(1)
RequireVelocity()
SetNumParticles(48)
SetTexture("spark.png")
SetBlendMode(kBlendAdditiveAlpha)
SetUpGravity(120)

pPosition:Init((dPos or dLocus) + f2dRadius(20))
pVelocity:Init(fRange(Vec2(-40, -80), Vec2(40, -30)))
pScale:Init(fRange(5, 10))
pColor:Init(Color(1, 0.9, 0.4, 1))
pAge:Init(0)

pAge:Anim(pAge + fAge())
pPosition:Anim(pPosition + fTimeScale(pVelocity))
pColor:Anim(fAlpha(pColor, fFade(pAge, 1, 400, 1, 400, 0)))
Anim(fExpire(fLess(800, pAge)))

gActive = false
NewParticleGenerator()

function Create() end

function OnStart()
  gActive = true
end

function Update(seconds)
  if gActive then
    Spawn(ParticlesPerSecond(80, seconds * 1000))
  end
end
