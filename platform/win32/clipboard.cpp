#include "platform/win32/globalmem.h"
#include "platform/win32/stringapiset.h"
#include "platform/win32/userstate.h"
#include "platform/win32/wingdi.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>
#include <map>

namespace {

using namespace standin::detail;

struct TBlock {
    std::vector<BYTE> bytes;
    int locks = 0;
};

std::mutex gMemoryLock;
std::map<HGLOBAL, std::unique_ptr<TBlock>>& Blocks() {
    static auto* blocks = new std::map<HGLOBAL, std::unique_ptr<TBlock>>();
    return *blocks;
}

TBlock* BlockOf(HGLOBAL memory) {
    auto found = Blocks().find(memory);
    return found == Blocks().end() ? nullptr : found->second.get();
}

// The clipboard: which thread opened it, what was put on it while open, and the block handed
// out by GetClipboardData (the clipboard owns it until it is emptied or closed).
struct TClipboard {
    DWORD owner = 0;
    bool emptied = false;
    HGLOBAL pending = nullptr;
    UINT pendingFormat = 0;
    HGLOBAL handedOut = nullptr;
};
TClipboard gClipboard;
std::mutex gClipboardLock;
// SDL's clipboard carries text only: data of any other format stays in this process, and while
// it is there the clipboard holds no text.
UINT gOtherFormat = 0;
std::vector<BYTE> gOtherData;

bool IsText(UINT format) {
    return format == CF_TEXT || format == CF_UNICODETEXT;
}

bool OpenedByMe() {
    return gClipboard.owner != 0 && gClipboard.owner == CurrentThreadId();
}

void Drop(HGLOBAL& memory) {
    if (memory != nullptr) {
        GlobalFree(memory);
        memory = nullptr;
    }
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    auto block = std::make_unique<TBlock>();
    try {
        block->bytes.assign(bytes == 0 ? 1 : bytes, 0);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    block->bytes.resize(bytes == 0 ? 1 : bytes);
    (void)flags; // every block is zeroed; GMEM_ZEROINIT asks for no more
    // The handle is the block's address: fixed and movable blocks never move here.
    HGLOBAL handle = block->bytes.data();
    std::lock_guard<std::mutex> hold(gMemoryLock);
    Blocks()[handle] = std::move(block);
    return handle;
}

LPVOID GlobalLock(HGLOBAL memory) {
    std::lock_guard<std::mutex> hold(gMemoryLock);
    TBlock* block = BlockOf(memory);
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ++block->locks;
    return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL memory) {
    std::lock_guard<std::mutex> hold(gMemoryLock);
    TBlock* block = BlockOf(memory);
    if (block == nullptr || block->locks == 0) {
        SetLastError(block == nullptr ? ERROR_INVALID_HANDLE : ERROR_NOT_LOCKED);
        return FALSE;
    }
    --block->locks;
    return block->locks > 0 ? TRUE : FALSE;
}

SIZE_T GlobalSize(HGLOBAL memory) {
    std::lock_guard<std::mutex> hold(gMemoryLock);
    TBlock* block = BlockOf(memory);
    return block == nullptr ? 0 : block->bytes.size();
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    std::lock_guard<std::mutex> hold(gMemoryLock);
    if (Blocks().erase(memory) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    return nullptr;
}

HGDIOBJ GetStockObject(int index) {
    static BYTE objects[6];
    if (index < 0 || index > NULL_BRUSH) {
        return nullptr;
    }
    return &objects[index];
}

BOOL OpenClipboard(HWND) {
    std::lock_guard<std::mutex> hold(gClipboardLock);
    if (gClipboard.owner != 0 && !OpenedByMe()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    gClipboard.owner = CurrentThreadId();
    return TRUE;
}

BOOL CloseClipboard() {
    HGLOBAL pending = nullptr;
    UINT format = 0;
    bool emptied = false;
    {
        std::lock_guard<std::mutex> hold(gClipboardLock);
        if (!OpenedByMe()) {
            SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
            return FALSE;
        }
        Drop(gClipboard.handedOut);
        pending = gClipboard.pending;
        format = gClipboard.pendingFormat;
        emptied = gClipboard.emptied;
        gClipboard = TClipboard{};
        if (emptied || pending != nullptr) {
            gOtherFormat = 0;
            gOtherData.clear();
        }
        if (pending != nullptr && !IsText(format)) {
            const BYTE* data = static_cast<const BYTE*>(GlobalLock(pending));
            gOtherData.assign(data, data + GlobalSize(pending));
            GlobalUnlock(pending);
            gOtherFormat = format;
            Drop(pending);
            emptied = true;
        }
    }
    // SDL's clipboard belongs to the video subsystem; without it there is nothing to publish to.
    if (!EnsureSdlVideo() && SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        Drop(pending);
        return TRUE;
    }
    if (pending != nullptr) {
        const char* data = static_cast<const char*>(GlobalLock(pending));
        const SIZE_T size = GlobalSize(pending);
        std::string utf8;
        if (format == CF_UNICODETEXT) {
            std::u16string wide(reinterpret_cast<const char16_t*>(data), size / 2);
            wide.resize(std::char_traits<char16_t>::length(wide.c_str()));
            utf8 = Utf8FromWide(wide.c_str());
        } else {
            utf8 = Utf8FromAnsi(std::string(data, strnlen(data, size)).c_str());
        }
        GlobalUnlock(pending);
        SDL_SetClipboardText(utf8.c_str());
        Drop(pending);
    } else if (emptied) {
        SDL_SetClipboardText("");
    }
    return TRUE;
}

BOOL EmptyClipboard() {
    std::lock_guard<std::mutex> hold(gClipboardLock);
    if (!OpenedByMe()) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    gClipboard.emptied = true;
    Drop(gClipboard.pending);
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    std::lock_guard<std::mutex> hold(gClipboardLock);
    if (!OpenedByMe()) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    if (format == 0 || data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // The clipboard takes the block over.
    Drop(gClipboard.pending);
    gClipboard.pending = data;
    gClipboard.pendingFormat = format;
    return data;
}

HANDLE GetClipboardData(UINT format) {
    {
        std::lock_guard<std::mutex> hold(gClipboardLock);
        if (!OpenedByMe()) {
            SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
            return nullptr;
        }
    }
    if (!IsClipboardFormatAvailable(format)) {
        return nullptr;
    }
    if (!IsText(format)) {
        std::lock_guard<std::mutex> hold(gClipboardLock);
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, gOtherData.size());
        if (block != nullptr && !gOtherData.empty()) {
            std::memcpy(GlobalLock(block), gOtherData.data(), gOtherData.size());
            GlobalUnlock(block);
        }
        Drop(gClipboard.handedOut);
        gClipboard.handedOut = block;
        return block;
    }
    char* text = SDL_GetClipboardText();
    const std::string utf8 = text != nullptr ? text : "";
    SDL_free(text);
    HGLOBAL block = nullptr;
    if (format == CF_UNICODETEXT) {
        const std::u16string wide = WideFromUtf8(utf8);
        block = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(char16_t));
        if (block != nullptr) {
            std::memcpy(GlobalLock(block), wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
            GlobalUnlock(block);
        }
    } else {
        const std::string ansi = AnsiFromUtf8(utf8);
        block = GlobalAlloc(GMEM_MOVEABLE, ansi.size() + 1);
        if (block != nullptr) {
            std::memcpy(GlobalLock(block), ansi.c_str(), ansi.size() + 1);
            GlobalUnlock(block);
        }
    }
    std::lock_guard<std::mutex> hold(gClipboardLock);
    Drop(gClipboard.handedOut);
    gClipboard.handedOut = block;
    return block;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    if (!IsText(format)) {
        std::lock_guard<std::mutex> hold(gClipboardLock);
        return format != 0 && format == gOtherFormat ? TRUE : FALSE;
    }
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && !EnsureSdlVideo()) {
        return FALSE;
    }
    return SDL_HasClipboardText() ? TRUE : FALSE;
}
