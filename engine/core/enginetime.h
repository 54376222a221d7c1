// Engine time as the core's clocks and animation tasks read it: milliseconds that wrap like
// timeGetTime. The platform says where it comes from (its own start, the host's pauses); until it
// does, and after it takes its source back, it is timeGetTime. Main thread.
#pragma once

#include <cstdint>
#include <functional>

using TEngineTimeSource = std::function<uint32_t()>;

// An empty source goes back to timeGetTime.
void SetEngineTimeSource(TEngineTimeSource source);
uint32_t GetEngineTime();
