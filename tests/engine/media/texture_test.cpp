#include "engine/core/assetmanager.h"
#include "engine/media/texture.h"
#include "tests/engine/media/texture_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

namespace {

using texture_test::SolidJpeg;
using texture_test::SolidPng;
using texture_test::TBytes;
using texture_test::TPngImage;

// An RGBA PNG whose pixel (x, y) is pixel(x, y) as 0xAARRGGBB.
template <class Pixel>
TBytes PatternPng(int width, int height, Pixel pixel) {
    TPngImage params;
    params.width = width;
    params.height = height;
    params.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
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

class TextureTest : public texture_test::TTextureTest {
protected:
    void SetUp() override {
        TTextureTest::SetUp();
        SetAssetManager(&mAssets);
    }

    void TearDown() override {
        TTextureTest::TearDown();
        SetAssetManager(nullptr);
    }

    // An 800 x 600 display cleared to `background`, a frame and a 2-D block open.
    TRenderer& BeginFrame(D3DCOLOR background = 0xFF000000) {
        if (TRenderer::Existing() == nullptr) {
            OpenDisplay(32, 800, 600);
        }
        TRenderer& renderer = *TRenderer::Instance();
        EXPECT_TRUE(renderer.BeginDraw(0));
        Data().mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
        EXPECT_TRUE(renderer.Begin2d());
        return renderer;
    }

    standin::TScreenImage EndFrame() {
        TRenderer& renderer = *TRenderer::Instance();
        renderer.End2d();
        renderer.EndDraw(0);
        return standin::ReadSurface(Data().mScreenTarget);
    }

    static uint32_t At(const standin::TScreenImage& image, int x, int y) {
        return image.pixels[static_cast<size_t>(y) * image.width + x] & 0xFFFFFFu;
    }

    // The bounding box of the pixels that are not `background`.
    static TRect Covered(const standin::TScreenImage& image, uint32_t background = 0) {
        TRect box{image.width, image.height, 0, 0};
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                if (At(image, x, y) != background) {
                    box.left = std::min(box.left, x);
                    box.top = std::min(box.top, y);
                    box.right = std::max(box.right, x + 1);
                    box.bottom = std::max(box.bottom, y + 1);
                }
            }
        }
        return box;
    }

    TAssetManager mAssets;
};

TEST_F(TextureTest, Keys) {
    struct TCase {
        str key;
        const char* want;
    };
    for (const TCase& c : {
             TCase{TTexture::MakeKey("gfx\\a.png", false, false, false), "gfx/a.png:tex"},
             TCase{TTexture::MakeKey("a\\b\\c.png?mipmap", false, false, false),
                   "a/b/c.png?mipmap:tex"},
             TCase{TTexture::MakeKey("a.png", true, false, false), "a.png:a:tex"},
             TCase{TTexture::MakeKey("a.png", true, true, false), "a.png:a:m:tex"},
             TCase{TTexture::MakeKey("a.png", false, false, true), "a.png:s:tex"},
             TCase{TTexture::MakeMaskedKey("a.png", "m.png", true, false), "a.png:m.png:m:tex"},
             TCase{TTexture::MakeTargetKey(reinterpret_cast<const TTexture*>(0x1A2B3C)),
                   "1a2b3c:tex:r"},
             // The whole address, not its low 32 bits.
             TCase{TTexture::MakeTargetKey(reinterpret_cast<const TTexture*>(0x7F0012345678)),
                   "7f0012345678:tex:r"},
         }) {
        EXPECT_EQ(c.key, c.want);
    }
}

TEST_F(TextureTest, OneTexturePerKeyWhileItLives) {
    OpenDisplay();
    AddFile("gfx/a.png", SolidPng(8, 8, {255, 0, 0}));
    TTexturePtr first = TTexture::Get("gfx/a.png");
    ASSERT_TRUE(first);
    EXPECT_EQ(TTexture::Get("gfx\\a.png"), first);
    EXPECT_EQ(TTexture::Find("gfx/a.png:tex"), first);
    // Another option is another texture.
    TTexturePtr alpha = TTexture::Get("gfx/a.png", TTexture::kForceAlpha);
    ASSERT_TRUE(alpha);
    EXPECT_NE(alpha, first);
    EXPECT_TRUE(alpha->HasAlpha());
    EXPECT_EQ(TTexture::Find("gfx/a.png:a:tex"), alpha);

    // The file is gone: a living texture is still found, a new request reads the file again.
    RemoveFile("gfx/a.png");
    EXPECT_EQ(TTexture::Get("gfx/a.png"), first);
    first.reset();
    EXPECT_FALSE(TTexture::Get("gfx/a.png"));

    AddFile("m.png", SolidPng(8, 8, {255, 255, 255}));
    AddFile("b.png", SolidPng(8, 8, {0, 0, 255}));
    TTexturePtr masked = TTexture::GetMasked("b.png", "m.png", TTexture::kMipMap);
    ASSERT_TRUE(masked);
    EXPECT_EQ(TTexture::Find("b.png:m.png:m:tex"), masked);
    TTexturePtr simple = TTexture::GetSimple("b.png");
    ASSERT_TRUE(simple);
    EXPECT_TRUE(simple->IsSimple());
    EXPECT_EQ(TTexture::Find("b.png:s:tex"), simple);
}

