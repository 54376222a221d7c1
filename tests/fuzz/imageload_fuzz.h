// Shared by the image fuzz targets: a headless display made once, and one load of the input as a
// texture file through TTextureData::LoadImage. The first input byte picks the options, the mask
// (the same bytes again, found by the name without its extension), square textures and whether
// the data takes its alpha from the file; the rest is the file.
#pragma once

#include "engine/core/knownfiles.h"
#include "engine/media/directx.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/dxtexturedata.h"
#include "engine/media/renderer.h"
#include "platform/win32/windows.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace image_fuzz {

inline void Expect(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The renderer with a 64 x 64 window attached as the display set-up attaches it.
inline void OpenDisplay() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "ImageFuzz";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "ImageFuzz", "fuzz", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64,
                                  nullptr, nullptr, nullptr, nullptr);
    TPlatformData& data = TRenderer::Instance()->GetDisplayHandler().GetData();
    Expect(window != nullptr &&
           data.mContext->Create(window, false, 64, 64, 32, TDXContext::kAlways));
    data.mDirectDraw = data.mContext->GetDirectDraw();
    data.mDirect3D = data.mContext->GetDirect3D();
    data.mDevice = data.mContext->GetDevice();
    data.mScreenTarget = data.mContext->GetBackBuffer();
    data.mRenderTarget = data.mScreenTarget;
}

// `extension` ".png" or ".jpg".
inline void LoadOne(const char* extension, const uint8_t* data, size_t size) {
    static const uint8_t kEmpty = 0;
    const uint8_t selector = size > 0 ? data[0] : 0;
    const uint8_t* file = size > 0 ? data + 1 : &kEmpty;
    const unsigned fileSize = size > 0 ? static_cast<unsigned>(size - 1) : 0;
    const std::string image = std::string("fuzz/image") + extension;
    const std::string mask = std::string("fuzz/mask") + extension;
    RegisterMemoryFile(image.c_str(), file, fileSize);
    RegisterMemoryFile(mask.c_str(), file, fileSize);

    std::string path = image;
    const char* const options[] = {"slow", "simple", "alpha", "mipmap"};
    for (int i = 0; i < 4; ++i) {
        if ((selector & (1 << i)) != 0) {
            path += path.find('?') == std::string::npos ? "?" : ",";
            path += options[i];
        }
    }
    TRenderer::Instance()->GetDisplayHandler().GetData().mSquareTextures = (selector & 0x20) != 0;
    TDxTextureData texture;
    texture.SetFlags((selector & 0x40) != 0 ? TTextureData::kAlphaFromFile : 0);
    const bool masked = (selector & 0x80) != 0;
    if (texture.LoadImage(path.c_str(), masked ? "fuzz/mask" : "")) {
        const int limit = (texture.GetFlags() & TTextureData::kLarge) != 0
                              ? TTextureData::kMaxLargeSide
                              : TTextureData::kMaxSide;
        Expect(texture.GetWidth() >= 1 && texture.GetWidth() <= limit);
        Expect(texture.GetHeight() >= 1 && texture.GetHeight() <= limit);
        Expect(texture.GetSurface() != nullptr);
        uint32_t* pixels = nullptr;
        int pitch = 0;
        if (texture.Lock(&pixels, &pitch)) {
            Expect(pitch >= texture.GetWidth());
            pixels[0] ^= 0xFFu;
            texture.Unlock();
        }
    }
    RegisterMemoryFile(image.c_str(), nullptr, 0);
    RegisterMemoryFile(mask.c_str(), nullptr, 0);
}

} // namespace image_fuzz
