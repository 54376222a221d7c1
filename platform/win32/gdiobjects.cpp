// Bitmaps and icon cursors: the pieces CreateIconIndirect takes and what it makes. Each object
// lives on the heap; its handle is its address, known in a registry so that a stray or stale handle
// is refused.
#include "platform/win32/gdiobjects.h"

#include "platform/win32/standin_cursor.h"
#include "platform/win32/windowbackend.h"
#include "platform/win32/wingdi.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace {

using standin::detail::TIconImage;

// Large enough for any cursor or icon, small enough that a wild size cannot exhaust memory.
constexpr long kMaxPixels = 4096L * 4096L;

struct TBitmap {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int stride = 0;
    std::vector<std::uint8_t> bytes;

    bool Bit(int x, int y) const {
        const std::uint8_t byte = bytes[static_cast<std::size_t>(y * stride + x / 8)];
        return (byte >> (7 - x % 8) & 1) != 0;
    }
    std::uint32_t Pixel(int x, int y) const {
        std::uint32_t value = 0;
        std::memcpy(&value, &bytes[static_cast<std::size_t>(y * stride + x * 4)], 4);
        return value;
    }
};

struct TIcon {
    TIconImage image;
};

struct TRegistry {
    std::mutex lock;
    std::map<const void*, std::unique_ptr<TBitmap>> bitmaps;
    std::map<const void*, std::unique_ptr<TIcon>> icons;
    std::uint64_t nextSerial = 1;
};

TRegistry& Registry() {
    static auto* registry = new TRegistry;
    return *registry;
}

bool SizeAllowed(long width, long height) {
    return width > 0 && height > 0 && width <= kMaxPixels / height;
}

HBITMAP Register(std::unique_ptr<TBitmap> bitmap, void** bits) {
    TRegistry& registry = Registry();
    const std::lock_guard<std::mutex> hold(registry.lock);
    TBitmap* raw = bitmap.get();
    registry.bitmaps[raw] = std::move(bitmap);
    if (bits != nullptr) {
        *bits = raw->bytes.data();
    }
    return reinterpret_cast<HBITMAP>(raw);
}

HBITMAP Refuse(DWORD error, void** bits) {
    if (bits != nullptr) {
        *bits = nullptr;
    }
    SetLastError(error);
    return nullptr;
}

bool IsStockObject(HGDIOBJ object) {
    for (int index = WHITE_BRUSH; index <= NULL_BRUSH; ++index) {
        if (object == GetStockObject(index)) {
            return true;
        }
    }
    return false;
}

// What shows of a 32-bit colour bitmap over its mask: the bitmap's own alpha when any pixel has
// some, otherwise opaque where the mask is clear.
std::vector<std::uint32_t> ComposeIcon(const TBitmap& color, const TBitmap& mask) {
    bool anyAlpha = false;
    for (int y = 0; y < color.height && !anyAlpha; ++y) {
        for (int x = 0; x < color.width; ++x) {
            if ((color.Pixel(x, y) >> 24) != 0) {
                anyAlpha = true;
                break;
            }
        }
    }
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(color.width) * static_cast<std::size_t>(color.height));
    for (int y = 0; y < color.height; ++y) {
        for (int x = 0; x < color.width; ++x) {
            std::uint32_t pixel = color.Pixel(x, y);
            if (!anyAlpha) {
                pixel = (pixel & 0xFFFFFFu) | (mask.Bit(x, y) ? 0u : 0xFF000000u);
            }
            pixels.push_back(pixel);
        }
    }
    return pixels;
}

} // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    if (info == nullptr || usage != DIB_RGB_COLORS) {
        return Refuse(ERROR_INVALID_PARAMETER, bits);
    }
    if (section != nullptr || offset != 0) {
        return Refuse(ERROR_NOT_SUPPORTED, bits);
    }
    const BITMAPINFOHEADER& header = info->bmiHeader;
    DWORD masks[4] = {};
    if (header.biSize == sizeof(BITMAPV5HEADER)) {
        const auto* v5 = reinterpret_cast<const BITMAPV5HEADER*>(info);
        masks[0] = v5->bV5RedMask;
        masks[1] = v5->bV5GreenMask;
        masks[2] = v5->bV5BlueMask;
        masks[3] = v5->bV5AlphaMask;
    } else if (header.biSize == sizeof(BITMAPINFOHEADER)) {
        std::memcpy(masks, info->bmiColors, 3 * sizeof(DWORD));
    } else {
        return Refuse(ERROR_NOT_SUPPORTED, bits);
    }
    if (header.biPlanes != 1 || header.biBitCount != 32 || header.biCompression != BI_BITFIELDS ||
        header.biHeight >= 0 || !SizeAllowed(header.biWidth, -static_cast<long>(header.biHeight))) {
        return Refuse(ERROR_NOT_SUPPORTED, bits);
    }
    if (masks[0] != 0xFF0000u || masks[1] != 0xFF00u || masks[2] != 0xFFu ||
        (masks[3] != 0 && masks[3] != 0xFF000000u)) {
        return Refuse(ERROR_NOT_SUPPORTED, bits);
    }
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->width = header.biWidth;
    bitmap->height = -header.biHeight;
    bitmap->bitsPerPixel = 32;
    bitmap->stride = bitmap->width * 4;
    bitmap->bytes.assign(static_cast<std::size_t>(bitmap->stride) * bitmap->height, 0);
    return Register(std::move(bitmap), bits);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != 32) || !SizeAllowed(width, height)) {
        return Refuse(ERROR_INVALID_PARAMETER, nullptr);
    }
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bitsPerPixel = static_cast<int>(bitsPerPixel);
    bitmap->stride = bitsPerPixel == 1 ? (width + 15) / 16 * 2 : width * 4;
    const std::size_t size = static_cast<std::size_t>(bitmap->stride) * height;
    bitmap->bytes.assign(size, 0);
    if (bits != nullptr) {
        std::memcpy(bitmap->bytes.data(), bits, size);
    }
    return Register(std::move(bitmap), nullptr);
}

