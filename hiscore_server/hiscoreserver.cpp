#include "hiscore_server/hiscoreserver.h"

#include "hiscore_server/hiscoreserverstate.h"

#include <new>

namespace {

// What a handle points at: one pointer to the state; the library owns both.
struct THiscoreServerHandle {
    THiscoreServerState* mState = nullptr;
};

THiscoreServerState* StateOf(void* server) {
    return server ? static_cast<THiscoreServerHandle*>(server)->mState : nullptr;
}

// Runs one operation on the handle's state; nothing thrown inside (out of memory) crosses the C
// boundary, and a request cut short still answers with the generic error.
template <typename TOperation>
void Run(void* server, TOperation operation) {
    if (THiscoreServerState* state = StateOf(server)) {
        try {
            operation(*state);
        } catch (...) {
            try {
                state->EnsureReply();
            } catch (...) {
            }
        }
    }
}

} // namespace

extern "C" {

void* HiscoreServer_CreateLocalServer() {
    auto* handle = new (std::nothrow) THiscoreServerHandle;
    if (!handle) {
        return nullptr;
    }
    handle->mState = new (std::nothrow) THiscoreServerState;
    if (!handle->mState) {
        delete handle;
        return nullptr;
    }
    return handle;
}

void HiscoreServer_FreeLocalServer(void* server) {
    if (!server) {
        return;
    }
    auto* handle = static_cast<THiscoreServerHandle*>(server);
    delete handle->mState;
    delete handle;
}

void HiscoreServer_LoadServerDefFile(void* server) {
    Run(server, [](THiscoreServerState& state) { state.LoadServerDefFile(); });
}

void HiscoreServer_SetServerInfo(void* server, const char* gameHandle, const char* key,
                                 const char** modeNames, int modeCount, const char** /*medalNames*/,
                                 int /*medalCount*/) {
    Run(server, [&](THiscoreServerState& state) {
        state.SetServerInfo(gameHandle, key, modeNames, modeCount);
    });
}

void HiscoreServer_RequestCategoryInformation(void* server) {
    Run(server, [](THiscoreServerState& state) { state.RequestCategoryInformation(); });
}

void HiscoreServer_RequestScores(void* server, const char* gameHandle, const char* mode,
                                 const char* table, const char* playerName) {
    Run(server, [&](THiscoreServerState& state) {
        state.RequestScores(gameHandle, mode, table, playerName);
    });
}

void HiscoreServer_SubmitScore(void* server, const char* gameHandle, const char* mode,
                               const char* user, const char* password, const char* uid,
                               const char* version, const char* gameData, int score,
                               const char* key) {
    Run(server, [&](THiscoreServerState& state) {
        state.SubmitScore(gameHandle, mode, user, password, uid, version, gameData, score, key);
    });
}

void HiscoreServer_SubmitMedals(void* server, const char* gameHandle, const char* mode,
                                const char* user, const char* password, const char* /*medals*/,
                                const char* key) {
    Run(server, [&](THiscoreServerState& state) {
        state.SubmitMedals(gameHandle, mode, user, password, key);
    });
}

int HiscoreServer_GetStatus(void* server) {
    const THiscoreServerState* state = StateOf(server);
    return state ? state->GetStatus() : 0;
}

const char* HiscoreServer_GetContents(void* server) {
    const THiscoreServerState* state = StateOf(server);
    return state ? state->GetContents() : "";
}

} // extern "C"
