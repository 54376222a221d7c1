#include "engine/core/gamestatelink.h"

namespace {

class TNullGameState final : public TGameStateLink {
public:
    bool Exists() const override { return false; }
    void SendCommand(const char*, int) override {}
    bool IsBusy() override { return false; }
    bool IsZylomMode() const override { return false; }
};

// Never destroyed: code that runs during process exit still finds it.
TNullGameState& gNullGameState = *new TNullGameState;
TGameStateLink* gGameState = nullptr;

} // namespace

TGameStateLink& GameState() {
    return gGameState != nullptr ? *gGameState : gNullGameState;
}

void SetGameStateLink(TGameStateLink* link) {
    gGameState = link;
}
