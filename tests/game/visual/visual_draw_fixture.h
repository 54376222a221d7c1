// Visual objects drawn on the headless software renderer: the fixture's dialog and draw list with
// an 800 x 600 windowed display attached, and textures made from images written in memory.
// Images, textures and the renderer are gone after each test.
#pragma once

#include "engine/core/assetmanager.h"
#include "engine/core/knownfiles.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/texture.h"
#include "game/visual/GVTextures.h"
#include "tests/engine/media/display_fixture.h"
#include "tests/engine/media/texture_fixture.h"
#include "tests/fixtures/golden.h"
#include "tests/fixtures/testpaths.h"
#include "tests/game/visual/layer_frame.h"
#include "tests/game/visual/visual_fixture.h"

#include <cstdlib>
#include <map>
#include <string>

namespace visual_test {

// An RGBA PNG whose pixel (x, y) is pixel(x, y) as 0xAARRGGBB.
template <class Pixel>
texture_test::TBytes PatternPng(int width, int height, Pixel pixel) {
    texture_test::TPngImage params;
    params.width = width;
    params.height = height;
    params.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    params.compression = 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t argb = pixel(x, y);
            params.rows.insert(params.rows.end(),
                               {static_cast<uint8_t>(argb >> 16), static_cast<uint8_t>(argb >> 8),
                                static_cast<uint8_t>(argb), static_cast<uint8_t>(argb >> 24)});
        }
    }
    return texture_test::EncodePng(params);
}

class TVisualDrawTest : public TVisualTest {
protected:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;

    void SetUp() override {
        TVisualTest::SetUp();
        standin::TDesktop desktop;
        desktop.width = 1024;
        desktop.height = 768;
        desktop.bitsPerPixel = 32;
        standin::SetDesktop(desktop);
        standin::SetAdapters({display_test::Adapter()});
        if (GetAssetManager() == nullptr) {
            SetAssetManager(&mAssets);
        }
        TPlatformData& data = TRenderer::Instance()->GetDisplayHandler().GetData();
        ASSERT_TRUE(data.mContext->Create(MakeWindow(320, 240), false, kWidth, kHeight, 32,
                                          TDXContext::kAlways));
        data.mDirectDraw = data.mContext->GetDirectDraw();
        data.mDirect3D = data.mContext->GetDirect3D();
        data.mDevice = data.mContext->GetDevice();
        data.mScreenTarget = data.mContext->GetBackBuffer();
        data.mRenderTarget = data.mScreenTarget;
        data.mTargetRect = TRect{0, 0, kWidth, kHeight};
        data.mViewport = data.mTargetRect;
        data.mClipRect = data.mTargetRect;
    }

    void TearDown() override {
        // Objects and lists let go of their textures while the renderer is still there.
        mRoots.clear();
        mTextures.reset();
        TRenderer::Destroy();
        for (const auto& file : mFiles) {
            RegisterMemoryFile(file.first.c_str(), nullptr, 0);
        }
        mFiles.clear();
        if (GetAssetManager() == &mAssets) {
            SetAssetManager(nullptr);
        }
        TVisualTest::TearDown();
        standin::UseDefaultAdapters();
        standin::UseSystemDesktop();
    }

    // The image served from memory and loaded as entry `name` of the fixture's texture list.
    template <class Pixel>
    void AddImage(const std::string& name, int width, int height, Pixel pixel,
                  int mode = GVFrame::kModeNotSet) {
        texture_test::TBytes& bytes = mFiles[name];
        bytes = PatternPng(width, height, pixel);
        RegisterMemoryFile(name.c_str(), bytes.data(), static_cast<unsigned>(bytes.size()));
        if (mTextures == nullptr) {
            mTextures = boost::make_shared<GVTextures>();
        }
        auto* entry = new GVTexture;
        entry->mMode = mode;
        entry->mPath = name.c_str();
        entry->mTexture = TTexture::Get(name.c_str());
        ASSERT_TRUE(entry->mTexture) << name;
        mTextures->Append(entry, entry->mPath);
    }

    // A top-level object on the fixture's textures, "normal" applied.
    GVObject* TexturedSprite(const char* id, const std::vector<TFrameDesc>& frames,
                             std::initializer_list<TStateDesc> states = {}) {
        auto list = MakeFrames(frames, mTextures.get());
        auto* object = new GVObject;
        object->SetId(id);
        object->SetTextures(mTextures);
        object->SetFrames(list);
        object->SetStates(MakeStates(states, list->Count()));
        mRoots.emplace_back(object);
        object->AttachTo(&mLayer, nullptr, true);
        return object;
    }

    // The draw list drawn over a back buffer cleared to `background`, read back.
    standin::TScreenImage DrawFrame(D3DCOLOR background) {
        return DrawLayerFrame(mLayer, background);
    }

    static uint32_t At(const standin::TScreenImage& image, int x, int y) {
        return image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                            static_cast<size_t>(x)] &
               0xFFFFFFu;
    }

    // The frame against the PNG `name` in tests/game/visual/golden (written there when
    // STELLAGRIM_UPDATE_GOLDEN is set).
    static void ExpectGolden(const standin::TScreenImage& image, const std::string& name) {
        testing_fixtures::ExpectGolden(image, "tests/game/visual/golden/" + name);
    }

    boost::shared_ptr<GVTextures> mTextures;
    std::map<std::string, texture_test::TBytes> mFiles;
    TAssetManager mAssets;
};

} // namespace visual_test
