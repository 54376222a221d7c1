#include "engine/system/enginemain.h"

#include "engine/core/crtrand.h"
#include "engine/core/folders.h"
#include "engine/core/knownfiles.h"
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/system/gamestate.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/portal.h"
#include "engine/system/win32platform.h"
#include "platform/win32/windows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The switches are searched anywhere in the command line, case-sensitively.
bool Has(const char* commandLine, const char* what) {
    return std::strstr(commandLine, what) != nullptr;
}

void DropTrailingBackslash(char* path) {
    const size_t length = std::strlen(path);
    if (length > 0 && path[length - 1] == '\\') {
        path[length - 1] = '\0';
    }
}

// "--cheat" and the text 8 characters after its start up to the next blank; nothing when the
// command line ends before that.
void StoreCheatCode(const char* cheat) {
    if (std::strlen(cheat) <= 8) {
        return;
    }
    const char* text = cheat + 8;
    SetSetting("cheatcode", str(text, static_cast<int>(std::strcspn(text, " "))));
}

} // namespace

HWND LoadTestHook(char** commandLine) {
    using TTestHookProc = HWND (*)(char**);
    HMODULE library = LoadLibraryA("qzHarness.dll");
    if (library == nullptr) {
        return nullptr;
    }
    // The library stays loaded: the window it returned lives on until the engine is done.
    auto hook = reinterpret_cast<TTestHookProc>(GetProcAddress(library, "TestHook"));
    if (hook == nullptr) {
        return nullptr;
    }
    gTestHookWindow = hook(commandLine);
    return gTestHookWindow;
}

TWin32Platform* CreatePlatform(HINSTANCE instance, HINSTANCE previous, char* commandLine,
                               int showCommand, bool multiInstance) {
    CrtSrand((timeGetTime() * 8627u) % 104729u);
    return new TWin32Platform(instance, previous, commandLine, showCommand, multiInstance);
}

void SetWorkingDirectory(TWin32Platform* record, const str& applicationName) {
    if (!record->mEmbedded || IsPqMode()) {
        char folder[MAX_PATH] = {};
        // A user folder that cannot be had stays the program folder.
        if (GetDataFolder(false, applicationName.CStr(), folder, MAX_PATH) == 0) {
            CopyPath(record->mUserFolder, folder);
        }
        if (GetDataFolder(true, applicationName.CStr(), folder, MAX_PATH) == 0) {
            CopyPath(record->mCommonFolder, folder);
        } else {
            CopyPath(record->mCommonFolder, record->mUserFolder);
        }
        if (GetDesktopFolder(folder, MAX_PATH) == 0) {
            CopyPath(record->mDesktopFolder, folder);
        } else {
            CopyPath(record->mDesktopFolder, record->mUserFolder);
        }
    }
    DropTrailingBackslash(record->mUserFolder);
    DropTrailingBackslash(record->mCommonFolder);

    const char* commandLine = gCommandLine != nullptr ? gCommandLine : "";
    const char* switchText = std::strstr(commandLine, "-wd=");
    if (switchText == nullptr) {
        return;
    }
    const char* text = switchText + 4;
    str folder;
    if (*text == '"') {
        ++text;
        folder = str(text, static_cast<int>(std::strcspn(text, "\"")));
    } else {
        folder = str(text, static_cast<int>(std::strcspn(text, " ")));
    }
    Log("Switching current directory to: %s", folder.CStr());
    SetCurrentDirectoryA(folder.CStr());
}

int CallGameMain(TGameMainProc gameMain, TPlatform* platform, const char* commandLine) {
    return gameMain != nullptr ? gameMain(platform, commandLine) : 0;
}

void PostTestHookQuit() {
    // Without a hook there is nobody to tell; a quit message to no window would land in this
    // thread's own queue.
    if (gTestHookWindow != nullptr) {
        PostMessageA(gTestHookWindow, WM_QUIT, 0, 0);
    }
}

