-- A pacifier back in its basket: a few white glints that spread from it and fade.
pAge = Allocate(1)
RequireVelocity()
SetNumParticles(24)
SetTexture("spark.png")
SetBlendMode(kBlendAdditiveAlpha)

pPosition:Init(dPos or dLocus)
pVelocity:Init(f2dRadius(40))
pScale:Init(fRange(4, 8))
pColor:Init(Color(1, 1, 1, 1))
pAge:Init(0)

pAge:Anim(pAge + fAge())
pPosition:Anim(pPosition + fTimeScale(pVelocity))
pColor:Anim(fAlpha(pColor, fFade(pAge, 1, 200, 1, 300, 0)))
Anim(fExpire(fLess(500, pAge)))

gActive = false
NewParticleGenerator()

function Create() end

function OnStart()
  gActive = true
end

function Update(seconds)
  if gActive then
    Spawn(ParticlesPerSecond(40, seconds * 1000))
  end
end
