#include "tests/platform/directx/ddtest.h"

#include "platform/directx/d3dx.h"

#include <algorithm>
#include <vector>

namespace {

using ddtest::EmptyDesc;
using ddtest::Format;
using ddtest::kSize;
using ddtest::PixelAt;
using ddtest::TRef;

class Textures : public ddtest::TDirect3DTest {
protected:
    void SetUp() override {
        TDirect3DTest::SetUp();
        ASSERT_EQ(D3DXInitialize(), S_OK);
    }
    void TearDown() override {
        TDirect3DTest::TearDown();
        D3DXUninitialize();
    }

    // A texture of `width` x `height` A8R8G8B8 texels from `pixels`, with or without mips.
    IDirectDrawSurface7* MakeTexture(DWORD width, DWORD height, const std::vector<DWORD>& pixels,
                                     bool mipmapped = false) {
        DWORD flags = mipmapped ? 0 : D3DX_TEXTURE_NOMIPMAP;
        D3DX_SURFACEFORMAT format = D3DX_SF_A8R8G8B8;
        IDirectDrawSurface7* texture = nullptr;
        EXPECT_EQ(D3DXCreateTexture(mDevice.Get(), &flags, &width, &height, &format, nullptr,
                                    &texture, nullptr),
                  D3D_OK);
        RECT all{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
        EXPECT_EQ(D3DXLoadTextureFromMemory(mDevice.Get(), texture, mipmapped ? D3DX_DEFAULT : 0,
                                            const_cast<DWORD*>(pixels.data()), nullptr,
                                            D3DX_SF_A8R8G8B8, D3DX_DEFAULT, &all,
                                            mipmapped ? D3DX_FT_LINEAR : D3DX_FT_POINT),
                  D3D_OK);
        return texture;
    }

    // A screen-space quad with texture coordinates from (u0, v0) to (u1, v1).
    HRESULT TexturedQuad(float left, float top, float right, float bottom, float u0, float v0,
                         float u1, float v1, D3DCOLOR color = 0xFFFFFFFF) {
        D3DTLVERTEX fan[4] = {{left, top, 0.5f, 1, color, 0, u0, v0},
                              {right, top, 0.5f, 1, color, 0, u1, v0},
                              {right, bottom, 0.5f, 1, color, 0, u1, v1},
                              {left, bottom, 0.5f, 1, color, 0, u0, v1}};
        return mDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, fan, 4, 0);
    }

    void Filters(DWORD filter, DWORD mip = D3DTFP_NONE) {
        mDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
        mDevice->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
        mDevice->SetTextureStageState(0, D3DTSS_MIPFILTER, mip);
    }
};

// Texel (x, y) of a 4x4 image that no mirroring or shifting leaves as it was.
std::vector<DWORD> Checker4() {
    std::vector<DWORD> pixels;
    for (DWORD y = 0; y < 4; ++y) {
        for (DWORD x = 0; x < 4; ++x) {
            const DWORD bright = (x + y) % 2 == 0 ? 0xC0 : 0x40;
            pixels.push_back(0xFF000000u | (x * 85u) << 16 | (y * 85u) << 8 | bright);
        }
    }
    return pixels;
}

TEST_F(Textures, CreateTextureSizesFormatsAndLimits) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    DWORD width = 300;
    DWORD height = 100;
    DWORD flags = 0;
    DWORD levels = 0;
    D3DX_SURFACEFORMAT format = D3DX_SF_A8R8G8B8;
    TRef<IDirectDrawSurface7> texture;
    ASSERT_EQ(D3DXCreateTexture(mDevice.Get(), &flags, &width, &height, &format, nullptr,
                                texture.Out(), &levels),
              D3D_OK);
    EXPECT_EQ(width, 512u);
    EXPECT_EQ(height, 128u);
    EXPECT_EQ(levels, 10u);
    DDSURFACEDESC2 desc = EmptyDesc();
    ASSERT_EQ(texture->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwMipMapCount, 10u);
    DDSCAPS2 mip{};
    mip.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
    TRef<IDirectDrawSurface7> second;
    ASSERT_EQ(texture->GetAttachedSurface(&mip, second.Out()), DD_OK);
    ASSERT_EQ(second->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwWidth, 256u);
    EXPECT_EQ(desc.dwHeight, 64u);

