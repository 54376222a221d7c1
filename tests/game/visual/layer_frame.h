// One frame of a draw list on the headless software renderer, for golden and pixel checks.
#pragma once

#include "engine/media/dxdisplayhandler.h"
#include "engine/media/renderer.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"
#include "platform/directx/d3d.h"
#include "platform/directx/standin_directx.h"

#include <gtest/gtest.h>

namespace visual_test {

// The list's own drawing over a back buffer cleared to `background`, read back. It runs in a pass
// of the test's with point sampling, so that pixels can be checked against texels exactly (a
// pass starts with linear filtering).
inline standin::TScreenImage DrawLayerFrame(GVLayer& layer, D3DCOLOR background) {
    TRenderer* renderer = TRenderer::Instance();
    TPlatformData& data = renderer->GetDisplayHandler().GetData();
    EXPECT_TRUE(renderer->BeginDraw(0));
    data.mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
    layer.UpdateObjects();
    EXPECT_TRUE(renderer->Begin2d());
    renderer->SetFiltering(0);
    for (GVObject* object : layer.GetDrawOrder()) {
        object->Draw(layer.GetDrawArea());
    }
    renderer->End2d();
    renderer->EndDraw(0);
    return standin::ReadSurface(data.mScreenTarget);
}

} // namespace visual_test
