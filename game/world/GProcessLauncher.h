// The developer tools' one outside child process (the object editor): started from a command
// line, polled by the game main once per event until it has ended. One instance, made on first
// use and destroyed at exit (which leaves a child still running alone). Main thread only.
#pragma once

#include "engine/core/str.h"
#include "platform/win32/processthreadsapi.h"

class GProcessLauncher {
public:
    GProcessLauncher() = default;
    // Closes the handle of a child still held; the child keeps running.
    ~GProcessLauncher();
    GProcessLauncher(const GProcessLauncher&) = delete;
    GProcessLauncher& operator=(const GProcessLauncher&) = delete;

    // Starts the command line and waits until the child takes input; false while a child is held
    // or when it cannot be started.
    bool Launch(const char* commandLine);
    // 1 while the child runs; 0 once it has ended (the handle is closed, the child forgotten and
    // the "stop_game" dialog closed); -1 without a child or when its state cannot be read.
    int Poll();

private:
    PROCESS_INFORMATION mProcess{};
    bool mHeld = false;
};

GProcessLauncher* GetProcessLauncher();

// The process's current folder, whole, in the engine's path form; empty when it cannot be read.
str GetCurrentFolder();
