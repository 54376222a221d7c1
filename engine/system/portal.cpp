#include "engine/system/portal.h"

#include "engine/core/clock.h"
#include "engine/system/gamestate.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "platform/win32/windows.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

// Host events: the wParam of WM_USER from the host.
enum : int {
    kEventJumpToMenu = 1,
    kEventMuteOn = 2,
    kEventMuteOff = 3,
    kEventPause = 4,
    kEventResume = 5,
    kEventResumeToo = 6,
    kEventNewGame = 7,
    kEventRestart = 8,
    kEventResumeAgain = 9,
    kEventResumeLast = 10,
};

constexpr uint32_t kScoreBroadcastGapMs = 5000;
// The command buffer: a command text holds at most this many characters.
constexpr size_t kMaxCommand = 255;

struct TPortalState {
    // Set at start-up; read by every thread that asks the engine's time.
    std::atomic<bool> msn{false};
    std::atomic<bool> zylom{false};
    bool handlerAdded = false;
    bool sessionAnnounced = false;
    bool jumpToMenu = false;
    bool restart = false;
    bool skipNextRestart = true;
    bool hostMute = false;
    bool gameMute = false;
    bool mutedByPortal = false;
    float savedVolume = 0.0f;
    // The pause record is read by TicksLessPortalPauses on every thread that asks the engine's
    // time (the sound thread among them); the main thread changes it under `pauseMutex`.
    std::mutex pauseMutex;
    bool hostPaused = false;
    bool gamePaused = false;
    bool gameActive = false;
    int breakPoint = 0;
    uint32_t pauseStart = 0;
    uint32_t pausedTotal = 0;
    uint32_t lastScoreBroadcast = 0;
    int level = 0;
    int sublevel = 0;
    TClock gameClock;
    // The last GetState answer; the next call overwrites it.
    std::string answer;
};

TPortalState* gState = new TPortalState;

TPortalState& State() {
    return *gState;
}

bool InPortalMode() {
    return State().msn || State().zylom;
}

// The tick count pauses and broadcasts are measured in.
uint32_t Tick() {
    return timeGetTime();
}

// The value as a decimal number, saturated at the ends of int.
int Number(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

TWin32Platform* Record() {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? platform->GetWin32() : nullptr;
}

void UpdateMute() {
    TPortalState& state = State();
    const bool wanted = state.hostMute || state.gamePaused || state.hostPaused || state.gameMute ||
                        (state.msn && !state.gameActive);
    TPlatform* platform = TPlatform::GetInstance();
    TSoundManagerLink* sound = platform != nullptr ? platform->GetSoundManager() : nullptr;
    // Without a sound manager there is no volume to keep; the flags wait for one.
    if (sound == nullptr) {
        return;
    }
    if (wanted && !state.mutedByPortal) {
        state.mutedByPortal = true;
        state.savedVolume = sound->GetVolume(-1);
        sound->SetVolume(-1, 0.0f);
    } else if (!wanted && state.mutedByPortal) {
        state.mutedByPortal = false;
        sound->SetVolume(-1, state.savedVolume);
        state.savedVolume = 0.0f;
    }
}

void PortalPause() {
    TPortalState& state = State();
    if (state.hostPaused) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(state.pauseMutex);
        state.hostPaused = true;
        state.pauseStart = Tick();
    }
    if (state.gamePaused) {
        return;
    }
    state.gameClock.Pause();
    if (TPlatform* platform = TPlatform::GetInstance()) {
        platform->SetCursorVisible(false);
    }
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void PortalResume() {
    TPortalState& state = State();
    if (!state.hostPaused) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(state.pauseMutex);
        state.hostPaused = false;
        state.pausedTotal += Tick() - state.pauseStart;
        state.pauseStart = 0;
    }
    if (state.gamePaused) {
        return;
    }
    state.gameClock.Resume();
    if (TPlatform* platform = TPlatform::GetInstance()) {
        const TWin32Platform& record = *platform->GetWin32();
        const TTexturePtr image = record.mCursorTexture;
        platform->SetMouseCursor(image, record.mCursorHotX, record.mCursorHotY, false);
        platform->SetCursorVisible(true);
    }
    Display().ApplyCursor();
}

// The host window the game is embedded in, when it is still there.
HWND LiveHost() {
    HWND host = gPortalHostWindow;
    return host != nullptr && IsWindow(host) ? host : nullptr;
}

