#include "engine/system/medialink.h"

#include <atomic>
#include <utility>

namespace {

// Never destroyed: the cursor thread may still ask during process exit.
TDisplayLink& gNullDisplay = *new TDisplayLink;
TRendererLink& gNullRenderer = *new TRendererLink;
// Read by the cursor thread too, under DisplayInUse().
std::atomic<TDisplayLink*> gDisplay{nullptr};
TRendererLink* gRenderer = nullptr;

// Held by a TDisplayLinkUse for as long as it uses the link, and by SetDisplayLink while it swaps.
std::mutex& DisplayInUse() {
    static auto* lock = new std::mutex();
    return *lock;
}

TCreateSoundManagerProc& SoundManagerFactory() {
    static auto* create = new TCreateSoundManagerProc;
    return *create;
}

struct TRendererHooks {
    std::function<void()> create;
    std::function<void()> destroy;
};

TRendererHooks& RendererHooks() {
    static auto* hooks = new TRendererHooks;
    return *hooks;
}

} // namespace

TDisplayLink& Display() {
    TDisplayLink* link = gDisplay.load();
    return link != nullptr ? *link : gNullDisplay;
}

void SetDisplayLink(TDisplayLink* link) {
    const std::lock_guard<std::mutex> hold(DisplayInUse());
    gDisplay = link;
}

TDisplayLinkUse::TDisplayLinkUse() : mHold(DisplayInUse()), mLink(&Display()) {}

TRendererLink& Renderer() {
    return gRenderer != nullptr ? *gRenderer : gNullRenderer;
}

void SetRendererLink(TRendererLink* link) {
    gRenderer = link;
}

void SetSoundManagerFactory(TCreateSoundManagerProc create) {
    SoundManagerFactory() = std::move(create);
}

TSoundManagerLink* CreateSoundManager() {
    const TCreateSoundManagerProc& create = SoundManagerFactory();
    return create ? create() : nullptr;
}

void SetRendererHooks(std::function<void()> create, std::function<void()> destroy) {
    RendererHooks().create = std::move(create);
    RendererHooks().destroy = std::move(destroy);
}

void CreateRenderer() {
    if (RendererHooks().create) {
        RendererHooks().create();
    }
}

void DestroyRenderer() {
    if (RendererHooks().destroy) {
        RendererHooks().destroy();
    }
}
