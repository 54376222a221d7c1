#include "engine/media/particlesystem.h"

#include "engine/core/cipher.h"
#include "engine/core/file.h"
#include "engine/core/log.h"
#include "engine/core/random.h"
#include "engine/media/animatedtexture.h"
#include "engine/media/particlecollection.h"
#include "engine/media/particlerenderer.h"
#include "engine/media/texture.h"
#include "engine/script/script.h"
#include "engine/system/platform.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

namespace {

// Systems alive: the first makes the shared generator, the last frees it.
int& LiveParticleSystems() {
    static int count = 0;
    return count;
}

// The most floats and members a particle record has: the run's limits.
constexpr int kParticleMaxFloats = 255;

} // namespace

TLuaParticleSystem::TLuaParticleSystem(TParticleRenderer* renderer)
    : mRenderer(renderer), mCollection(std::make_unique<TParticleCollection>()) {
    if (mRenderer == nullptr) {
        mRenderer = new T2dParticleRenderer();
        mOwnsRenderer = true;
    }
    if (ParticleRandom() == nullptr) {
        auto random = std::make_unique<TRandom>();
        TGuid guid{};
        CreateGuid(&guid);
        random->SeedArray(guid.data, 4);
        SetParticleRandom(std::move(random));
    }
    ++LiveParticleSystems();
    SetupScript();
}

TLuaParticleSystem::~TLuaParticleSystem() {
    if (--LiveParticleSystems() == 0) {
        SetParticleRandom(nullptr);
    }
    // The state goes first: nothing in it may reach the system once it is being torn down.
    mScript.reset();
    mCollection->Clear();
    mRecords.reset();
    if (mOwnsRenderer) {
        delete mRenderer;
    }
}

lua_State* TLuaParticleSystem::GetState() const {
    return mScript->GetState();
}

bool TLuaParticleSystem::Load(const str& name) {
    mEmissionDebt = 0.0f;
    if (name.Find(".lua") < 0) {
        mScript->DoLuaString(name);
    } else {
        if (!EngineFileExists(name)) {
            return false;
        }
        const int slash = name.FindChar('/', str::kBackward);
        mScriptFolder = slash >= 0 ? name.Substr(0, slash + 1) : str();
        str error;
        TScriptCodePtr code =
            TScriptCode::Get(name, mScriptFolder + "?;assets/?;assets/fx/?", &error);
        if (!code) {
            Log("TLuaParticleSystem::Load: %s: %s", name.CStr(), error.CStr());
            return false;
        }
        mScriptCode = code;
        mScript->DoLuaString(code->GetCode(), code->mSize);
    }
    mDone = false;
    return true;
}

void TLuaParticleSystem::Update(int milliseconds) {
    mScript->DoLuaString(str::FromFormat("Update(%f);", milliseconds / 1000.0));
    Animate(milliseconds);
}

void TLuaParticleSystem::Render(const TVec3* origin) {
    if (mCollection->GetLiveCount() == 0) {
        return;
    }
    mRenderer->Render(origin, mAlpha, *mCollection);
}

bool TLuaParticleSystem::Allocate(uint8_t n, TParticleMemberRef* ref) {
    // Members after the pool would lie outside its records.
    if (mHasPool || mMemberSizes.size() >= static_cast<size_t>(kParticleMaxFloats) ||
        mFloatsPerParticle + n > kParticleMaxFloats) {
        return false;
    }
    *ref = ParticleMemberRef(mFloatsPerParticle, n);
    mFloatsPerParticle = static_cast<uint8_t>(mFloatsPerParticle + n);
    mMemberSizes.push_back(n);
    return true;
}

bool TLuaParticleSystem::SetNumParticles(int n) {
    mCollection->Clear();
    mRecords.reset();
    mHasPool = false;
    if (n < 0) {
        return false;
    }
    const int64_t floats = static_cast<int64_t>(n) * mFloatsPerParticle;
    // The block's bytes must fit in 32 bits.
    if (floats * 4 > INT64_C(0xFFFFFFFF)) {
        return false;
    }
    mRecords.reset(new (std::nothrow) float[static_cast<size_t>(floats)]);
    if (mRecords == nullptr || !mCollection->Reset(n, mFloatsPerParticle, mRecords.get())) {
        mRecords.reset();
        return false;
    }
    mHasPool = true;
    return true;
}

void TLuaParticleSystem::PrepareContext(TParticleContext& context, uint32_t elapsed) {
    const int members = static_cast<int>(mMemberSizes.size());
    context.record.sizes = mMemberSizes.data();
    context.record.capacity = members;
    context.record.SetSizes(0, mMemberSizes.data(), members);
    context.elapsed = elapsed;
}

void TLuaParticleSystem::CreateParticles(float n) {
    // A NaN would stay in the debt for good and stop all emission.
    if (mCollection->GetRecordCount() == 0 || std::isnan(n)) {
        return;
    }
    mEmissionDebt += n;
    TParticleValueStack values(true);
    TParticleContext context;
    PrepareContext(context, 0);
    const int floats = mFloatsPerParticle;
    const float* defaults = mRenderer->GetDefaultValues();
    const int defaultCount =
        defaults != nullptr ? std::clamp(mRenderer->GetDefaultCount(), 0, floats) : 0;
    while (mEmissionDebt > 0.0f) {
        mEmissionDebt -= 1.0f;
        const int32_t index = mCollection->FirstFree();
        if (index == TParticleCollection::kNone) {
            break;
        }
        float* record = mCollection->Record(index);
        std::fill(record, record + floats, 0.0f);
        std::copy(defaults, defaults + defaultCount, record);
        context.record.data = record;
        RunParticleProgram(mInitStream, mExternals, context, values.Stack());
        mCollection->MakeLive(index);
    }
}

void TLuaParticleSystem::Animate(int milliseconds) {
    if (mCollection->GetLiveCount() == 0) {
        return;
    }
    TParticleValueStack values(false);
    TParticleContext context;
    PrepareContext(context, static_cast<uint32_t>(milliseconds));
    int32_t index = mCollection->FirstLive();
    while (index != TParticleCollection::kNone) {
        const int32_t next = mCollection->Next(index);
        context.record.data = mCollection->Record(index);
        RunParticleProgram(mAnimStream, mExternals, context, values.Stack());
        if (!context.alive) {
            mCollection->MakeFree(index);
        }
        index = next;
    }
}

void TLuaParticleSystem::AccumulateInitStream() {
    mInitStream.insert(mInitStream.end(), mPending.begin(), mPending.end());
    mPending.clear();
}

void TLuaParticleSystem::AccumulateAnimStream() {
    mAnimStream.insert(mAnimStream.end(), mPending.begin(), mPending.end());
    mPending.clear();
}

void TLuaParticleSystem::SetRendererOption1(const str& name, float value) {
    mRenderer->SetParam(name, &value);
}

void TLuaParticleSystem::SetTexture(const str& name) {
    const str path = mScriptFolder + name;
    const int length = name.Length();
    TTexturePtr texture;
    if (length >= 4 && name.Substr(length - 4) == ".xml") {
        texture = TAnimatedTexture::Get(path, str(), str());
    } else {
        texture = TTexture::Get(path, 0);
    }
    mRenderer->SetTexture(texture);
}
