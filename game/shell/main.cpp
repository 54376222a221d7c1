// The program. Its entry joins the arguments into the command line the engine parses and calls
// WinMain, which stores the game's settings and runs the engine with the crash-guarded game main.
#include "engine/media/media.h"
#include "engine/system/enginemain.h"
#include "engine/ui/windowsystem.h"
#include "game/shell/GCrashGuard.h"
#include "game/shell/GameMain.h"
#include "platform/win32/windows.h"

#include <string>

int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    SetGameSettings();
    EngineMain(instance, previous, commandLine, showCommand, &GuardedGameMain, false);
    return 0;
}

namespace {

// The arguments after the program name, blank-separated. A value with blanks is quoted after its
// switch's '=' ("-wd=\"my folder\""), as the engine reads such switches; a plain argument whole.
std::string JoinArguments(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (!line.empty()) {
            line += ' ';
        }
        if (argument.find(' ') == std::string::npos) {
            line += argument;
            continue;
        }
        const size_t equals = argument.find('=');
        const size_t split = equals == std::string::npos ? 0 : equals + 1;
        line += argument.substr(0, split) + '"' + argument.substr(split) + '"';
    }
    return line;
}

} // namespace

int main(int argc, char** argv) {
    // The layers above the platform register what it creates of them before anything starts.
    RegisterMedia();
    RegisterWindowSystem();
    std::string commandLine = JoinArguments(argc, argv);
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWNORMAL);
}
