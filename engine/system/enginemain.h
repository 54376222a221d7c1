// The engine's entry: reads the command line, builds the Win32 record and TPlatform, opens the
// main window, stores what the command line asks for, loads the game-state plug-ins, runs the
// game main and tears everything down. The program entry calls EngineMain once, on the main
// thread.
#pragma once

#include "engine/core/str.h"
#include "platform/win32/wintypes.h"

class TPlatform;
class TWin32Platform;

// The game main: runs the game's event loop until the quit event; its result is ignored.
using TGameMainProc = int (*)(TPlatform* platform, const char* commandLine);

// Returns when the game main has returned and the engine is torn down. Ends the process with
// exit code -1 when "-wnd=" names no live window, and with 0 when another instance runs.
void EngineMain(HINSTANCE instance, HINSTANCE previous, char* commandLine, int showCommand,
                TGameMainProc gameMain, bool multiInstance);

// Loads the optional test hook "qzHarness.dll" and calls its "TestHook", which may replace the
// command line; keeps and returns the window it gives, else null.
HWND LoadTestHook(char** commandLine);
// Seeds the runtime's generator and builds the Win32 record.
TWin32Platform* CreatePlatform(HINSTANCE instance, HINSTANCE previous, char* commandLine,
                               int showCommand, bool multiInstance);
// Points the user, common and desktop folders at the data folders (unless embedded outside
// "-pq=" mode) and follows "-wd=" to a new current directory.
void SetWorkingDirectory(TWin32Platform* record, const str& applicationName);
int CallGameMain(TGameMainProc gameMain, TPlatform* platform, const char* commandLine);
// Tells the test hook's window that the engine is done.
void PostTestHookQuit();

// Stores the key=value pairs after "options=" as settings. Pairs are joined by '&'; a blank ends
// a value, and the pairs go on after it only while the next word is no switch ("-...").
void StoreOptions(const char* commandLine);