// A plain asset, registered where a texture's key could be.
struct TOtherAsset final : TAsset {};

TEST_F(TextureTest, RenderTargetKeysAndOtherAssets) {
    OpenDisplay();
    TAssetManager own;
    SetAssetManager(&own);
    TTexturePtr target = TTexture::CreateRenderTarget(64, 32, true);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->GetWidth(), 64);
    EXPECT_TRUE(target->HasAlpha());
    EXPECT_TRUE(own.HasEntries());
    target.reset();
    // Its key went with it.
    EXPECT_FALSE(own.HasEntries());

    boost::shared_ptr<TOtherAsset> other(new TOtherAsset);
    own.Add("script.lua:tex", other);
    EXPECT_FALSE(TTexture::Find("script.lua:tex"));
    SetAssetManager(&mAssets);
}

TEST_F(TextureTest, BlitOnlyOutsideFramesAndCutToTheImage) {
    OpenDisplay(32, 800, 600);
    AddFile("b.png", SolidPng(64, 32, {0, 255, 0}));
    TTexturePtr texture = TTexture::Get("b.png");
    ASSERT_TRUE(texture);
    TRenderer& renderer = *TRenderer::Instance();
    Data().mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);

    ASSERT_TRUE(renderer.BeginDraw(0));
    texture->Blit(0, 0, nullptr, TTexturePtr());
    renderer.EndDraw(0);
    EXPECT_EQ(Covered(standin::ReadSurface(Data().mScreenTarget)).right, 0);

    const TRect source{-5, -5, 1000, 1000};
    texture->Blit(100, 50, &source, TTexturePtr());
    const TRect box = Covered(standin::ReadSurface(Data().mScreenTarget));
    EXPECT_EQ(box.left, 100);
    EXPECT_EQ(box.top, 50);
    EXPECT_EQ(box.right, 164);
    EXPECT_EQ(box.bottom, 82);

    // Into another texture.
    TTexturePtr target = TTexture::CreateRenderTarget(128, 128, false);
    ASSERT_TRUE(target);
    texture->Blit(10, 20, nullptr, target);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(target->Lock(&pixels, &pitch));
    EXPECT_EQ(pixels[25 * pitch + 15] & 0xFFFFFFu, 0x00FF00u);
    EXPECT_EQ(pixels[5 * pitch + 5] & 0xFFFFFFu, 0u);
    target->Unlock();
}

TEST_F(TextureTest, QuadPlacement) {
    AddFile("w.png", SolidPng(100, 50, {255, 255, 255}));
    OpenDisplay(32, 800, 600);
    TTexturePtr texture = TTexture::Get("w.png");
    ASSERT_TRUE(texture);

    struct TCase {
        const char* name;
        uint32_t flags;
        TRect want;
    };
    for (const TCase& c : {
             TCase{"centred", 0, TRect{350, 275, 450, 325}},
             TCase{"top-left at the position", TDrawSpec::kUseOrigin, TRect{400, 300, 500, 350}},
         }) {
        SCOPED_TRACE(c.name);
        BeginFrame();
        TDrawSpec params(TVec2(400, 300), 1.0f, 1.0f, c.flags);
        texture->Draw(params);
        const TRect box = Covered(EndFrame());
        EXPECT_EQ(box.left, c.want.left);
        EXPECT_EQ(box.top, c.want.top);
        EXPECT_EQ(box.right, c.want.right);
        EXPECT_EQ(box.bottom, c.want.bottom);
    }

    // Scale 2 doubles the quad around the position.
    BeginFrame();
    texture->DrawAt(400, 300, 1.0f, 2.0f, 0.0f, 0);
    const TRect box = Covered(EndFrame());
    EXPECT_EQ(box.left, 300);
    EXPECT_EQ(box.right, 500);
    EXPECT_EQ(box.top, 250);
    EXPECT_EQ(box.bottom, 350);
}

