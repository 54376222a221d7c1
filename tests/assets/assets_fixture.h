// The demo asset folder under the engine: the platform made as the program makes it, with the
// repository root as its current folder, so that "assets" there is the folder it reads its
// settings, strings, images, sounds and scripts from; the real window system and media. Tests add
// a display (for drawing and textures) or a main window with the null sound device (for sounds).
#pragma once

#include "engine/core/assetmap.h"
#include "engine/core/log.h"
#include "engine/media/dxtexturedata.h"
#include "engine/media/media.h"
#include "engine/media/minivecdraw.h"
#include "engine/media/renderer.h"
#include "engine/media/soundmanager.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowsystem.h"
#include "platform/dsound/standin_dsound.h"
#include "tests/engine/media/display_fixture.h"
#include "tests/engine/ui/frame_fixture.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <string>

namespace assets_test {

inline std::string Text(const str& text) {
    return text.CStr() != nullptr ? std::string(text.CStr(), text.Length()) : std::string();
}

class TDemoAssetsTest : public display_test::TDisplayTest {
protected:
    void SetUp() override {
        TDisplayTest::SetUp();
        standin::UseNullSoundDevice(true);
        ForgetTexturePixelFormat();
        RegisterMedia();
        RegisterWindowSystem();
        // The record makes the program's folder current; the platform then reads from the folder
        // that is current, as the program does from its own.
        mCommandLine.clear();
        auto* record = new TWin32Platform(GetModuleHandleA(nullptr), nullptr, mCommandLine.data(),
                                          SW_SHOWNORMAL, true);
        SetCurrentDirectoryA(testing_fixtures::SourceDir().string().c_str());
        mPlatform = new TPlatform(record);
    }

    void TearDown() override {
        TWin32Platform* record = mPlatform != nullptr ? mPlatform->GetWin32() : nullptr;
        if (record != nullptr) {
            delete record->mGlyphRenderer;
            record->mGlyphRenderer = nullptr;
        }
        TRenderer::Destroy();
        TDisplayTest::TearDown();
        SetAssetLoaderLink(nullptr);
        SetSoundManagerFactory(nullptr);
        standin::TakeSoundCapture();
        standin::UseNullSoundDevice(false);
        ForgetTexturePixelFormat();
    }

    static TWindowManager* Manager() { return GetWindowManager(); }
    static TWindowScript* Script() { return Manager()->GetWindowScript(); }

    // A windowed display of width x height as the display set-up attaches it, the root screen
    // of that size and the glyph renderer the text windows draw with.
    void OpenDisplay(int width, int height) {
        mHandler = &AttachDisplay(TRenderer::Instance()->GetDisplayHandler(), width, height);
        auto* drawer = new TQzMiniVecDraw;
        drawer->SelfTest();
        mPlatform->GetWin32()->mGlyphRenderer = drawer;
        Manager()->CreateRootScreen(width, height);
    }

    // The frame the window manager draws of the modal stack, read back from the back buffer.
    standin::TScreenImage DrawFrame() {
        return frame_test::DrawModalStackFrame(*mHandler, *Manager(),
                                               mHandler->GetData().mTargetRect);
    }

    TDxDisplayHandler* mHandler = nullptr;
};

// The demo assets with the main window shown and the sound manager started on the null device.
class TDemoSoundDeviceTest : public TDemoAssetsTest {
protected:
    void SetUp() override {
        TDemoAssetsTest::SetUp();
        mPlatform->CreateMainWindow();
        mMain = mPlatform->GetWin32()->mMainWindow;
        ShowWindow(mMain, SW_SHOWNORMAL);
        UntilIdle();
        ASSERT_TRUE(mPlatform->InitSound());
        mManager = TSoundManager::Get();
        ASSERT_NE(mManager, nullptr);
    }

    TSoundManager* mManager = nullptr;
};

} // namespace assets_test
