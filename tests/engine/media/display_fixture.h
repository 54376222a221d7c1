// A scripted desktop (1024 x 768, 32 bits) and adapter for the display tests, a window to open on,
// the log in a temporary folder and, when a test asks, a platform record (for the embedded flag
// and viewport scale). Adapters, faults, desktop and message boxes go back as they were.
#pragma once

#include "engine/core/log.h"
#include "engine/media/directx.h"
#include "engine/media/dxdisplayhandler.h"
#include "platform/directx/standin_directx.h"
#include "platform/win32/standin.h"
#include "tests/engine/system/platform_fixture.h"
#include "tests/fixtures/golden.h"
#include "tests/fixtures/tempdir.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace display_test {

inline constexpr GUID kAdapterGuid = {0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};

// 32 MB; 640 x 480 and 800 x 600 at 16 and 32 bits; the stand-in's default device.
inline standin::TAdapter Adapter() {
    standin::TAdapter adapter;
    adapter.guid = kAdapterGuid;
    adapter.driver = "scripted.drv";
    adapter.description = "Scripted Adapter";
    adapter.vendorId = 0x1234;
    adapter.deviceId = 0x5678;
    adapter.subSysId = 0x9A;
    adapter.revision = 3;
    adapter.driverVersion = 0x0001000200030004LL;
    adapter.modes = {
        {640, 480, 16, 60}, {640, 480, 32, 60}, {800, 600, 16, 60}, {800, 600, 32, 60}};
    return adapter;
}

class TDisplayTest : public platform_test::TPlatformTest {
protected:
    void SetUp() override {
        TPlatformTest::SetUp();
        SetDesktopBits(32);
        standin::SetAdapters({Adapter()});
        standin::ClearFaults();
        standin::TakeMessageBoxes();
        SetLogFolder(mLogs.Path().string().c_str());
    }

    void TearDown() override {
        TPlatformTest::TearDown();
        standin::ClearFaults();
        standin::UseDefaultAdapters();
        standin::UseSystemDesktop();
        standin::TakeMessageBoxes();
        SetLogFolder(nullptr);
    }

    static void SetDesktopBits(int bits) {
        standin::TDesktop desktop;
        desktop.width = 1024;
        desktop.height = 768;
        desktop.bitsPerPixel = bits;
        standin::SetDesktop(desktop);
    }

    // A windowed display of width x height at `bits` on `handler`, attached as the display set-up
    // attaches it: the context's interfaces, the back buffer as target, viewport and clip the
    // whole target. For tests that need no platform window of their own.
    TDxDisplayHandler& AttachDisplay(TDxDisplayHandler& handler, int width, int height,
                                     int bits = 32) {
        TPlatformData& data = handler.GetData();
        EXPECT_TRUE(data.mContext->Create(MakeWindow(320, 240), false, width, height, bits,
                                          TDXContext::kAlways));
        data.mDirectDraw = data.mContext->GetDirectDraw();
        data.mDirect3D = data.mContext->GetDirect3D();
        data.mDevice = data.mContext->GetDevice();
        data.mScreenTarget = data.mContext->GetBackBuffer();
        data.mRenderTarget = data.mScreenTarget;
        data.mTargetRect = TRect{0, 0, width, height};
        data.mViewport = data.mTargetRect;
        data.mClipRect = data.mTargetRect;
        return handler;
    }

    // The platform record, embedded at `scale` when asked.
    void MakeRecord(bool embedded, float scale = 1.0f) {
        TWin32Platform& record = MakePlatform();
        record.mEmbedded = embedded;
        record.mViewportScale = scale;
    }

    // The frame's pixels against the PNG `name` in tests/engine/media/golden (written there when
    // STELLAGRIM_UPDATE_GOLDEN is set).
    static void ExpectGolden(const standin::TScreenImage& image, const std::string& name) {
        testing_fixtures::ExpectGolden(image, "tests/engine/media/golden/" + name);
    }

    std::string LogText() const { return mLogs.Read("logfile.txt"); }

    testing_fixtures::TempDir mLogs;
};

} // namespace display_test
