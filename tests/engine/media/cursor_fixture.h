// The software cursor's tests: the renderer on a platform with its main window, a window manager
// whose flags, root and invalidations the test sees, cursor images served from memory, and the
// screen as 32-bit pixels. The platform's cursor thread is stopped unless a test keeps it, so
// that the screen changes only when the test asks; the fake clock decides the 16 ms spacing.
#pragma once

#include "engine/core/knownfiles.h"
#include "engine/core/settings.h"
#include "engine/media/cursorimage.h"
#include "engine/media/texture.h"
#include "platform/win32/standin_cursor.h"
#include "tests/engine/media/displaymodes_fixture.h"
#include "tests/engine/media/texture_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace cursor_test {

// The window manager of these tests: the movie player's flags, a root window with a background
// colour, and what the cursor asked of it.
struct TCursorWindowManager final : TWindowManagerLink {
    static inline std::atomic<bool> sSuspended{false};
    static inline std::atomic<int> sSuspendedQueries{0};
    static inline bool sInputBlocked = false;
    static inline std::atomic<int> sInvalidates{0};
    static inline bool sHasRoot = false;
    static inline TRect sRoot{0, 0, 0, 0};
    static inline TColor sBackground{0.0f, 0.0f, 0.0f, 0.0f};
    // Runs once, inside the next IsDrawingSuspended.
    static inline std::function<void()> sOnQuery;

    bool IsDrawingSuspended() const override {
        ++sSuspendedQueries;
        if (sOnQuery) {
            const std::function<void()> run = std::move(sOnQuery);
            sOnQuery = nullptr;
            run();
        }
        return sSuspended;
    }
    bool IsInputBlocked() const override { return sInputBlocked; }
    void SetDrawingSuspended(bool suspended) override { sSuspended = suspended; }
    void SetInputBlocked(bool blocked) override { sInputBlocked = blocked; }
    void Invalidate() override { ++sInvalidates; }
    bool GetRootRect(TRect* rect) const override {
        if (sHasRoot) {
            *rect = sRoot;
        }
        return sHasRoot;
    }
    bool GetRootBackground(TColor* color) const override {
        if (sHasRoot) {
            *color = sBackground;
        }
        return sHasRoot;
    }
    static void Reset() {
        sSuspended = false;
        sSuspendedQueries = 0;
        sInputBlocked = false;
        sInvalidates = 0;
        sHasRoot = false;
        sRoot = TRect{0, 0, 0, 0};
        sBackground = TColor{0.0f, 0.0f, 0.0f, 0.0f};
        sOnQuery = nullptr;
    }
};

using TScreen = standin::TScreenImage;

// A cursor image: its size, hot spot and 0xAARRGGBB pixels, rows top to bottom.
struct TImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

inline constexpr uint32_t kMagenta = 0xFFFF00FFu;

// 16 x 16, drawn below the diagonal: red 255, green and blue growing with x and y; magenta above.
inline TImage ArrowImage() {
    TImage image{16, 16, {}};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            image.pixels.push_back(x <= y ? 0xFFFF0000u | static_cast<uint32_t>(x * 16) << 8 |
                                                static_cast<uint32_t>(y * 16)
                                          : kMagenta);
        }
    }
    return image;
}

inline TImage SolidImage(int width, int height, uint32_t pixel) {
    return TImage{
        width, height,
        std::vector<uint32_t>(static_cast<size_t>(width) * static_cast<size_t>(height), pixel)};
}

inline texture_test::TBytes EncodeImage(const TImage& image) {
    texture_test::TPngImage params;
    params.width = image.width;
    params.height = image.height;
    params.colorType = PNG_COLOR_TYPE_RGBA;
    params.compression = 1;
    for (uint32_t pixel : image.pixels) {
        params.rows.insert(params.rows.end(),
                           {static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8),
                            static_cast<uint8_t>(pixel), static_cast<uint8_t>(pixel >> 24)});
    }
    return texture_test::EncodePng(params);
}

