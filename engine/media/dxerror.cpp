#include "engine/media/dxerror.h"

#include "engine/core/log.h"
#include "engine/system/platform.h"
#include "platform/directx/ddraw.h"

void ReportDxError(HRESULT result, const char* source, int line) {
    if (result == DDERR_OUTOFVIDEOMEMORY) {
        if (TPlatform* platform = TPlatform::GetInstance()) {
            platform->OnOutOfVideoMemory();
        }
    }
    Log("DX Error: %s (0x%x), File %s, Line %d", "", static_cast<unsigned>(result), source, line);
}
