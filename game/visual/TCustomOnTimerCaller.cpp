#include "game/visual/TCustomOnTimerCaller.h"

TCustomOnTimerCaller::TCustomOnTimerCaller() : TAnimTask(nullptr) {
    Stop();
}