    width = 4096;
    height = 16;
    EXPECT_EQ(D3DXCreateTexture(mDevice.Get(), &flags, &width, &height, &format, nullptr,
                                texture.Out(), nullptr),
              DDERR_INVALIDPARAMS);
    Close();

    // A device that wants square textures and has no A4R4G4B4.
    standin::TAdapter adapter = ddtest::ScriptedAdapter();
    standin::TDevice3DDesc device = standin::DefaultDevice3D();
    device.desc.dpcTriCaps.dwTextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
    adapter.devices = {device};
    adapter.textureFormats = {
        Format(32, 0xFF0000, 0xFF00, 0xFF, 0), Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
        Format(16, 0xF800, 0x07E0, 0x001F, 0), Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000)};
    standin::SetAdapters({adapter});
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    width = 300;
    height = 100;
    flags = D3DX_TEXTURE_NOMIPMAP;
    format = D3DX_SF_A4R4G4B4;
    ASSERT_EQ(D3DXCreateTexture(mDevice.Get(), &flags, &width, &height, &format, nullptr,
                                texture.Out(), &levels),
              D3D_OK);
    EXPECT_EQ(width, 512u);
    EXPECT_EQ(height, 512u);
    EXPECT_EQ(levels, 1u);
    EXPECT_EQ(format, D3DX_SF_A1R5G5B5);
    DDPIXELFORMAT pixelFormat{};
    pixelFormat.dwSize = sizeof pixelFormat;
    ASSERT_EQ(texture->GetPixelFormat(&pixelFormat), DD_OK);
    EXPECT_EQ(pixelFormat.dwRGBAlphaBitMask, 0x8000u);
    std::vector<DWORD> listed;
    auto collect = [](DDPIXELFORMAT* f, void* context) -> HRESULT {
        static_cast<std::vector<DWORD>*>(context)->push_back(f->dwRGBBitCount);
        return DDENUMRET_OK;
    };
    ASSERT_EQ(mDevice->EnumTextureFormats(collect, &listed), D3D_OK);
    EXPECT_EQ(listed, (std::vector<DWORD>{32, 32, 16, 16}));
}

TEST_F(Textures, LoadConvertsIntoEachFormatAndRefusesOutsideRectangles) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    struct TCase {
        const char* name;
        DDPIXELFORMAT format;
        DWORD expected; // 0x80FF8040 stored
    };
    const TCase cases[] = {
        {"R5G6B5", Format(16, 0xF800, 0x07E0, 0x001F, 0), 0xFC08},
        {"A4R4G4B4", Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000), 0x8F84},
        {"X8R8G8B8", Format(32, 0xFF0000, 0xFF00, 0xFF, 0), 0xFF8040},
        {"R8G8B8", Format(24, 0xFF0000, 0xFF00, 0xFF, 0), 0xFF8040},
    };
    const std::vector<DWORD> pixels = {0xFF000000, 0x80FF8040, 0xFFFFFFFF, 0x00000000};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TRef<IDirectDrawSurface7> texture(MakeSurface(4, 4, &c.format, DDSCAPS_TEXTURE));
        RECT corner{1, 2, 3, 4};
        ASSERT_EQ(D3DXLoadTextureFromMemory(mDevice.Get(), texture.Get(), 0,
                                            const_cast<DWORD*>(pixels.data()), nullptr,
                                            D3DX_SF_A8R8G8B8, D3DX_DEFAULT, &corner, D3DX_FT_POINT),
                  D3D_OK);
        EXPECT_EQ(PixelAt(texture.Get(), 2, 2), c.expected);
        EXPECT_EQ(PixelAt(texture.Get(), 0, 0), 0u);
        RECT outside{2, 2, 5, 4};
        EXPECT_EQ(D3DXLoadTextureFromMemory(
                      mDevice.Get(), texture.Get(), 0, const_cast<DWORD*>(pixels.data()), nullptr,
                      D3DX_SF_A8R8G8B8, D3DX_DEFAULT, &outside, D3DX_FT_POINT),
                  DDERR_INVALIDPARAMS);
    }

    // All levels: the next level is the box filter of the one above.
    std::vector<DWORD> quad(16, 0xFF000000);
    quad[0] = 0xFFFFFFFF;
    quad[1] = 0xFF808080;
    TRef<IDirectDrawSurface7> mipmapped(MakeTexture(4, 4, quad, true));
    DDSCAPS2 mip{};
    mip.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
    TRef<IDirectDrawSurface7> level1;
    ASSERT_EQ(mipmapped->GetAttachedSurface(&mip, level1.Out()), D3D_OK);
    // (255 + 128 + 0 + 0 + 2) / 4 = 96.
    EXPECT_EQ(PixelAt(level1.Get(), 0, 0), 0xFF606060u);
    EXPECT_EQ(PixelAt(level1.Get(), 1, 1), 0xFF000000u);
}

