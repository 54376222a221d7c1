#include "platform/win32/pathconv.h"
#include "platform/win32/shellapi.h"
#include "platform/win32/standin.h"
#include "platform/win32/userstate.h"

#include <cstring>
#include <mutex>
#include <spawn.h>
#include <string>
#include <strings.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

std::mutex gShellLock;
bool gRecordOnly = false;
std::vector<standin::TShellExecuteRecord> gLaunched;

HINSTANCE Result(int code) {
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code));
}

// Starts a program; a thread of its own waits for it so that it leaves no zombie behind.
bool Start(const std::vector<std::string>& arguments, const char* directory) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (directory != nullptr && directory[0] != '\0') {
        posix_spawn_file_actions_addchdir_np(&actions, standin::ToPosixPath(directory).c_str());
    }
    pid_t child = 0;
    const int started = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        return false;
    }
    std::thread([child] { waitpid(child, nullptr, 0); }).detach();
    return true;
}

} // namespace

HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT showCommand) {
    (void)window;
    (void)showCommand;
    if (file == nullptr || file[0] == '\0') {
        return Result(SE_ERR_FNF);
    }
    if (verb != nullptr && std::strcmp(verb, "open") != 0) {
        return Result(SE_ERR_NOASSOC);
    }
    {
        std::lock_guard<std::mutex> hold(gShellLock);
        gLaunched.push_back(standin::TShellExecuteRecord{
            file, parameters != nullptr ? parameters : "", directory != nullptr ? directory : ""});
        if (gRecordOnly || standin::detail::HeadlessVideo()) {
            return Result(42);
        }
    }
    std::vector<std::string> arguments;
    if (parameters == nullptr || parameters[0] == '\0') {
        arguments = {"xdg-open", file};
    } else if (strcasecmp(file, "iexplore.exe") == 0) {
        // The system's own browser program: here the desktop's default browser.
        arguments = {"xdg-open", parameters};
    } else {
        arguments = {file, parameters};
    }
    return Result(Start(arguments, directory) ? 42 : SE_ERR_FNF);
}

namespace standin {

void RecordShellExecute(bool recordOnly) {
    std::lock_guard<std::mutex> hold(gShellLock);
    gRecordOnly = recordOnly;
}

std::vector<TShellExecuteRecord> TakeShellExecutes() {
    std::lock_guard<std::mutex> hold(gShellLock);
    std::vector<TShellExecuteRecord> taken;
    taken.swap(gLaunched);
    return taken;
}

} // namespace standin