void StoreOptions(const char* commandLine) {
    const char* start = commandLine != nullptr ? std::strstr(commandLine, "options=") : nullptr;
    if (start == nullptr) {
        return;
    }
    const char* rest = start + 8;
    while (*rest != '\0' && *rest != ' ') {
        const char* equals = std::strchr(rest, '=');
        if (equals == nullptr) {
            return;
        }
        const size_t keyLength = static_cast<size_t>(equals - rest);
        // A word without '=' ends the pairs; its blank must not end up inside a key.
        if (std::memchr(rest, ' ', keyLength) != nullptr) {
            return;
        }
        const str key(rest, static_cast<int>(keyLength));
        const char* value = equals + 1;
        const size_t valueLength = std::strcspn(value, "& ");
        SetSetting(key, str(value, static_cast<int>(valueLength)));
        const char end = value[valueLength];
        if (end == '\0') {
            return;
        }
        rest = value + valueLength + 1;
        // After a blank the next word may be a switch of its own, whose '=' and '&' are not ours.
        if (end == ' ' && *rest == '-') {
            return;
        }
    }
}

void EngineMain(HINSTANCE instance, HINSTANCE previous, char* commandLine, int showCommand,
                TGameMainProc gameMain, bool multiInstance) {
    static char emptyLine[] = "";
    if (commandLine == nullptr) {
        commandLine = emptyLine;
    }
    LoadTestHook(&commandLine);
    if (commandLine == nullptr) {
        commandLine = emptyLine;
    }

    const char* window = std::strstr(commandLine, "-wnd=");
    const char* cheat = std::strstr(commandLine, "--cheat");
    if (window != nullptr || Has(commandLine, "--multiple")) {
        multiInstance = true;
    }

    TWin32Platform* record =
        CreatePlatform(instance, previous, commandLine, showCommand, multiInstance);

    if (window != nullptr) {
        // Read at full pointer width: a handle is no 32-bit number here.
        const unsigned long long handle = std::strtoull(window + 5, nullptr, 16);
        record->mExternalWindowParent = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
        record->mEmbedded = true;
        SetSetting("activex", "1");
        if (handle == 0 || !IsWindow(record->mExternalWindowParent)) {
            // Nothing may run on while the process tears its objects down.
            record->StopCursorThread();
            std::exit(-1);
        }
    }

    // "-pq=" asks for the same handler; it must come once only.
    bool msnHandler = false;
    if (Has(commandLine, "-msn")) {
        EnableMsnMode();
        msnHandler = true;
    }
    if (Has(commandLine, "-zylom")) {
        EnableZylomMode();
    }
    if (Has(commandLine, "--axtest")) {
        record->mAxTest = true;
        record->mEmbedded = true;
    }

    SetWorkingDirectory(record, record->mGameName);
    if (!record->mEmbedded || IsPqMode()) {
        SetLogFolder(record->mUserFolder);
    }

    auto* platform = new TPlatform(record);
    platform->CreateMainWindow();
    if (record->mAxTest) {
        record->mExternalWindowParent = record->mMainWindow;
        SetSetting("activex", "1");
    }
    platform->InitSound();
    CreateRenderer();

    char installKey[MAX_PATH] = {};
    if (GetShortPathNameA(record->mProgramFolder, installKey, MAX_PATH) >= MAX_PATH) {
        installKey[0] = '\0';
    }
    SetSetting("installkey", installKey);
    SetSetting("startupdir", record->mStartupDir);
    if (cheat != nullptr) {
        StoreCheatCode(cheat);
    }
    StoreOptions(commandLine);
    if (IsPqMode() && !msnHandler) {
        EnableMsnMode();
    }

    str name;
    while (FindNextKnownFile(str(), &name, false)) {
        if (name.Find(".qzmod") < 0) {
            continue;
        }
        auto* plugin = new TDllGameState;
        if (plugin->Load(name)) {
            TGameState::AddHandler(plugin);
        } else {
            delete plugin;
        }
    }

    if (TGameState* state = TGameState::Get()) {
        state->SetState("cmdline", commandLine);
        state->SetState("commondatadir", record->mCommonFolder);
        state->SetState("userdatadir", record->mUserFolder);
    }

    CallGameMain(gameMain, platform, commandLine);
    PostTestHookQuit();
    delete platform;
}