BOOL DeleteObject(HGDIOBJ object) {
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (IsStockObject(object)) {
        return TRUE;
    }
    TRegistry& registry = Registry();
    const std::lock_guard<std::mutex> hold(registry.lock);
    if (registry.bitmaps.erase(object) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HICON CreateIconIndirect(const ICONINFO* info) {
    if (info == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto icon = std::make_unique<TIcon>();
    TRegistry& registry = Registry();
    const std::lock_guard<std::mutex> hold(registry.lock);
    const auto color = registry.bitmaps.find(info->hbmColor);
    const auto mask = registry.bitmaps.find(info->hbmMask);
    if (color == registry.bitmaps.end() || mask == registry.bitmaps.end() ||
        color->second->bitsPerPixel != 32 || mask->second->bitsPerPixel != 1 ||
        color->second->width != mask->second->width ||
        color->second->height != mask->second->height) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    TIconImage& image = icon->image;
    image.width = color->second->width;
    image.height = color->second->height;
    image.icon = info->fIcon != FALSE;
    // An icon's hot spot is its centre.
    image.hotX = image.icon ? image.width / 2 : static_cast<int>(info->xHotspot);
    image.hotY = image.icon ? image.height / 2 : static_cast<int>(info->yHotspot);
    image.pixels = ComposeIcon(*color->second, *mask->second);
    image.serial = registry.nextSerial++;
    TIcon* raw = icon.get();
    registry.icons[raw] = std::move(icon);
    return reinterpret_cast<HICON>(raw);
}

BOOL DestroyIcon(HICON icon) {
    {
        TRegistry& registry = Registry();
        const std::lock_guard<std::mutex> hold(registry.lock);
        if (registry.icons.erase(icon) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    standin::detail::Backend().ForgetCursor(reinterpret_cast<HCURSOR>(icon));
    return TRUE;
}

namespace standin::detail {

bool IconImageOf(const void* handle, TIconImage* image) {
    TRegistry& registry = Registry();
    const std::lock_guard<std::mutex> hold(registry.lock);
    const auto found = registry.icons.find(handle);
    if (found == registry.icons.end()) {
        return false;
    }
    *image = found->second->image;
    return true;
}

} // namespace standin::detail

namespace standin {

bool ReadIconCursor(const void* handle, TIconCursor* out) {
    TIconImage image;
    if (out == nullptr || !detail::IconImageOf(handle, &image)) {
        return false;
    }
    out->width = image.width;
    out->height = image.height;
    out->hotX = image.hotX;
    out->hotY = image.hotY;
    out->icon = image.icon;
    out->pixels = std::move(image.pixels);
    return true;
}

int LiveIconCount() {
    TRegistry& registry = Registry();
    const std::lock_guard<std::mutex> hold(registry.lock);
    return static_cast<int>(registry.icons.size());
}

} // namespace standin
