#include "engine/system/gamestate.h"

#include "engine/core/knownfiles.h"
#include "engine/system/gamestatescript.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "platform/win32/windows.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

TGameState* gInstance = nullptr;
// In the order they were added; the game state owns them.
std::vector<TGameStateHandler*> gHandlers;

// The value as atoi reads it (leading blanks, a sign, digits; anything else is 0), but saturated
// instead of overflowing.
long long DecimalValue(const str& text) {
    return std::strtoll(text.CStr(), nullptr, 10);
}

// Null before TPlatform::InitSound and from the platform's teardown on.
TSoundManagerLink* SoundManager() {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? platform->GetSoundManager() : nullptr;
}

} // namespace

TGameState* TGameState::Get() {
    if (gInstance == nullptr && TPlatform::GetInstance() != nullptr) {
        new TGameState;
    }
    return gInstance;
}

TGameState* TGameState::Peek() {
    return gInstance;
}

TGameState::TGameState() : mStore(new TStore) {
    gInstance = this;
    mStore->publishedState = PublishGameState(this);
}

TGameState::~TGameState() {
    WithdrawGameState(this, mStore->publishedState);
    // A handler's destructor may still reach the game state; handlers it adds are deleted too.
    while (!gHandlers.empty()) {
        std::vector<TGameStateHandler*> handlers;
        handlers.swap(gHandlers);
        for (TGameStateHandler* handler : handlers) {
            delete handler;
        }
    }
    delete mStore;
    mStore = nullptr;
    gInstance = nullptr;
}

void TGameState::AddHandler(TGameStateHandler* handler) {
    if (handler != nullptr) {
        gHandlers.push_back(handler);
    }
}

void TGameState::SetState(const str& key, const str& value) {
    str name = key;
    str text = value;
    if (std::strncmp(key.CStr(), "++", 2) == 0) {
        name = key.Substr(2);
        const long long count = DecimalValue(GetState(name));
        text = str::FromFormat("%lld", count < LLONG_MAX ? count + 1 : count);
    }
    mStore->values[name] = text;

    // Indexed: a handler may add handlers while it is asked.
    for (size_t i = 0; i < gHandlers.size(); ++i) {
        if (gHandlers[i]->SetState(name.CStr(), text.CStr())) {
            return;
        }
    }
    if (!(name == str("mute"))) {
        return;
    }
    TSoundManagerLink* sound = SoundManager();
    if (DecimalValue(text) != 0) {
        if (!mStore->volumeSaved && sound != nullptr) {
            mStore->savedVolume = sound->GetVolume(-1);
            mStore->volumeSaved = true;
            sound->SetVolume(-1, 0.0f);
        }
    } else if (mStore->volumeSaved && sound != nullptr) {
        sound->SetVolume(-1, mStore->savedVolume);
        mStore->savedVolume = 0;
        mStore->volumeSaved = false;
    }
}

void TGameState::SendCommand(const str& key, int value) {
    SetState(key, str::FromFormat("%d", value));
}

str TGameState::GetState(const str& key) {
    str value = mStore->values[key];
    for (size_t i = 0; i < gHandlers.size(); ++i) {
        // The answer may point into value itself; a null answer keeps the value so far.
        if (const char* answer = gHandlers[i]->GetState(key.CStr(), value.CStr())) {
            str next(answer);
            value = next;
        }
    }
    return value;
}

bool TGameState::QueryMuteGame() {
    for (size_t i = 0; i < gHandlers.size(); ++i) {
        if (gHandlers[i]->QueryMuteGame()) {
            return true;
        }
    }
    return DecimalValue(GetState(str("mute"))) != 0;
}

bool TGameState::QueryRestartMode() {
    for (size_t i = 0; i < gHandlers.size(); ++i) {
        if (gHandlers[i]->QueryRestartMode()) {
            return true;
        }
    }
    return false;
}

bool TGameState::QueryJumpToMenu() {
    for (size_t i = 0; i < gHandlers.size(); ++i) {
        if (gHandlers[i]->QueryJumpToMenu()) {
            return true;
        }
    }
    return false;
}

