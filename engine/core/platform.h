// The engine's process singleton: the one way from engine, window system and game to the system's
// services. So far it holds the platform clock; the rest of the facade joins it in these files.
#pragma once

#include <cstdint>

class TPlatform {
public:
    // Milliseconds since the platform record was built; wraps like timeGetTime. Main thread.
    static uint32_t GetTime();

private:
    // timeGetTime when the platform record was built: the zero of GetTime.
    static uint32_t sStartTime;
};