void PostCommand(HWND host, const std::string& text) {
    // The text and its NUL, 8 bytes a message; the last block is zero-filled past the NUL.
    const size_t size = text.size() + 1;
    for (size_t offset = 0; offset < size; offset += 8) {
        unsigned char block[8] = {};
        std::memcpy(block, text.c_str() + offset, size - offset < 8 ? size - offset : 8);
        const auto Word = [&block](int first) {
            return static_cast<uint32_t>(block[first]) |
                   static_cast<uint32_t>(block[first + 1]) << 8 |
                   static_cast<uint32_t>(block[first + 2]) << 16 |
                   static_cast<uint32_t>(block[first + 3]) << 24;
        };
        PostMessageA(host, WM_USER, static_cast<WPARAM>(Word(0)),
                     static_cast<LPARAM>(static_cast<int32_t>(Word(4))));
    }
}

void SendPortalCommand(const std::string& text, bool pauseAfter) {
    TPortalState& state = State();
    if (IsPqMode()) {
        state.gameActive = true;
        return;
    }
    if (state.zylom) {
        pauseAfter = false;
    }
    // Nobody could resume a pause that no host asked for.
    if (HWND host = LiveHost()) {
        PostCommand(host, text);
        if (pauseAfter) {
            PortalPause();
        }
    }
    UpdateMute();
}

void PortalSessionReady() {
    if (!InPortalMode() || State().sessionAnnounced) {
        return;
    }
    State().sessionAnnounced = true;
    SendPortalCommand("SessionReady(\"<data></data>\")", true);
}

void PortalGameReady(const char* mode) {
    if (!InPortalMode()) {
        return;
    }
    const std::string head = "GameReady(\"<data><mode>";
    const std::string tail = "</mode></data>\")";
    // A long mode is cut so that the command stays whole within the buffer.
    std::string text = mode != nullptr ? mode : "";
    const size_t room = kMaxCommand - head.size() - tail.size();
    if (text.size() > room) {
        text.resize(room);
    }
    SendPortalCommand(head + text + tail, true);
}

void PortalGameBreak() {
    if (!InPortalMode()) {
        return;
    }
    TPortalState& state = State();
    ++state.breakPoint;
    char text[kMaxCommand + 1];
    std::snprintf(text, sizeof text, "GameBreak(\"<data><breakpoint>%d</breakpoint></data>\")",
                  state.breakPoint);
    SendPortalCommand(text, true);
}

void PortalScoreBroadcast(int score) {
    TPortalState& state = State();
    if (!InPortalMode() || !state.gameActive) {
        return;
    }
    const uint32_t now = Tick();
    if (now - state.lastScoreBroadcast < kScoreBroadcastGapMs) {
        return;
    }
    state.lastScoreBroadcast = now;
    char text[kMaxCommand + 1];
    std::snprintf(text, sizeof text,
                  "ScoreBroadcast(\"<game><score>%ld</score><time>%ld</time></game>\")",
                  static_cast<long>(score), static_cast<long>(state.gameClock.GetTime() / 1000));
    SendPortalCommand(text, false);
}

void PortalGameEnd() {
    if (!InPortalMode()) {
        return;
    }
    State().gameActive = false;
    SendPortalCommand("GameEnd(\"<gamedata></gamedata>\")", true);
}

void PortalSetGamePaused(bool paused) {
    TPortalState& state = State();
    if (!InPortalMode() || paused == state.gamePaused) {
        return;
    }
    state.gamePaused = paused;
    if (!state.hostPaused) {
        if (paused) {
            state.gameClock.Pause();
        } else {
            state.gameClock.Resume();
        }
        if (state.zylom) {
            SendPortalCommand(paused ? "GamePause(\"<data>true</data>\")"
                                     : "GamePause(\"<data>false</data>\")",
                              false);
        }
    }
    UpdateMute();
}

void PortalSetGameMute(bool on) {
    if (!InPortalMode()) {
        return;
    }
    State().gameMute = on;
    UpdateMute();
}

void PortalSetLevel(int level, int sublevel) {
    if (!InPortalMode()) {
        return;
    }
    State().level = level;
    State().sublevel = sublevel;
}

void PortalHostEvent(int kind) {
    if (!InPortalMode()) {
        return;
    }
    TPortalState& state = State();
    switch (kind) {
    case kEventJumpToMenu:
        state.jumpToMenu = true;
        break;
    case kEventMuteOn:
        state.hostMute = true;
        break;
    case kEventMuteOff:
        state.hostMute = false;
        break;
    case kEventPause:
        if (IsPqMode()) {
            TWin32Platform* record = Record();
            if (record != nullptr && record->mMainWindow != nullptr &&
                GetCapture() == record->mMainWindow) {
                ReleaseCapture();
            }
        }
        PortalPause();
        break;
    case kEventResume:
    case kEventResumeToo:
    case kEventResumeAgain:
    case kEventResumeLast:
        PortalResume();
        break;
    case kEventNewGame:
        state.gameActive = true;
        state.lastScoreBroadcast = 0;
        state.gamePaused = false;
        PortalResume();
        state.gameClock.Stop();
        state.gameClock.Resume();
        state.breakPoint = 0;
        if (state.skipNextRestart) {
            state.skipNextRestart = false;
        } else {
            state.restart = true;
        }
        break;
    case kEventRestart:
        state.restart = true;
        break;
    default:
        break;
    }
    UpdateMute();
}

