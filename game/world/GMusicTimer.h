// The music player's timer: every 100 ms of the platform time, in the platform's main task list,
// it steps the player's cross-fade. The player and its timer unlink each other whichever goes
// first: the player detaches it (the list then deletes it at its next run), and a timer deleted
// with the list clears the player's pointer to it. Main thread only.
#pragma once

#include "game/visual/TOnTimerCaller.h"

class GMusicPlayer;
class TModalWindow;

// Never placed in a modal window's task list.
using GMusicTimer = TOnTimerCaller<GMusicPlayer, TModalWindow>;
