-- The poise power's glow: gold and pink sparks that rise around the heroine and fade, while the
-- emitter flying with her is on (gActive).
pAge = Allocate(1)
RequireVelocity()
SetNumParticles(160)
SetTexture("spark.png")
SetBlendMode(kBlendAdditiveAlpha)

pPosition:Init(dLocus + f2dRadius(28))
pVelocity:Init(fRange(Vec2(-18, -90), Vec2(18, -40)))
pScale:Init(fRange(6, 16))
pColor:Init(fPick(Color(1, 0.86, 0.35, 1), Color(1, 0.55, 0.8, 1), Color(1, 1, 1, 1)))
pAge:Init(0)

pAge:Anim(pAge + fAge())
pPosition:Anim(pPosition + fTimeScale(pVelocity))
pColor:Anim(fAlpha(pColor, fFade(pAge, 1, 500, 1, 700, 0)))
Anim(fExpire(fLess(1200, pAge)))

gActive = false
NewParticleGenerator()

function Create() end

function Update(seconds)
  if gActive then
    Spawn(ParticlesPerSecond(90, seconds * 1000))
  end
end