void AddPortalHandler() {
    TPortalState& state = State();
    if (state.handlerAdded) {
        return;
    }
    state.handlerAdded = true;
    // The handler list outlives a missing game state: start-up sees "-msn" before the platform
    // exists, and the game state made later asks the handler all the same.
    TGameState::Get();
    TGameState::AddHandler(new TMsnZylomHandler);
}

} // namespace

void EnableMsnMode() {
    State().msn = true;
    AddPortalHandler();
}

void EnableZylomMode() {
    State().zylom = true;
    AddPortalHandler();
}

bool IsMsnMode() {
    return State().msn;
}

bool IsZylomMode() {
    return State().zylom;
}

namespace {

// The time the host kept the game paused up to `now`. The caller holds the pause lock.
uint32_t PausedUntil(const TPortalState& state, uint32_t now) {
    return state.hostPaused ? state.pausedTotal + (now - state.pauseStart) : state.pausedTotal;
}

} // namespace

uint32_t GetPortalPausedTime() {
    TPortalState& state = State();
    if (!InPortalMode()) {
        return 0;
    }
    // One reading of the tick: two could straddle a millisecond and give a paused time of -1.
    std::lock_guard<std::mutex> hold(state.pauseMutex);
    return PausedUntil(state, Tick());
}

uint32_t TicksLessPortalPauses() {
    TPortalState& state = State();
    if (!InPortalMode()) {
        return Tick();
    }
    // The tick is read under the lock, so that a pause or resume on the main thread cannot fall
    // between it and the paused total and make the time step back.
    std::lock_guard<std::mutex> hold(state.pauseMutex);
    const uint32_t now = Tick();
    return now - PausedUntil(state, now);
}

bool IsPortalPaused() {
    return InPortalMode() && State().hostPaused;
}

bool TMsnZylomHandler::SetState(const char* key, const char* value) {
    if (key == nullptr) {
        return false;
    }
    const auto Is = [key](const char* name) { return std::strcmp(key, name) == 0; };
    TPortalState& state = State();
    if (Is("windowmessage")) {
        PortalHostEvent(Number(value));
        return true;
    }
    if (Is("sessionready")) {
        PortalSessionReady();
        return true;
    }
    if (Is("mute")) {
        PortalSetGameMute(Number(value) != 0);
        return true;
    }
    if (Is("pause")) {
        PortalSetGamePaused(Number(value) != 0);
    } else if (Is("level")) {
        PortalSetLevel(Number(value), state.sublevel);
    } else if (Is("sublevel")) {
        PortalSetLevel(state.level, Number(value));
    } else if (Is("breaknow")) {
        PortalGameBreak();
    } else if (Is("score")) {
        PortalScoreBroadcast(Number(value));
    } else if (Is("gamemode")) {
        PortalGameReady(value);
    } else if (Is("gameover")) {
        PortalGameEnd();
    }
    return false;
}

const char* TMsnZylomHandler::GetState(const char* key, const char* current) {
    TPortalState& state = State();
    if (key != nullptr && std::strcmp(key, "systemmode") == 0 && InPortalMode()) {
        state.answer = state.zylom ? "zylom" : "msn";
    } else {
        // `current` may be the last answer itself.
        std::string copy = current != nullptr ? current : "";
        state.answer.swap(copy);
    }
    return state.answer.c_str();
}

bool TMsnZylomHandler::QueryRestartMode() {
    TPortalState& state = State();
    if (!InPortalMode() || !state.restart) {
        return false;
    }
    state.restart = false;
    state.gameActive = true;
    UpdateMute();
    return true;
}

bool TMsnZylomHandler::QueryJumpToMenu() {
    TPortalState& state = State();
    if (!InPortalMode() || !state.jumpToMenu) {
        return false;
    }
    state.jumpToMenu = false;
    state.skipNextRestart = true;
    state.gameActive = false;
    UpdateMute();
    return true;
}

bool TMsnZylomHandler::QueryMuteGame() {
    return InPortalMode() && State().gameMute;
}

bool TMsnZylomHandler::QueryPause() {
    if (!IsPortalPaused()) {
        return false;
    }
    // A host that has gone can no longer resume the game.
    if (LiveHost() == nullptr) {
        PortalResume();
        UpdateMute();
        return false;
    }
    return true;
}

void ResetPortalStateForTests() {
    delete gState;
    gState = new TPortalState;
}