TEST_F(Textures, PointAndLinearInEachAddressMode) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    TRef<IDirectDrawSurface7> checker(MakeTexture(4, 4, Checker4()));
    ASSERT_EQ(mDevice->SetTexture(0, checker.Get()), D3D_OK);
    const DWORD modes[] = {D3DTADDRESS_WRAP, D3DTADDRESS_MIRROR, D3DTADDRESS_CLAMP};
    for (int column = 0; column < 3; ++column) {
        mDevice->SetTextureStageState(0, D3DTSS_ADDRESSU, modes[column]);
        mDevice->SetTextureStageState(0, D3DTSS_ADDRESSV, modes[column]);
        for (int row = 0; row < 2; ++row) {
            Filters(row == 0 ? D3DTFG_POINT : D3DTFG_LINEAR);
            const float left = 1.0f + column * 21.0f;
            const float top = 1.0f + row * 32.0f;
            ASSERT_EQ(TexturedQuad(left, top, left + 20, top + 30, -0.5f, -0.5f, 1.5f, 1.5f),
                      D3D_OK);
        }
    }
    // Wrap, point, at pixel (7, 10): u = -0.5 + 6 / 10 = 0.1 and v = -0.5 + 9 / 15 = 0.1, so
    // texel (0, 0).
    EXPECT_EQ(At(7, 10) & 0xFFFFFF, 0x0000C0u);
    ddtest::ExpectGolden(Image(), "d3d_address.png");
}

TEST_F(Textures, MipLevelsFollowTheReduction) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    // Level 0 fine red and white stripes, every level below a colour of its own, so that the
    // level a reduction reads shows.
    std::vector<DWORD> stripes(64 * 64);
    for (std::size_t i = 0; i < stripes.size(); ++i) {
        stripes[i] = (i % 2 == 0) ? 0xFFFFFFFF : 0xFFFF0000;
    }
    TRef<IDirectDrawSurface7> texture(MakeTexture(64, 64, stripes, true));
    const DWORD colours[] = {0xFF00FF00, 0xFF0000FF, 0xFFFFFF00,
                             0xFF00FFFF, 0xFFFF00FF, 0xFF808080};
    for (DWORD level = 1; level <= 6; ++level) {
        const DWORD side = 64u >> level;
        std::vector<DWORD> solid(side * side, colours[level - 1]);
        ASSERT_EQ(D3DXLoadTextureFromMemory(mDevice.Get(), texture.Get(), level, solid.data(),
                                            nullptr, D3DX_SF_A8R8G8B8, D3DX_DEFAULT, nullptr,
                                            D3DX_FT_POINT),
                  D3D_OK);
    }
    ASSERT_EQ(mDevice->SetTexture(0, texture.Get()), D3D_OK);
    // No mip filter (point sampling, so level 0 aliases), then the nearest level, then a blend of
    // the two around the reduction.
    const DWORD mips[] = {D3DTFP_NONE, D3DTFP_POINT, D3DTFP_LINEAR};
    for (int row = 0; row < 3; ++row) {
        Filters(row == 0 ? D3DTFG_POINT : D3DTFG_LINEAR, mips[row]);
        float left = 1;
        for (float size : {24.0f, 12.0f, 6.0f, 3.0f}) {
            const float top = 1.0f + row * 21.0f;
            const float height = std::min(size, 20.0f);
            ASSERT_EQ(TexturedQuad(left, top, left + size, top + height, 0, 0, 1, height / size),
                      D3D_OK);
            left += size + 1;
        }
    }
    // A reduction of 64 to 24 is lod 1.415: the nearest level is 1 (green); level 0 read by
    // every third texel or so is red or white. The blend: lod = log2(64 * 64 * 20 / 24 /
    // (24 * 20)) / 2 = 1.4150, so green 255 * 0.5850 = 149.2 and blue 255 * 0.4150 = 105.8.
    EXPECT_EQ(At(5, 27), 0x00FF00u);
    const DWORD aliased = At(5, 6);
    EXPECT_TRUE(aliased == 0xFF0000u || aliased == 0xFFFFFFu) << std::hex << aliased;
    EXPECT_EQ(At(5, 48), 0x00956Au);
    ddtest::ExpectGolden(Image(), "d3d_mipmaps.png");
}

