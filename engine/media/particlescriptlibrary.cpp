#include "engine/media/particlescriptlibrary.h"

namespace {

// Value nodes are {cmd, params} tables that CompileParam turns into statements. Unary minus takes
// only its operand: the machine hands __unm a second, nil operand, which would make a node of two
// arguments that FUnm refuses. The machine turns what __lt and __le give into a boolean, which
// compiles to nothing: a comparison alerts where the script wrote it, naming the function that
// compiles it. CompileParameters keeps the sizes of its own arguments in a local table: a node
// among its arguments compiles its own arguments first, and a shared table would take their
// sizes in place of the outer ones.
constexpr char kParticleScriptLibrary[] = R"lua(
kBlendNormal = 0
kBlendOpaque = 1
kBlendAdditiveAlpha = 2
kBlendSubtractive = 3
kBlendMultiplicative = 4
kBlendMode = "blendmode"

local function RefuseComparison(operator, use)
  local _, where = pcall(error, "", 4)
  if _ALERT then
    _ALERT(where .. "a comparison of particle values (a " .. operator ..
           " b) gives no value: use " .. use)
  end
end

local function Less(...)
  RefuseComparison("<", "fLess (a, b), or fGreater (a, b) for a > b")
  return CreateValue("lt", arg)
end

local function LessEqual(...)
  RefuseComparison("<=", "fLessEqual (a, b), or fGreaterEqual (a, b) for a >= b")
  return CreateValue("le", arg)
end

ValueMT = {}
ValueMT.__lt = Less
ValueMT.__le = LessEqual
ValueMT.__add = function(...) return CreateValue("add", arg) end
ValueMT.__sub = function(...) return CreateValue("sub", arg) end
ValueMT.__div = function(...) return CreateValue("div", arg) end
ValueMT.__mul = function(...) return CreateValue("mul", arg) end
ValueMT.__unm = function(a) return CreateValue("unm", { a }) end

function CreateValue(name, args)
  t = { cmd = name, params = args }
  setmetatable(t, ValueMT)
  return t
end

ParticleMemberMT.__lt = Less
ParticleMemberMT.__le = LessEqual
ParticleMemberMT.__add = function(...) return CreateValue("add", arg) end
ParticleMemberMT.__sub = function(...) return CreateValue("sub", arg) end
ParticleMemberMT.__div = function(...) return CreateValue("div", arg) end
ParticleMemberMT.__mul = function(...) return CreateValue("mul", arg) end
ParticleMemberMT.__unm = function(a) return CreateValue("unm", { a }) end

ParticleMemberMT.__index = function(pm, key)
  if type(key) == "number" then
    base, size = GetParticleMemberParts(pm)
    return CreateValue("index", { base, key })
  end
  return ParticleMemberMT[key]
end

ParticleMemberMT.Init = function(pm, p)
  base, size = GetParticleMemberParts(pm)
  CompileParameters({ CreateValue("assign", { p, base, size }) })
  AccumulateInitStream()
end

ParticleMemberMT.Anim = function(pm, p)
  base, size = GetParticleMemberParts(pm)
  CompileParameters({ CreateValue("assign", { p, base, size }) })
  AccumulateAnimStream()
end

function fGreater(a, b) return fLess(b, a) end
function fGreaterEqual(a, b) return fLessEqual(b, a) end

function Init(statement)
  CompileParameters({ statement })
  AccumulateInitStream()
end

function Anim(statement)
  CompileParameters({ statement })
  AccumulateAnimStream()
end

function CompileParameters(t)
  local result = {}
  sizes = result
  table.foreachi(t, function(i, p) result[i] = CompileParam(p) end)
  sizes = result
  return result
end

function Spawn(num)
  CreateParticles(num)
  Create()
end

function Value(x) return setmetatable({ x }, ValueMT) end
function Vec2(x, y) return setmetatable({ x, y }, ValueMT) end
function Vec3(x, y, z) return setmetatable({ x, y, z }, ValueMT) end
function Color(r, g, b, a) return setmetatable({ r, g, b, a }, ValueMT) end

function SetBlendMode(mode) SetRendererOption1(kBlendMode, mode) end

function NewParticleGenerator()
  local timeAccumulator = 0
  ParticlesPerSecond = function(PPS, ms)
    timeAccumulator = timeAccumulator + ms
    local newParticles = math.floor(timeAccumulator / 1000 * PPS)
    timeAccumulator = timeAccumulator - math.floor(newParticles * 1000 / PPS)
    return newParticles
  end
  return ParticlesPerSecond
end

function NewTimeout(seconds)
  local duration = seconds
  return function(elapsed)
    if duration < 0 then
      return true
    end
    duration = duration - elapsed
    return false
  end
end

function SetTexture(texture) _SetTexture(texture) end

function RequireVelocity()
  if not pVelocity then
    pVelocity = Allocate(2)
  end
end

function SetUpGravity(accel)
  RequireVelocity()
  pVelocity:Anim(pVelocity + fTimeScale(Vec2(0, accel)))
end

function Update() end

function GUI_Slider(default) return default end
function GUI_Texture(default) return default end
function GUI_Select(default) return default end
)lua";

} // namespace

std::string_view ParticleScriptLibrary() {
    return {kParticleScriptLibrary, sizeof(kParticleScriptLibrary) - 1};
}
