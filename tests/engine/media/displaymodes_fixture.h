// The renderer and its display handler on a platform with a shown main window, on the scripted
// desktop and adapter of the display tests: what SetDisplay, frames and restores need.
#pragma once

#include "engine/core/knownfiles.h"
#include "engine/media/directx.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/renderer.h"
#include "engine/system/portal.h"
#include "tests/engine/media/display_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace display_test {

class TRendererTest : public TDisplayTest {
protected:
    void TearDown() override {
        TRenderer::Destroy();
        ResetPortalStateForTests();
        TDisplayTest::TearDown();
    }

    // The platform with its main window shown and active, the renderer and its handler.
    // "common:" is a folder of the test's own: the handler keeps its display options there.
    TDxDisplayHandler& Start(HWND host = nullptr) {
        mRecord = &Open(host);
        str user;
        str common;
        str desktop;
        GetFolderRoots(&user, &common, &desktop);
        SetFolderRoots(user, str(mRoots.Path().string().c_str()), desktop);
        mRenderer = TRenderer::Instance();
        return mRenderer->GetDisplayHandler();
    }

    TDxDisplayHandler& Handler() { return mRenderer->GetDisplayHandler(); }
    TPlatformData& Data() { return Handler().GetData(); }

    // Start, then a display of width x height.
    TDxDisplayHandler& StartDisplay(int width, int height, bool fullscreen) {
        TDxDisplayHandler& handler = Start();
        handler.SetDisplay(width, height, fullscreen, false, false, false);
        return handler;
    }

    // Bits per pixel of the primary surface.
    DWORD ScreenBits() {
        IDirectDrawSurface7* front = Data().mContext->GetFrontBuffer();
        if (front == nullptr) {
            return 0;
        }
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof(desc);
        front->GetSurfaceDesc(&desc);
        return desc.ddpfPixelFormat.dwRGBBitCount;
    }

    static std::vector<std::string> BoxTexts() {
        std::vector<std::string> texts;
        for (const standin::TMessageBoxRecord& box : standin::TakeMessageBoxes()) {
            texts.push_back(box.text);
        }
        return texts;
    }

    bool Logged(const std::string& text) const { return LogText().find(text) != std::string::npos; }

    TWin32Platform* mRecord = nullptr;
    TRenderer* mRenderer = nullptr;
    testing_fixtures::TempDir mRoots;
};

} // namespace display_test
