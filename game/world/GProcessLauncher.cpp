#include "game/world/GProcessLauncher.h"

#include "game/world/GLogicalManager.h"
#include "platform/win32/handleapi.h"
#include "platform/win32/processenv.h"

#include <string>
#include <vector>

GProcessLauncher::~GProcessLauncher() {
    if (mHeld) {
        CloseHandle(mProcess.hProcess);
    }
}

bool GProcessLauncher::Launch(const char* commandLine) {
    if (mHeld || commandLine == nullptr) {
        return false;
    }
    // CreateProcessA may write into the command line.
    std::vector<char> line(commandLine,
                           commandLine + std::char_traits<char>::length(commandLine) + 1);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.wShowWindow = 1;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                       CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                       &startup, &process) == FALSE) {
        return false;
    }
    CloseHandle(process.hThread);
    process.hThread = nullptr;
    WaitForInputIdle(process.hProcess, INFINITE);
    mProcess = process;
    mHeld = true;
    return true;
}

int GProcessLauncher::Poll() {
    DWORD code = 0;
    if (!mHeld || GetExitCodeProcess(mProcess.hProcess, &code) == FALSE) {
        return -1;
    }
    if (code == STILL_ACTIVE) {
        return 1;
    }
    CloseHandle(mProcess.hProcess);
    mProcess = PROCESS_INFORMATION{};
    mHeld = false;
    GLogicalManager::Instance().CloseStopGameDialog();
    return 0;
}

GProcessLauncher* GetProcessLauncher() {
    static GProcessLauncher launcher;
    return &launcher;
}

str GetCurrentFolder() {
    // Asked for its size first: a folder name has no fixed limit.
    std::vector<char> buffer(260);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) {
            return str();
        }
        if (length < buffer.size()) {
            return str(buffer.data(), static_cast<int>(length));
        }
        // The folder may have changed in between: ask again with the size it needs now.
        buffer.resize(length);
    }
    return str();
}
