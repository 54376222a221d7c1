// One input or state event of the game's main loop, as TPlatform::GetEvent fills it. Plain
// value; any thread.
#pragma once

#include <cstdint>

struct TEvent {
    int32_t type = 0;
    int32_t param = 0;
    // Client coordinates cut to 16 bits and sign-extended.
    int32_t x = 0;
    int32_t y = 0;
    int32_t modifiers = 0;
};

// Event types.
enum : int32_t {
    kEventIdle = 1,
    kEventNothing = 2,
    kEventClose = 3,
    kEventQuit = 4,
    kEventLeftDown = 5,
    kEventMouseButton = 6,
    kEventLeftUp = 7,
    kEventMouseMove = 8,
    kEventMouseLeft = 9,
    kEventMouseHover = 10,
    kEventKeyDown = 11,
    kEventKeyUp = 12,
    kEventChar = 13,
    kEventUnicodeChar = 14,
    kEventRepaint = 15,
    kEventAssetsReleased = 17,
    kEventActivation = 18,
    kEventFullScreenToggled = 19,
};

// Param of kEventMouseButton.
enum : int32_t {
    kRightUp = 0,
    kRightDown = 1,
    kMiddleUp = 2,
    kMiddleDown = 3,
    kExtraButton1Down = 4,
    kExtraButton2Down = 5,
    kWheelForward = 6,
    kWheelBack = 7,
};

// Modifier bits.
enum : int32_t {
    kModShift = 1,
    kModCtrl = 2,
    kModAlt = 4,
    kModExtended = 8,
};
