#include "engine/core/enginetime.h"

#include "platform/win32/mmsystem.h"

#include <utility>

namespace {

TEngineTimeSource& Source() {
    // Never destroyed: a clock may still be read while the process exits.
    static auto* source = new TEngineTimeSource;
    return *source;
}

} // namespace

void SetEngineTimeSource(TEngineTimeSource source) {
    Source() = std::move(source);
}

uint32_t GetEngineTime() {
    const TEngineTimeSource& source = Source();
    return source ? source() : timeGetTime();
}