// The engine's stage set-ups on the device: modulate with the vertex colour, the texture factor
// as alpha (modes 1 and 3), and target mode 4, which writes coverage as grey.
TEST_F(Textures, StageSetUpsOfTheBlendModes) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    Fill(RECT{0, 0, kSize, kSize}, 0x204060);
    std::vector<DWORD> sprite(16 * 16);
    for (DWORD y = 0; y < 16; ++y) {
        for (DWORD x = 0; x < 16; ++x) {
            const DWORD alpha = x < 8 ? 0xFF : 0x60;
            sprite[y * 16 + x] = alpha << 24 | (y < 8 ? 0xFFE040u : 0x40C0FFu);
        }
    }
    TRef<IDirectDrawSurface7> texture(MakeTexture(16, 16, sprite));
    ASSERT_EQ(mDevice->SetTexture(0, texture.Get()), D3D_OK);
    mDevice->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    mDevice->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    mDevice->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    mDevice->SetRenderState(D3DRENDERSTATE_TEXTUREFACTOR, 0xFFFFFFFF);
    auto stages = [&](DWORD colourArg1, DWORD colourArg2, DWORD colourOp, DWORD alphaArg1,
                      DWORD alphaOp) {
        mDevice->SetTextureStageState(0, D3DTSS_COLORARG1, colourArg1);
        mDevice->SetTextureStageState(0, D3DTSS_COLORARG2, colourArg2);
        mDevice->SetTextureStageState(0, D3DTSS_COLOROP, colourOp);
        mDevice->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphaArg1);
        mDevice->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
        mDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
    };
    // Normal: texture times vertex colour, alpha modulated.
    stages(D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_MODULATE);
    ASSERT_EQ(TexturedQuad(2, 2, 30, 30, 0, 0, 1, 1, 0xFF80FF80), D3D_OK);
    // Modes 1 and 3: alpha from the texture factor, so the sprite is opaque.
    stages(D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_MODULATE, D3DTA_TFACTOR, D3DTOP_SELECTARG1);
    ASSERT_EQ(TexturedQuad(34, 2, 62, 30, 0, 0, 1, 1), D3D_OK);
    EXPECT_EQ(At(60, 4), 0xFFE040u);
    // Target mode 4: the texture's alpha as grey, opaque; with the vertex alpha modulated in.
    mDevice->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    stages(D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TFACTOR,
           D3DTOP_SELECTARG1);
    ASSERT_EQ(TexturedQuad(2, 34, 30, 62, 0, 0, 1, 1), D3D_OK);
    EXPECT_EQ(At(4, 36), 0xFFFFFFu);
    EXPECT_EQ(At(28, 36), 0x606060u);
    stages(D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE,
           D3DTOP_MODULATE, D3DTA_TFACTOR, D3DTOP_SELECTARG1);
    ASSERT_EQ(TexturedQuad(34, 34, 62, 62, 0, 0, 1, 1, 0x80FFFFFF), D3D_OK);
    // 255 x 128: 128.
    EXPECT_EQ(At(36, 36), 0x808080u);
    ddtest::ExpectGolden(Image(), "d3d_stages.png");
}

