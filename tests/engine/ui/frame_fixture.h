// The frame the window manager draws of its modal stack, read back from the display's back
// buffer: what the player would see, for tests that compare whole frames.
#pragma once

#include "engine/core/rect.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/renderer.h"
#include "engine/ui/windowmanager.h"
#include "platform/directx/standin_directx.h"

#include <gtest/gtest.h>

namespace frame_test {

// Cleared to opaque black first, drawn within `clip`.
inline standin::TScreenImage DrawModalStackFrame(TDxDisplayHandler& handler,
                                                 TWindowManager& manager, const TRect& clip) {
    TPlatformData& data = handler.GetData();
    EXPECT_EQ(data.mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    TRenderer* renderer = TRenderer::Instance();
    EXPECT_TRUE(renderer->BeginDraw(0));
    renderer->PushClipRect(clip);
    manager.DrawModalStack();
    renderer->PopClipRect();
    renderer->EndDraw(0);
    return standin::ReadSurface(data.mContext->GetBackBuffer());
}

} // namespace frame_test