TEST_F(TextureTest, FlipsTurnTheImage) {
    // Red top-left quarter, the rest blue.
    AddFile("q.png", PatternPng(16, 16, [](int x, int y) {
                return x < 8 && y < 8 ? 0xFFFF0000u : 0xFF0000FFu;
            }));
    OpenDisplay(32, 800, 600);
    TTexturePtr texture = TTexture::Get("q.png");
    ASSERT_TRUE(texture);
    struct TCase {
        uint32_t flags;
        int redX;
        int redY;
    };
    for (const TCase& c :
         {TCase{0, 0, 0}, TCase{TDrawSpec::kFlipX, 8, 0}, TCase{TDrawSpec::kFlipY, 0, 8},
          TCase{TDrawSpec::kFlipX | TDrawSpec::kFlipY, 8, 8}}) {
        SCOPED_TRACE(c.flags);
        TRenderer& renderer = BeginFrame();
        renderer.SetFiltering(0);
        TDrawSpec params(TVec2(100, 100), 1.0f, 1.0f, c.flags | TDrawSpec::kUseOrigin);
        texture->Draw(params);
        const standin::TScreenImage image = EndFrame();
        EXPECT_EQ(At(image, 100 + c.redX + 4, 100 + c.redY + 4), 0xFF0000u);
        EXPECT_EQ(At(image, 100 + (8 - c.redX) + 4, 100 + c.redY + 4), 0x0000FFu);
        EXPECT_EQ(At(image, 100 + c.redX + 4, 100 + (8 - c.redY) + 4), 0x0000FFu);
    }
}