// The 2-D projection with its texel offset maps texels onto pixels, so point and linear
// sampling draw the same; on a device with pixel centres at +0.5 the offset 0 does.
TEST_F(Textures, TexelOffsetMapsTexelsOntoPixels) {
    for (bool half : {false, true}) {
        SCOPED_TRACE(half);
        standin::TAdapter adapter = ddtest::ScriptedAdapter();
        adapter.halfPixelCentres = half;
        standin::SetAdapters({adapter});
        Open(32);
        ASSERT_FALSE(HasFatalFailure());
        std::vector<DWORD> texels(16 * 16);
        for (DWORD i = 0; i < texels.size(); ++i) {
            texels[i] = 0xFF000000u | (i * 0x9E3779B9u >> 8);
        }
        TRef<IDirectDrawSurface7> texture(MakeTexture(16, 16, texels));
        ASSERT_EQ(mDevice->SetTexture(0, texture.Get()), D3D_OK);
        // The engine's off-centre orthographic projection, z passing, with offset o.
        const float o = half ? 0.0f : -0.5f;
        const float l = -o;
        const float r = kSize - o;
        const float t = -o;
        const float b = kSize - o;
        D3DMATRIX projection{};
        projection._11 = 2.0f / (r - l);
        projection._22 = 2.0f / (t - b);
        projection._33 = 1.0f;
        projection._41 = (l + r) / (l - r);
        projection._42 = (t + b) / (b - t);
        projection._44 = 1.0f;
        ASSERT_EQ(mDevice->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection), D3D_OK);
        D3DLVERTEX quad[4] = {{8, 8, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0},
                              {24, 8, 0.5f, 0, 0xFFFFFFFF, 0, 1, 0},
                              {24, 24, 0.5f, 0, 0xFFFFFFFF, 0, 1, 1},
                              {8, 24, 0.5f, 0, 0xFFFFFFFF, 0, 0, 1}};
        standin::TScreenImage images[2];
        for (int filter = 0; filter < 2; ++filter) {
            Fill(RECT{0, 0, kSize, kSize}, 0);
            Filters(filter == 0 ? D3DTFG_POINT : D3DTFG_LINEAR);
            ASSERT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_LVERTEX, quad, 4, 0),
                      D3D_OK);
            images[filter] = Image();
        }
        EXPECT_TRUE(images[0].pixels == images[1].pixels);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(images[0].pixels[(8 + i) * kSize + 8 + i], texels[i * 16 + i]) << i;
        }
        EXPECT_EQ(images[0].pixels[7 * kSize + 8], 0xFF000000u);
        EXPECT_EQ(images[0].pixels[24 * kSize + 24], 0xFF000000u);
        ddtest::ExpectGolden(images[0], "d3d_texels.png");
        Close();
    }
}

TEST_F(Textures, LostTexturesRefuseTheDrawUntilRestored) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    TRef<IDirectDrawSurface7> texture(MakeTexture(4, 4, Checker4()));
    TRef<IDirectDrawSurface7> plain(MakeSurface(4, 4, nullptr));
    EXPECT_EQ(mDevice->SetTexture(0, plain.Get()), DDERR_INVALIDPARAMS);
    ASSERT_EQ(mDevice->SetTexture(0, texture.Get()), D3D_OK);
    standin::LoseAllSurfaces();
    ASSERT_EQ(mTarget->Restore(), DD_OK);
    EXPECT_EQ(TexturedQuad(0, 0, 8, 8, 0, 0, 1, 1), DDERR_SURFACELOST);
    ASSERT_EQ(texture->Restore(), DD_OK);
    EXPECT_EQ(TexturedQuad(0, 0, 8, 8, 0, 0, 1, 1), D3D_OK);
    ASSERT_EQ(mDevice->SetTexture(0, nullptr), D3D_OK);
    TRef<IDirectDrawSurface7> bound;
    ASSERT_EQ(mDevice->GetTexture(0, bound.Out()), D3D_OK);
    EXPECT_FALSE(bound);
}

} // namespace