bool TGameState::IsBusy() {
    for (size_t i = 0; i < gHandlers.size(); ++i) {
        if (gHandlers[i]->QueryPause()) {
            return true;
        }
    }
    return false;
}

struct TDllGameState::TPlugin {
    HMODULE library = nullptr;
    TCreateHandlerProc create = nullptr;
    TDestroyHandlerProc destroy = nullptr;
    TGameStateHandler* handler = nullptr;
};

namespace {

// The folder part of a Windows path, with its trailing '\'.
str FolderOf(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    return slash != nullptr ? str(path, static_cast<int>(slash - path) + 1) : str();
}

// The absolute path of a plug-in that lies directly in the program folder or directly in its
// assets folder; empty for anything else. Known files may resolve to a path relative to the
// current folder (which "-wd=" moves anywhere), to a pack entry or to a memory block; none of
// those is a library of the program's own.
str ProgramLibraryPath(const str& resolved) {
    TPlatform* platform = TPlatform::GetInstance();
    if (platform == nullptr) {
        return str();
    }
    const TWin32Platform& record = *platform->GetWin32();
    char full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(resolved.CStr(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        return str();
    }
    const str folder = FolderOf(full);
    if (folder.Length() == 0 || std::strlen(full) == static_cast<size_t>(folder.Length())) {
        return str();
    }
    if (!(folder == str(record.mProgramFolder)) &&
        !(folder == str(record.mProgramFolder) + "assets\\")) {
        return str();
    }
    return str(full);
}

} // namespace

TDllGameState::TDllGameState() : mPlugin(new TPlugin) {}

TDllGameState::~TDllGameState() {
    if (mPlugin->handler != nullptr && mPlugin->destroy != nullptr) {
        mPlugin->destroy(mPlugin->handler);
    }
    if (mPlugin->library != nullptr) {
        FreeLibrary(mPlugin->library);
    }
    delete mPlugin;
}

bool TDllGameState::Load(const str& name) {
    // A second load replaces the first plug-in instead of leaking it.
    if (mPlugin->handler != nullptr && mPlugin->destroy != nullptr) {
        mPlugin->destroy(mPlugin->handler);
    }
    if (mPlugin->library != nullptr) {
        FreeLibrary(mPlugin->library);
    }
    *mPlugin = TPlugin{};

    TFileSource source = TFileSource::kNone;
    const str resolved = ResolveName(name, true, &source);
    if (resolved.Length() == 0 || source != TFileSource::kDisk) {
        return false;
    }
    const str path = ProgramLibraryPath(resolved);
    if (path.Length() == 0) {
        return false;
    }
    HMODULE library = LoadLibraryA(path.CStr());
    if (library == nullptr) {
        return false;
    }
    auto create = reinterpret_cast<TCreateHandlerProc>(GetProcAddress(library, "CreateHandler"));
    auto destroy = reinterpret_cast<TDestroyHandlerProc>(GetProcAddress(library, "DestroyHandler"));
    // Without "DestroyHandler" the plug-in's object could never be destroyed by the plug-in.
    if (create == nullptr || destroy == nullptr) {
        FreeLibrary(library);
        return false;
    }
    TGameStateHandler* handler = create();
    if (handler == nullptr) {
        FreeLibrary(library);
        return false;
    }
    *mPlugin = TPlugin{library, create, destroy, handler};
    return true;
}

bool TDllGameState::SetState(const char* key, const char* value) {
    return mPlugin->handler != nullptr && mPlugin->handler->SetState(key, value);
}

const char* TDllGameState::GetState(const char* key, const char* current) {
    return mPlugin->handler != nullptr ? mPlugin->handler->GetState(key, current) : current;
}

bool TDllGameState::QueryRestartMode() {
    return mPlugin->handler != nullptr && mPlugin->handler->QueryRestartMode();
}

bool TDllGameState::QueryJumpToMenu() {
    return mPlugin->handler != nullptr && mPlugin->handler->QueryJumpToMenu();
}

bool TDllGameState::QueryMuteGame() {
    return mPlugin->handler != nullptr && mPlugin->handler->QueryMuteGame();
}

bool TDllGameState::QueryPause() {
    return mPlugin->handler != nullptr && mPlugin->handler->QueryPause();
}
