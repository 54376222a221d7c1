// Puts the window system behind the engine core's window-system link: from then on the platform
// creates a TWindowManager, a TStringTable and a TWindowScript. Called once by the program before
// the engine starts.
#pragma once

void RegisterWindowSystem();
