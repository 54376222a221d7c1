// The engine's diagnostic log: one time-stamped line per Log call in "logfile.txt" of the log
// folder, opened and closed on every call, wrapping past 100 kB behind a banner so the start-up
// lines stay. Any thread may call these; writes are serialised.
#pragma once

#include <cstdint>

#include "engine/core/str.h"

// Formats and writes one line; silently does nothing while no log folder is set or when the
// file cannot be written.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Names the folder (created when missing) and starts a new "logfile.txt" there; null or "" turns
// logging off. A text beginning "__MEMORYMAX__" is the memory-limit setting, not a folder.
void SetLogFolder(const char* folder);
// A copy of the log file path; empty while logging is off.
str GetLogPath();

// Memory counters shown by the renderer's statistics; nothing updates them, so both read 0.
int GetMemoryInUse();
int GetMemoryPeak();

// Where the time stamps come from: seconds since 1970 (local time is printed). Null restores
// the system clock. For tests.
using TLogClock = int64_t (*)();
void SetLogClock(TLogClock clock);