TEST_F(TextureTest, VertexBytes) {
    struct TCase {
        float alpha;
        float red;
        D3DCOLOR want;
    };
    for (const TCase& c : {TCase{1.0f, 1.0f, 0xFFFF0000u}, TCase{1.5f, 0.0f, 0xFF000000u},
                           TCase{-0.2f, 0.0f, 0x00000000u}, TCase{1.0f, 1.5f, 0xFF7E0000u},
                           TCase{std::nanf(""), 0.0f, 0x00000000u}}) {
        D3DLVERTEX vertices[4];
        TVec2 corners[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        BuildQuadVertices(TVec2(10, 20), vertices, corners, TVec2(0, 0), TVec2(1, 1), TMat3(),
                          c.alpha, TColor{c.red, 0, 0, 1});
        EXPECT_EQ(vertices[0].color, c.want) << c.alpha << " " << c.red;
        EXPECT_EQ(vertices[2].x, 11.0f);
        EXPECT_EQ(vertices[2].y, 21.0f);
        EXPECT_EQ(vertices[1].tu, 1.0f);
        EXPECT_EQ(vertices[1].tv, 0.0f);
        EXPECT_EQ(vertices[3].specular, 0xFF000000u);
    }
}

TEST_F(TextureTest, BlendModeStaysForTheNextQuad) {
    AddFile("g.png", SolidPng(10, 10, {0, 128, 0}));
    OpenDisplay(32, 800, 600);
    TTexturePtr texture = TTexture::Get("g.png");
    ASSERT_TRUE(texture);
    BeginFrame(0xFF404040);
    TDrawSpec additive(TVec2(100, 100), 1.0f, 1.0f, 0);
    additive.mBlendMode = 2;
    texture->Draw(additive);
    TDrawSpec next(TVec2(200, 100), 1.0f, 1.0f, 0);
    texture->Draw(next);
    const standin::TScreenImage image = EndFrame();
    EXPECT_EQ(At(image, 100, 100), 0x40C040u);
    EXPECT_EQ(At(image, 200, 100), 0x40C040u);
}

TEST_F(TextureTest, NothingDrawnOutsideA2dBlock) {
    AddFile("w.png", SolidPng(10, 10, {255, 255, 255}));
    OpenDisplay(32, 800, 600);
    TTexturePtr texture = TTexture::Get("w.png");
    TRenderer& renderer = *TRenderer::Instance();
    ASSERT_TRUE(renderer.BeginDraw(0));
    Data().mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    const std::size_t logged = LogText().size();
    texture->DrawAt(100, 100, 1, 1, 0, 0);
    ASSERT_TRUE(renderer.Begin3d());
    texture->DrawAt(100, 100, 1, 1, 0, 0);
    renderer.End3d();
    renderer.EndDraw(0);
    EXPECT_EQ(Covered(standin::ReadSurface(Data().mScreenTarget)).right, 0);
    EXPECT_EQ(LogText().size(), logged);
}

// PNG and JPEG sprites with flips, scale, rotation, alpha and each blend mode.
TEST_F(TextureTest, GoldenSprites) {
    AddFile("sprite.png", PatternPng(32, 32, [](int x, int y) {
                const uint32_t alpha = x < 16 ? 0xFFu : 0x80u;
                return alpha << 24 | static_cast<uint32_t>(x * 8) << 16 |
                       static_cast<uint32_t>(y * 8) << 8 | 0x40u;
            }));
    AddFile("photo.jpg", SolidJpeg(48, 24, 200, 60, 30));
    OpenDisplay(32, 800, 600);
    TTexturePtr sprite = TTexture::Get("sprite.png");
    TTexturePtr photo = TTexture::Get("photo.jpg");
    ASSERT_TRUE(sprite);
    ASSERT_TRUE(photo);
    TRenderer& renderer = BeginFrame(0xFF304050);
    renderer.SetFiltering(0);
    for (int mode = 0; mode < 5; ++mode) {
        TDrawSpec params(TVec2(60.0f + 120.0f * static_cast<float>(mode), 60), 1.0f, 1.0f, 0);
        params.mBlendMode = mode;
        sprite->Draw(params);
        TDrawSpec jpeg(TVec2(60.0f + 120.0f * static_cast<float>(mode), 140), 0.75f, 1.0f, 0);
        jpeg.mBlendMode = mode;
        photo->Draw(jpeg);
    }
    renderer.SetBlendMode(0);
    renderer.SetFiltering(1);
    sprite->DrawAt(100, 300, 1.0f, 2.0f, 0.0f, TDrawSpec::kFlipX);
    sprite->DrawAt(250, 300, 0.5f, 1.5f, 0.0f, TDrawSpec::kFlipY);
    sprite->DrawAt(400, 300, 1.0f, 1.0f, std::numbers::pi_v<float> / 4.0f, 0);
    photo->DrawAt(550, 300, 1.0f, 3.0f, std::numbers::pi_v<float> / 6.0f,
                  TDrawSpec::kFlipX | TDrawSpec::kFlipY);
    TDrawSpec tinted(TVec2(700, 300), 1.0f, 1.0f, TDrawSpec::kUseSrcRect);
    tinted.mSrcRect = TRect{0, 0, 16, 16};
    tinted.mColor = TColor{0.5f, 1.0f, 1.0f, 1.0f};
    sprite->Draw(tinted);
    const standin::TScreenImage image = EndFrame();
    // Opaque half of the PNG in mode 1 at (180 - 16 + x, 60 - 16 + y): the texel itself.
    EXPECT_EQ(At(image, 180 - 16 + 3, 60 - 16 + 5), 0x182840u);
    // The JPEG in mode 1 drawn at alpha 0.75 still writes its colour (blending off).
    const uint32_t jpeg = At(image, 180, 140);
    EXPECT_NEAR(static_cast<int>(jpeg >> 16), 200, 3);
    EXPECT_NEAR(static_cast<int>(jpeg >> 8 & 0xFF), 60, 3);
    // Background where nothing was drawn.
    EXPECT_EQ(At(image, 5, 590), 0x304050u);
    ExpectGolden(image, "texture_sprites.png");
}

// After a scripted device loss every texture reloads from its file and the frame is the same.
TEST_F(TextureTest, TexturesReloadAfterADeviceLoss) {
    AddFile("sprite.png", PatternPng(32, 32, [](int x, int y) {
                return 0xFF000000u | static_cast<uint32_t>(x * 8) << 16 |
                       static_cast<uint32_t>(y * 8) << 8;
            }));
    OpenDisplay(32, 800, 600);
    TTexturePtr sprite = TTexture::Get("sprite.png");
    ASSERT_TRUE(sprite);
    auto frame = [&] {
        BeginFrame(0xFF101010);
        sprite->DrawAt(100, 100, 1.0f, 2.0f, 0.3f, 0);
        return EndFrame();
    };
    const standin::TScreenImage before = frame();
    for (int i = 0; i < 3; ++i) {
        frame();
    }
    standin::LoseAllSurfaces();
    TDxDisplayHandler& handler = TRenderer::Instance()->GetDisplayHandler();
    handler.MarkLost();
    handler.Restore();
    ASSERT_TRUE(handler.IsReady());
    const standin::TScreenImage after = frame();
    EXPECT_TRUE(before.pixels == after.pixels);
}

} // namespace
