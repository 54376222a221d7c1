#include "platform/win32/shellapi.h"
#include "platform/win32/spawn.h"
#include "platform/win32/standin.h"
#include "platform/win32/userstate.h"

#include <cstring>
#include <mutex>
#include <string>
#include <strings.h>
#include <vector>

namespace {

std::mutex gShellLock;
bool gRecordOnly = false;
std::vector<standin::TShellExecuteRecord> gLaunched;

HINSTANCE Result(int code) {
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code));
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
    const pid_t child = standin::detail::Spawn(arguments, directory);
    if (child < 0) {
        return Result(SE_ERR_FNF);
    }
    standin::detail::ReapLater(child);
    return Result(42);
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
