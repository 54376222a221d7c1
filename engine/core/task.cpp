#include "engine/core/task.h"

bool TTask::IsReady(int /*phase*/) {
    return true;
}