// What an opaque keyed pixel shows on a 32-bit screen: each channel v becomes 255 v / 256.
inline uint32_t KeyedOnScreen(uint32_t pixel) {
    auto channel = [pixel](int shift) { return ((pixel >> shift & 0xFF) * 255 >> 8) << shift; };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

// A screen-sized pattern no two neighbours share.
inline uint32_t PatternPixel(int x, int y) {
    return 0xFF000000u | static_cast<uint32_t>(x & 0xFF) << 16 |
           static_cast<uint32_t>(y & 0xFF) << 8 | static_cast<uint32_t>((x * 3 + y * 7) & 0xFF);
}

class TCursorTest : public display_test::TRendererTest {
protected:
    void SetUp() override {
        TRendererTest::SetUp();
        TCursorWindowManager::Reset();
        TWindowSystemFactory factory;
        factory.createWindowManager = []() -> TWindowManagerLink* {
            return new TCursorWindowManager;
        };
        SetWindowSystemFactory(factory);
        standin::UseDefaultWindowsVersion();
        ForgetWindowsVersion();
        SetCursorPos(0, 0);
    }

    void TearDown() override {
        TRendererTest::TearDown();
        for (const auto& file : mFiles) {
            RegisterMemoryFile(file.first.c_str(), nullptr, 0);
        }
        mFiles.clear();
        standin::UseDefaultWindowsVersion();
        ForgetWindowsVersion();
        TCursorWindowManager::Reset();
        SetCursorPos(0, 0);
    }

    // A display of width x height, the cursor thread stopped, the front buffer (the whole screen)
    // holding the pattern.
    TDxDisplayHandler& Open(int width, int height, bool fullscreen = false) {
        TDxDisplayHandler& handler = StartDisplay(width, height, fullscreen);
        EXPECT_TRUE(handler.IsReady());
        mRecord->StopCursorThread();
        FillPattern(Front());
        return handler;
    }

    TDXContext& Context() { return *Data().mContext; }
    IDirectDrawSurface7* Front() { return Context().GetFrontBuffer(); }
    IDirectDrawSurface7* Back() { return Context().GetBackBuffer(); }

    // `make(x, y)` into every pixel of a 32-bit surface.
    template <class Make>
    static void FillSurface(IDirectDrawSurface7* surface, Make make) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        ASSERT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 32u);
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(desc.lpSurface) +
                                                    static_cast<ptrdiff_t>(y) * desc.lPitch);
            for (DWORD x = 0; x < desc.dwWidth; ++x) {
                row[x] = make(static_cast<int>(x), static_cast<int>(y));
            }
        }
        surface->Unlock(nullptr);
    }

    // The front buffer is the whole screen; the pattern is in screen coordinates.
    static void FillPattern(IDirectDrawSurface7* surface) { FillSurface(surface, PatternPixel); }

    // A texture of the image, loaded as a file would be.
    TTexturePtr Texture(const std::string& name, const TImage& image) {
        texture_test::TBytes& stored = mFiles[name];
        stored = EncodeImage(image);
        RegisterMemoryFile(name.c_str(), stored.data(), static_cast<unsigned>(stored.size()));
        TTexturePtr texture = TTexture::Get(name.c_str());
        EXPECT_TRUE(texture) << name;
        return texture;
    }

    // The main window's client area as it shows.
    TScreen Screen() { return standin::ReadScreen(mMain); }

    TPoint ClientOrigin() { return Handler().GetClientOrigin(); }

    // The pattern of the client area, with `image` drawn at client position (x, y) less the hot
    // spot, as a keyed image shows on a 32-bit screen.
    TScreen Expected(const TImage* image = nullptr, int x = 0, int y = 0, int hotX = 0,
                     int hotY = 0) {
        const TScreen screen = Screen();
        const TPoint origin = ClientOrigin();
        TScreen expected{screen.width, screen.height, {}};
        for (int row = 0; row < screen.height; ++row) {
            for (int column = 0; column < screen.width; ++column) {
                expected.pixels.push_back(PatternPixel(origin.x + column, origin.y + row));
            }
        }
        if (image != nullptr) {
            Compose(&expected, *image, x - hotX, y - hotY);
        }
        return expected;
    }

    static void Compose(TScreen* screen, const TImage& image, int left, int top) {
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                const int sx = left + x;
                const int sy = top + y;
                if (image.At(x, y) == kMagenta || sx < 0 || sy < 0 || sx >= screen->width ||
                    sy >= screen->height) {
                    continue;
                }
                screen->pixels[static_cast<size_t>(sy) * static_cast<size_t>(screen->width) +
                               static_cast<size_t>(sx)] = KeyedOnScreen(image.At(x, y));
            }
        }
    }

    // How many pixels differ, for a message that says more than "not equal".
    static int Differences(const TScreen& a, const TScreen& b) {
        if (a.width != b.width || a.height != b.height) {
            return -1;
        }
        int count = 0;
        for (size_t i = 0; i < a.pixels.size(); ++i) {
            count += a.pixels[i] != b.pixels[i] ? 1 : 0;
        }
        return count;
    }

    // A mouse move as the window procedure gets it, in client coordinates.
    void MoveMouse(int x, int y) {
        standin::InjectMessage(mMain, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        UntilIdle();
    }

    // Where the system has the mouse, without a message.
    void PutMouse(int x, int y) {
        const TPoint origin = ClientOrigin();
        SetCursorPos(origin.x + x, origin.y + y);
    }

    std::map<std::string, texture_test::TBytes> mFiles;
};

} // namespace cursor_test
