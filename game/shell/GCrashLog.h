// What the crash guard writes to the engine log about a fault: the signal, the fault address and
// a backtrace, written from inside the signal handler with async-signal-safe calls only. Lines go
// to the end of the log file, time-stamped as the engine's own are. Made by the crash guard on the
// thread it guards, before any fault.
#pragma once

#include <cstddef>
#include <sys/types.h>

class GCrashLog {
public:
    // Takes the log file's path and the local time offset now, and makes the first backtrace
    // (which loads the unwinder, something a signal handler must not do).
    GCrashLog();

    // Async-signal-safe. Nothing is written while the engine logs nowhere.
    void WriteFault(int signal, const void* address, pid_t thread) const;

private:
    // Engine log lines end with a carriage return and a line feed.
    void WriteLine(int file, const char* text) const;

    // The disk path of "logfile.txt"; empty while logging is off.
    char mPath[4096] = {};
    // Seconds east of UTC when the guard went up.
    long mUtcOffset = 0;
};
