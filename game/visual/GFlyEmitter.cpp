#include "game/visual/GFlyEmitter.h"

#include "engine/script/lua/luanumber.h"
#include "engine/script/luabinding.h"
#include "engine/script/script.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowstyle.h"
#include "game/visual/particle_layer.h"

#include <algorithm>
#include <vector>

namespace {

constexpr const char* kInitCompleteGlobal = "CPP_OnPrtInitComplete";

// The emitters alive, in the order made, and the main window script's state their global was
// defined in (null while it is not defined).
struct GLiveEmitters {
    std::vector<GFlyEmitter*> emitters;
    lua_State* state = nullptr;
};

GLiveEmitters& Live() {
    static GLiveEmitters live;
    return live;
}

lua_State* MainScriptState() {
    TWindowManager* manager = GetWindowManager();
    TWindowScript* script = manager != nullptr ? manager->GetWindowScript() : nullptr;
    return script != nullptr ? script->GetState() : nullptr;
}

} // namespace

GFlyEmitter::GFlyEmitter() {
    GLiveEmitters& live = Live();
    live.emitters.push_back(this);
    if (live.state == nullptr) {
        live.state = MainScriptState();
        if (live.state != nullptr) {
            LuaPublish(live.state, kInitCompleteGlobal, &GFlyEmitter::OnPrtInitCompleteAll);
        }
    }
    mMobile.SetWindow(this, this);
}

GFlyEmitter::~GFlyEmitter() {
    // The mover would end the flight through this emitter, which is going.
    mMobile.Forget();
    if (mLayer != nullptr) {
        mLayer->RemoveSource(this);
    }
    GLiveEmitters& live = Live();
    live.emitters.erase(std::remove(live.emitters.begin(), live.emitters.end(), this),
                        live.emitters.end());
    if (live.emitters.empty() && live.state != nullptr) {
        // Only while the state is still the window script's: a closed state has no globals left.
        if (MainScriptState() == live.state) {
            LuaWithdraw(live.state, kInitCompleteGlobal);
        }
        live.state = nullptr;
    }
}

TWindow* GFlyEmitter::Create() {
    return new GFlyEmitter;
}

bool GFlyEmitter::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

void GFlyEmitter::Init(TWindowStyle& style) {
    TWindow::Init(style);
    StartAnimation(kAnimationMs, true, true, false);
    mScriptPath = style.GetString("FX_fly", kDefaultScript);
    mRenderTo = style.GetString("RenderTo", kDefaultLayer);
}

bool GFlyEmitter::OnAnimate() {
    OnMobileStep(kAnimationMs);
    return true;
}

void GFlyEmitter::MoveBy(float dx, float dy) {
    const TVec2 point(mStart.x + dx, mStart.y + dy);
    mLocus.mPoint = point;
    GSCanMove::SetPosition(point.x, point.y);
    MoveTo(LuaNumberToInt(point.x), LuaNumberToInt(point.y));
}

void GFlyEmitter::OnPrtInitCompleteAll() {
    // Over a copy, each one checked: the walk runs scripts.
    const std::vector<GFlyEmitter*> emitters = Live().emitters;
    for (GFlyEmitter* emitter : emitters) {
        const std::vector<GFlyEmitter*>& live = Live().emitters;
        if (std::find(live.begin(), live.end(), emitter) != live.end()) {
            emitter->OnPrtInitComplete();
        }
    }
}

void GFlyEmitter::OnPrtInitComplete() {
    DoLuaString("gActive = false;");
    if (mLayer == nullptr) {
        if (particle_layer* layer = FindParticleLayer(mRenderTo)) {
            mLocus.mPoint =
                TVec2(static_cast<float>(GetRect().left), static_cast<float>(GetRect().top));
            layer->AddSource(this, &mLocus);
        }
    }
    // Loading appends to the particle programs: a second load would emit everything twice. The
    // one load waits for a layer, so that the script finds "dLocus" and the layer's own script
    // before it, as an emitter that joins at once has them.
    if (mLayer != nullptr && !mScriptLoaded) {
        mScriptLoaded = true;
        mParticles.Load(mScriptPath);
    }
    if (TWindow* image = FindChild("FlyEmitter_Img", 1)) {
        image->SetFlags(0);
    }
}

void GFlyEmitter::Fly(int ticks) {
    mMobile.Start(&mLine, static_cast<float>(ticks));
    DoLuaString("gActive = true;");
}

void GFlyEmitter::SetPosition(float x, float y) {
    mLocus.mPoint = TVec2(x, y);
    mMobile.GSCanMove::SetPosition(x, y);
}

bool GFlyEmitter::IsIdle() const {
    return (GetFlags() & GWndMobile::kMoving) == 0;
}

void GFlyEmitter::OnMobileStep(int ms) {
    mMobile.Tick();
    // A layer advances the particles of its sources itself.
    if (mLayer == nullptr) {
        mParticles.Update(ms);
    }
}

int GFlyEmitter::OnMobileFinished() {
    DoLuaString("gActive = false;");
    return 1;
}

void GFlyEmitter::DoLuaString(const char* text) {
    mParticles.GetScript()->DoLuaString(text);
}
